// SPDX-License-Identifier: MIT
// SQLite storage of tokens and results, in WAL mode so readers never wait for the writer.
#include "SqliteStore.h"

#include "ClientAddress.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstring>

namespace tw::scores {

namespace {

// A prepared statement borrowed for one use: its bindings and cursor are reset when it ends.
class Statement {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, std::int64_t value) {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // True while a row is there; throws on an error.
    bool Step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
    Statement& BindBlob(int index, const std::string& bytes) {
        sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        return *this;
    }
    std::string Blob(int column) {
        const void* bytes = sqlite3_column_blob(stmt_, column);
        return bytes ? std::string(static_cast<const char*>(bytes),
                                   static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                     : std::string();
    }
    bool Null(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    Statement& BindNull(int index) {
        sqlite3_bind_null(stmt_, index);
        return *this;
    }
    std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column) {
        const auto* text = sqlite3_column_text(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* stmt_;
};

} // namespace

// Rolls back unless committed, so a throwing step leaves the file as it was.
class SqliteStore::Transaction {
public:
    explicit Transaction(SqliteStore& store) : store_(store) {
        // IMMEDIATE takes the write lock at once: two processes never deadlock upgrading a read.
        store_.Run("BEGIN IMMEDIATE");
    }
    ~Transaction() {
        if (!done_) sqlite3_exec(store_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        store_.Run("COMMIT");
        done_ = true;
    }

private:
    SqliteStore& store_;
    bool done_ = false;
};

namespace {

// SQLite's words, and the system's when it has any ("unable to open database file: Permission denied").
std::string Cause(sqlite3* db) {
    std::string cause = db ? sqlite3_errmsg(db) : "out of memory";
    const int system = db ? sqlite3_system_errno(db) : 0;
    if (system != 0) cause += std::string(": ") + std::strerror(system);
    return cause;
}

std::int64_t WallNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Tables of a later version than this program knows: nothing is written into them.
class NewerFile : public StoreError {
public:
    using StoreError::StoreError;
};

} // namespace

SqliteStore::SqliteStore(const std::string& path, TokenLimits limits) : limits_(limits) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string cause = Cause(db_);
        sqlite3_close(db_);
        throw StoreError("cannot open the database " + path + ": " + cause);
    }
    try {
        // SQLite opens a file it may not write read-only without a word; the service would then
        // listen and refuse every request.
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw StoreError("the database " + path + " is read-only: the service must be able to write it");
        sqlite3_busy_handler(db_, &SqliteStore::BusyWait, this);
        // Nothing is written before the file is known to be whole.
        CheckWhole(path);
        try {
            Execute("PRAGMA journal_mode=WAL");
            // In WAL mode a commit is in the file once COMMIT returns; only a power cut could lose
            // the last ones before the next checkpoint, never a killed process.
            Execute("PRAGMA synchronous=NORMAL");
            // A log that was restarted is cut back to this size.
            Execute("PRAGMA journal_size_limit=67108864");
            Migrate(WallNow());
            // Checkpoints are the checkpointer's job, off the requests' path.
            Execute("PRAGMA wal_autocheckpoint=0");
        } catch (const NewerFile& error) {
            throw StoreError("the database " + path + error.what());
        } catch (const StoreError&) {
            throw StoreError("the database " + path + " cannot be written: " + Cause(db_));
        }
    } catch (...) {
        for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
        sqlite3_close(db_);
        throw;
    }
    checkpointer_ = std::thread(&SqliteStore::CheckpointLoop, this, path);
}

void SqliteStore::CheckWhole(const std::string& path) {
    std::string verdict;
    try {
        Statement check(Prepared("PRAGMA quick_check(1)"));
        if (check.Step()) verdict = check.Text(0);
    } catch (const StoreError&) {
        const int code = sqlite3_errcode(db_) & 0xFF;
        // A file in WAL mode is read through a file beside it: a folder the service may not
        // write stops even the reading.
        if (code == SQLITE_READONLY || code == SQLITE_CANTOPEN)
            throw StoreError("the database " + path + " cannot be written: " + Cause(db_) +
                             " (the service must be able to make files in its folder)");
        if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT)
            throw StoreError("the database " + path + " cannot be read: " + Cause(db_));
        verdict = sqlite3_errmsg(db_); // "file is not a database"
    }
    if (verdict != "ok")
        throw StoreError("the database " + path + " is damaged (" + verdict +
                         "): restore it from a backup or move it away");
}

void SqliteStore::Migrate(std::int64_t now) {
    // Each step brings the tables one version up; the version is in the file itself, so a file
    // is migrated once, in place, whichever process opens it first.
    Transaction transaction(*this);
    std::int64_t version = 0;
    {
        Statement query(Prepared("PRAGMA user_version"));
        if (query.Step()) version = query.Int(0);
    }
    if (version > Schema)
        throw NewerFile(" was made by a newer tidewarden-scores (tables of version " + std::to_string(version) + ")");
    if (version < 1) {
        // The first tables; files from before the version was recorded have them already.
        Execute("CREATE TABLE IF NOT EXISTS tokens ("
                " token TEXT PRIMARY KEY, expires INTEGER NOT NULL, used INTEGER NOT NULL DEFAULT 0)"
                " WITHOUT ROWID");
        Execute("CREATE INDEX IF NOT EXISTS tokens_by_expiry ON tokens(expires)");
        Execute("CREATE TABLE IF NOT EXISTS results ("
                " id INTEGER PRIMARY KEY, name TEXT NOT NULL, country TEXT NOT NULL,"
                " score INTEGER NOT NULL, time INTEGER NOT NULL)");
        Execute("CREATE INDEX IF NOT EXISTS results_by_rank ON results(score DESC, id)");
    }
    if (version < 2) {
        // Client addresses (for the limits on tokens and for moderation), refusals, and a table
        // the start-up writes to prove the file can be written.
        Execute("ALTER TABLE tokens ADD COLUMN address TEXT NOT NULL DEFAULT ''");
        // In the order the trim of an address's tokens reads them, so it needs no sorting.
        Execute("CREATE INDEX tokens_by_address ON tokens(address, used, expires DESC)");
        Execute("ALTER TABLE results ADD COLUMN address TEXT");
        Execute("CREATE INDEX results_with_address ON results(time) WHERE address IS NOT NULL");
        Execute("CREATE TABLE refusals (kind TEXT NOT NULL, value TEXT NOT NULL, since INTEGER NOT NULL,"
                " PRIMARY KEY(kind, value)) WITHOUT ROWID");
        Execute("CREATE TABLE meta (key TEXT PRIMARY KEY, value) WITHOUT ROWID");
    }
    if (version < 3) {
        // The number of each result's day, week and month, with an index per period in the page's
        // order: a period's table reads its first hundred entries and stops.
        Execute("ALTER TABLE results ADD COLUMN day INTEGER NOT NULL DEFAULT 0");
        Execute("ALTER TABLE results ADD COLUMN week INTEGER NOT NULL DEFAULT 0");
        Execute("ALTER TABLE results ADD COLUMN month INTEGER NOT NULL DEFAULT 0");
        Execute("UPDATE results SET day = time / 86400, week = (time / 86400 + 3) / 7,"
                " month = CAST(strftime('%Y', time, 'unixepoch') AS INTEGER) * 12"
                " + CAST(strftime('%m', time, 'unixepoch') AS INTEGER) - 1");
        Execute("CREATE INDEX results_by_day ON results(day, score DESC, id)");
        Execute("CREATE INDEX results_by_week ON results(week, score DESC, id)");
        Execute("CREATE INDEX results_by_month ON results(month, score DESC, id)");
    }
    if (version < 4) {
        // Replays: the token remembers the result it stored, so that result's replay can follow
        // it; the replays wait in their own table for their check, and the page reads the
        // verified entries through an index of their own.
        Execute("ALTER TABLE tokens ADD COLUMN result INTEGER");
        Execute("ALTER TABLE results ADD COLUMN verified INTEGER NOT NULL DEFAULT 0");
        Execute("CREATE INDEX results_verified_by_rank ON results(score DESC, id) WHERE verified = 1");
        Execute("CREATE TABLE replays (result INTEGER PRIMARY KEY, bytes BLOB NOT NULL,"
                " state INTEGER NOT NULL DEFAULT 0, received INTEGER NOT NULL, taken INTEGER)");
        Execute("CREATE INDEX replays_waiting ON replays(received, result) WHERE state = 0");
    }
    if (version < Schema) Execute(("PRAGMA user_version=" + std::to_string(Schema)).c_str());
    Statement(Prepared("INSERT OR REPLACE INTO meta(key, value) VALUES('opened', ?)")).Bind(1, now).Step();
    transaction.Commit();
}

int SqliteStore::BusyWait(void* store, int tries) {
    // Other processes hold the write lock for one short transaction; a stopping program waits no more.
    if (static_cast<SqliteStore*>(store)->stopWaiting_ || tries >= 2500) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return 1;
}

void SqliteStore::CheckpointLoop(std::string path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        // A connection opens the file only when it first reads; until then it sees no log to copy.
        sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
        std::unique_lock lock(stopMutex_);
        while (!stopSignal_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
            lock.unlock();
            // PASSIVE never blocks the writer. Under steady writing it never reaches the log's end,
            // so a long log is then restarted: a short wait for the writer, for the little that is
            // left, lets the log start again from its beginning instead of growing for ever.
            int frames = 0;
            sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &frames, nullptr);
            if (frames > 4000) sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
            lock.lock();
        }
    }
    sqlite3_close(db);
}

SqliteStore::~SqliteStore() {
    {
        const std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    checkpointer_.join();
    for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

void SqliteStore::Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError("SQLite: " + message);
    }
}

sqlite3_stmt* SqliteStore::Prepared(std::string_view sql) {
    auto found = prepared_.find(sql);
    if (found != prepared_.end()) return found->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK)
        throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    prepared_.emplace(sql, stmt);
    return stmt;
}

void SqliteStore::Run(std::string_view sql) { Statement(Prepared(sql)).Step(); }

std::string SqliteStore::IssueToken(std::int64_t now, std::int64_t expiresAt, const std::string& address) {
    const std::lock_guard lock(mutex_);
    const std::string token = RandomToken();
    Transaction transaction(*this);
    Statement(Prepared("DELETE FROM tokens WHERE expires <= ?")).Bind(1, now).Step();
    // The address's spent tokens, then its oldest, make room for the new one: a game uses the
    // newest it was given, and the players behind one address each hold one at a time.
    Statement(Prepared("DELETE FROM tokens WHERE token IN (SELECT token FROM tokens WHERE address = ?"
                       " ORDER BY used, expires DESC LIMIT -1 OFFSET ?)"))
        .Bind(1, address)
        .Bind(2, std::int64_t{limits_.perAddress - 1})
        .Step();
    // Counting every token costs a scan of the table, so it is done now and then; between two
    // counts the table grows by at most the interval.
    if (++issuedSinceCount_ >= 64) {
        issuedSinceCount_ = 0;
        Statement(Prepared("DELETE FROM tokens WHERE token IN (SELECT token FROM tokens"
                           " ORDER BY expires DESC LIMIT -1 OFFSET ?)"))
            .Bind(1, limits_.total - 1)
            .Step();
    }
    Statement(Prepared("INSERT INTO tokens(token, expires, address) VALUES(?, ?, ?)"))
        .Bind(1, token)
        .Bind(2, expiresAt)
        .Bind(3, address)
        .Step();
    transaction.Commit();
    return token;
}

bool SqliteStore::Matches(Refused kind, const std::string& value) {
    Statement query(Prepared("SELECT value FROM refusals WHERE kind = ?"));
    query.Bind(1, std::string(KindName(kind)));
    while (query.Step())
        if (RefusalCovers(kind, query.Text(0), value)) return true;
    return false;
}

namespace {

void BindResult(Statement& insert, const StoredResult& result) {
    const PeriodNumbers periods = PeriodsOf(result.time);
    insert.Bind(1, result.name).Bind(2, result.country).Bind(3, std::int64_t{result.score}).Bind(4, result.time);
    if (result.address.empty())
        insert.BindNull(5);
    else
        insert.Bind(5, result.address);
    insert.Bind(6, periods.day).Bind(7, periods.week).Bind(8, periods.month);
}

constexpr std::string_view InsertResult = "INSERT INTO results(name, country, score, time, address, day, week, month)"
                                          " VALUES(?, ?, ?, ?, ?, ?, ?, ?)";

} // namespace

Refusal SqliteStore::StoreResult(const std::string& token, const StoredResult& result, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    if (Matches(Refused::Name, result.name)) return Refusal::RefusedName;
    if (!result.address.empty() && Matches(Refused::Address, result.address)) return Refusal::RefusedAddress;
    // Spent only if it is there, unspent and valid, in one statement; the reason is read only for
    // a refusal.
    Statement(Prepared("UPDATE tokens SET used = 1 WHERE token = ? AND used = 0 AND expires > ?"))
        .Bind(1, token)
        .Bind(2, now)
        .Step();
    if (sqlite3_changes(db_) == 0) {
        Statement find(Prepared("SELECT used FROM tokens WHERE token = ?"));
        find.Bind(1, token);
        if (!find.Step()) return Refusal::UnknownToken;
        return find.Int(0) != 0 ? Refusal::UsedToken : Refusal::ExpiredToken;
    }
    {
        Statement insert(Prepared(InsertResult));
        BindResult(insert, result);
        insert.Step();
    }
    Statement(Prepared("UPDATE tokens SET result = ? WHERE token = ?"))
        .Bind(1, std::int64_t{sqlite3_last_insert_rowid(db_)})
        .Bind(2, token)
        .Step();
    transaction.Commit();
    return Refusal::None;
}

namespace {

// The page's queries, by period and by whether only verified entries count; kept here because
// the prepared statements are found by their text.
const std::string& TableQuery(Period period, bool verifiedOnly) {
    static const auto queries = [] {
        std::array<std::string, 8> built;
        const char* filters[] = {"", "day = ?", "week = ?", "month = ?"};
        for (std::size_t p = 0; p < 4; ++p)
            for (std::size_t v = 0; v < 2; ++v) {
                std::string where = filters[p];
                if (v == 1) where += where.empty() ? "verified = 1" : " AND verified = 1";
                built[p * 2 + v] = "SELECT name, country, score, time, id, verified FROM results" +
                                   (where.empty() ? std::string() : " WHERE " + where) +
                                   " ORDER BY score DESC, id LIMIT ?";
            }
        return built;
    }();
    return queries[static_cast<std::size_t>(period) * 2 + (verifiedOnly ? 1 : 0)];
}

} // namespace

std::vector<StoredResult> SqliteStore::Table(int count, Period period, std::int64_t now, bool verifiedOnly) {
    const std::lock_guard lock(mutex_);
    const PeriodNumbers periods = PeriodsOf(now);
    const std::int64_t number = period == Period::Day    ? periods.day
                                : period == Period::Week ? periods.week
                                                         : periods.month;
    Statement query(Prepared(TableQuery(period, verifiedOnly)));
    if (period == Period::All)
        query.Bind(1, std::int64_t{count});
    else
        query.Bind(1, number).Bind(2, std::int64_t{count});
    std::vector<StoredResult> best;
    while (query.Step())
        best.push_back({query.Text(0),
                        query.Text(1),
                        static_cast<std::uint16_t>(query.Int(2)),
                        query.Int(3),
                        {},
                        query.Int(4),
                        query.Int(5) != 0});
    return best;
}

ReplayRefusal SqliteStore::StoreReplay(const std::string& token, const std::string& bytes, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    std::int64_t result = 0;
    {
        Statement find(Prepared("SELECT t.expires, t.result, r.id FROM tokens t LEFT JOIN results r ON r.id = t.result"
                                " WHERE t.token = ?"));
        find.Bind(1, token);
        if (!find.Step()) return ReplayRefusal::UnknownToken;
        if (find.Int(0) <= now) return ReplayRefusal::ExpiredToken;
        // Not spent yet, or its result was removed since.
        if (find.Null(2)) return ReplayRefusal::NoResult;
        result = find.Int(2);
    }
    Statement(Prepared("INSERT OR IGNORE INTO replays(result, bytes, state, received) VALUES(?, ?, 0, ?)"))
        .Bind(1, result)
        .BindBlob(2, bytes)
        .Bind(3, now)
        .Step();
    if (sqlite3_changes(db_) == 0) return ReplayRefusal::AlreadyReceived;
    transaction.Commit();
    return ReplayRefusal::None;
}

std::int64_t SqliteStore::WaitingReplays() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT count(*) FROM replays WHERE state = 0"));
    query.Step();
    return query.Int(0);
}

std::optional<ReplayToCheck> SqliteStore::TakeReplay(std::int64_t now, std::int64_t staleBefore) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    ReplayToCheck taken;
    {
        Statement find(Prepared("SELECT p.result, r.score, p.bytes FROM replays p JOIN results r ON r.id = p.result"
                                " WHERE p.state = 0 AND (p.taken IS NULL OR p.taken < ?)"
                                " ORDER BY p.received, p.result LIMIT 1"));
        find.Bind(1, staleBefore);
        if (!find.Step()) return std::nullopt;
        taken = {find.Int(0), static_cast<std::uint16_t>(find.Int(1)), find.Blob(2)};
    }
    Statement(Prepared("UPDATE replays SET taken = ? WHERE result = ?")).Bind(1, now).Bind(2, taken.id).Step();
    transaction.Commit();
    return taken;
}

void SqliteStore::FinishReplay(std::int64_t id, bool verified) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    if (verified) {
        Statement(Prepared("UPDATE replays SET state = 1 WHERE result = ?")).Bind(1, id).Step();
        Statement(Prepared("UPDATE results SET verified = 1 WHERE id = ?")).Bind(1, id).Step();
    } else {
        // Nobody is offered a replay that does not prove its entry: its bytes are of no more use.
        Statement(Prepared("UPDATE replays SET state = 2, bytes = x'' WHERE result = ?")).Bind(1, id).Step();
    }
    transaction.Commit();
}

std::optional<std::string> SqliteStore::VerifiedReplay(std::int64_t id) {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT bytes FROM replays WHERE result = ? AND state = 1"));
    query.Bind(1, id);
    if (!query.Step()) return std::nullopt;
    return query.Blob(0);
}

std::optional<ReplayState> SqliteStore::ReplayStateOf(std::int64_t id) {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT state FROM replays WHERE result = ?"));
    query.Bind(1, id);
    if (!query.Step()) return std::nullopt;
    return static_cast<ReplayState>(query.Int(0));
}

void SqliteStore::Import(const std::vector<StoredResult>& results) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    for (const auto& result : results) {
        Statement insert(Prepared(InsertResult));
        BindResult(insert, result);
        insert.Step();
    }
    transaction.Commit();
}

std::int64_t SqliteStore::ResultCount() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT count(*) FROM results"));
    query.Step();
    return query.Int(0);
}

std::int64_t SqliteStore::TokenCount() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT count(*) FROM tokens"));
    query.Step();
    return query.Int(0);
}

int SqliteStore::SchemaVersion() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("PRAGMA user_version"));
    query.Step();
    return static_cast<int>(query.Int(0));
}

std::vector<Entry> SqliteStore::Entries(int count) {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT r.id, r.name, r.country, r.score, r.time, r.address, p.state"
                             " FROM results r LEFT JOIN replays p ON p.result = r.id"
                             " ORDER BY r.score DESC, r.id LIMIT ?"));
    query.Bind(1, std::int64_t{count});
    std::vector<Entry> entries;
    while (query.Step())
        entries.push_back(
            {query.Int(0),
             static_cast<int>(entries.size()) + 1,
             {query.Text(1), query.Text(2), static_cast<std::uint16_t>(query.Int(3)), query.Int(4), query.Text(5)},
             query.Null(6) ? std::nullopt : std::optional(static_cast<ReplayState>(query.Int(6)))});
    return entries;
}

int SqliteStore::Remove(const std::vector<std::int64_t>& ids) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    int removed = 0;
    for (const std::int64_t id : ids) {
        Statement(Prepared("DELETE FROM results WHERE id = ?")).Bind(1, id).Step();
        removed += sqlite3_changes(db_);
        Statement(Prepared("DELETE FROM replays WHERE result = ?")).Bind(1, id).Step();
    }
    transaction.Commit();
    return removed;
}

void SqliteStore::Refuse(Refused kind, const std::string& value, std::int64_t now) {
    std::string stored = FoldedName(value);
    if (kind == Refused::Address) {
        const auto network = Network::Parse(value);
        if (!network) throw std::invalid_argument("not an address or CIDR range: " + value);
        stored = network->Text();
    }
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    Statement(Prepared("INSERT OR IGNORE INTO refusals(kind, value, since) VALUES(?, ?, ?)"))
        .Bind(1, std::string(KindName(kind)))
        .Bind(2, stored)
        .Bind(3, now)
        .Step();
    transaction.Commit();
}

bool SqliteStore::Allow(Refused kind, const std::string& value) {
    std::string stored = FoldedName(value);
    if (kind == Refused::Address) {
        const auto network = Network::Parse(value);
        if (!network) return false;
        stored = network->Text();
    }
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    Statement(Prepared("DELETE FROM refusals WHERE kind = ? AND value = ?"))
        .Bind(1, std::string(KindName(kind)))
        .Bind(2, stored)
        .Step();
    const bool removed = sqlite3_changes(db_) > 0;
    transaction.Commit();
    return removed;
}

std::vector<RefusalEntry> SqliteStore::Refusals() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT kind, value, since FROM refusals ORDER BY kind DESC, value"));
    std::vector<RefusalEntry> refusals;
    while (query.Step())
        refusals.push_back({query.Text(0) == "name" ? Refused::Name : Refused::Address, query.Text(1), query.Int(2)});
    return refusals;
}

bool SqliteStore::AddressRefused(const std::string& address) {
    const std::lock_guard lock(mutex_);
    return Matches(Refused::Address, address);
}

int SqliteStore::ForgetAddresses(std::int64_t before) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    Statement(Prepared("UPDATE results SET address = NULL WHERE address IS NOT NULL AND time < ?"))
        .Bind(1, before)
        .Step();
    const int forgotten = sqlite3_changes(db_);
    transaction.Commit();
    return forgotten;
}

} // namespace tw::scores
