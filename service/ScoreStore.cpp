// SQLite storage of tokens and results, in WAL mode so readers never wait for the writer.
#include "ScoreStore.h"

#include <sqlite3.h>

#include <random>

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

std::string RandomToken() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char hex[] = "0123456789abcdef";
    std::string token;
    for (int word = 0; word < 2; ++word) {
        std::uint64_t bits = generator();
        for (int i = 0; i < 16; ++i, bits >>= 4) token.push_back(hex[bits & 15U]);
    }
    return token;
}

} // namespace

// Rolls back unless committed, so a throwing step leaves the file as it was.
class ScoreStore::Transaction {
public:
    explicit Transaction(ScoreStore& store) : store_(store) {
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
    ScoreStore& store_;
    bool done_ = false;
};

ScoreStore::ScoreStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw StoreError("cannot open " + path + ": " + message);
    }
    try {
        // Other processes on the same file hold the write lock only for one short transaction.
        sqlite3_busy_timeout(db_, 5000);
        Execute("PRAGMA journal_mode=WAL");
        // In WAL mode a commit is in the file once COMMIT returns; only a power cut could lose
        // the last ones before the next checkpoint, never a killed process.
        Execute("PRAGMA synchronous=NORMAL");
        // A log that was restarted is cut back to this size.
        Execute("PRAGMA journal_size_limit=67108864");
        Execute("CREATE TABLE IF NOT EXISTS tokens ("
                " token TEXT PRIMARY KEY, expires INTEGER NOT NULL, used INTEGER NOT NULL DEFAULT 0)"
                " WITHOUT ROWID");
        Execute("CREATE INDEX IF NOT EXISTS tokens_by_expiry ON tokens(expires)");
        Execute("CREATE TABLE IF NOT EXISTS results ("
                " id INTEGER PRIMARY KEY, name TEXT NOT NULL, country TEXT NOT NULL,"
                " score INTEGER NOT NULL, time INTEGER NOT NULL)");
        Execute("CREATE INDEX IF NOT EXISTS results_by_rank ON results(score DESC, id)");
        // Checkpoints are the checkpointer's job, off the requests' path.
        Execute("PRAGMA wal_autocheckpoint=0");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
    checkpointer_ = std::thread(&ScoreStore::CheckpointLoop, this, path);
}

void ScoreStore::CheckpointLoop(std::string path) {
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

ScoreStore::~ScoreStore() {
    {
        const std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    checkpointer_.join();
    for (auto& [sql, stmt] : prepared_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
}

void ScoreStore::Execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError("SQLite: " + message);
    }
}

sqlite3_stmt* ScoreStore::Prepared(std::string_view sql) {
    auto found = prepared_.find(sql);
    if (found != prepared_.end()) return found->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK)
        throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    prepared_.emplace(sql, stmt);
    return stmt;
}

void ScoreStore::Run(std::string_view sql) { Statement(Prepared(sql)).Step(); }

std::string ScoreStore::IssueToken(std::int64_t now, std::int64_t expiresAt) {
    const std::lock_guard lock(mutex_);
    const std::string token = RandomToken();
    Transaction transaction(*this);
    Statement(Prepared("DELETE FROM tokens WHERE expires <= ?")).Bind(1, now).Step();
    Statement(Prepared("INSERT INTO tokens(token, expires) VALUES(?, ?)")).Bind(1, token).Bind(2, expiresAt).Step();
    transaction.Commit();
    return token;
}

Refusal ScoreStore::StoreResult(const std::string& token, const StoredResult& result, std::int64_t now) {
    const std::lock_guard lock(mutex_);
    Transaction transaction(*this);
    std::int64_t expires = 0;
    std::int64_t used = 0;
    {
        Statement find(Prepared("SELECT expires, used FROM tokens WHERE token = ?"));
        find.Bind(1, token);
        if (!find.Step()) return Refusal::UnknownToken;
        expires = find.Int(0);
        used = find.Int(1);
    }
    if (used != 0) return Refusal::UsedToken;
    if (expires <= now) return Refusal::ExpiredToken;
    Statement(Prepared("UPDATE tokens SET used = 1 WHERE token = ?")).Bind(1, token).Step();
    Statement(Prepared("INSERT INTO results(name, country, score, time) VALUES(?, ?, ?, ?)"))
        .Bind(1, result.name)
        .Bind(2, result.country)
        .Bind(3, std::int64_t{result.score})
        .Bind(4, result.time)
        .Step();
    transaction.Commit();
    return Refusal::None;
}

std::vector<StoredResult> ScoreStore::Best(int count) {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT name, country, score, time FROM results ORDER BY score DESC, id LIMIT ?"));
    query.Bind(1, std::int64_t{count});
    std::vector<StoredResult> best;
    while (query.Step())
        best.push_back({query.Text(0), query.Text(1), static_cast<std::uint16_t>(query.Int(2)), query.Int(3)});
    return best;
}

std::int64_t ScoreStore::ResultCount() {
    const std::lock_guard lock(mutex_);
    Statement query(Prepared("SELECT count(*) FROM results"));
    query.Step();
    return query.Int(0);
}

} // namespace tw::scores
