// SPDX-License-Identifier: MIT
// PostgreSQL storage through libpq: every statement in autocommit unless it needs company, each a
// single round trip where it can be, so a token is spent by exactly one statement in one process.
#include "PostgresStore.h"

#include "ClientAddress.h"

#include <libpq-fe.h>

#include <poll.h>

#include <chrono>
#include <regex>

namespace tw::scores {

namespace {

// Serialises the migrations of every process that opens the same database at once.
constexpr const char* MigrationLock = "SELECT pg_advisory_xact_lock(84210001)";

std::string Trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Tables of a later version than this program knows: nothing is written into them.
class NewerDatabase : public StoreError {
public:
    using StoreError::StoreError;
};

std::int64_t WallNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

std::string WithoutPassword(const std::string& uri) {
    static const std::regex userPassword(R"(^(postgres(ql)?://[^:@/?]*):[^@/?]*@)");
    static const std::regex passwordParameter(R"(([?&]password=)[^&]*)");
    return std::regex_replace(std::regex_replace(uri, userPassword, "$1:***@"), passwordParameter, "$1***");
}

namespace {

class Result {
public:
    explicit Result(PGresult* result) : result_(result) {}
    ~Result() { PQclear(result_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    Result& operator=(Result&&) = delete;
    int Rows() const { return PQntuples(result_); }
    std::string Text(int row, int column) const {
        return {PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column))};
    }
    bool Null(int row, int column) const { return PQgetisnull(result_, row, column) != 0; }
    std::int64_t Int(int row, int column) const { return std::stoll(Text(row, column)); }
    int Changed() const { return std::atoi(PQcmdTuples(result_)); }

private:
    PGresult* result_;
};

// One statement with its parameters as text; throws StoreError unless it worked.
Result Run(PGconn* connection, const char* sql, std::initializer_list<std::optional<std::string>> parameters) {
    std::vector<const char*> values;
    for (const auto& parameter : parameters) values.push_back(parameter ? parameter->c_str() : nullptr);
    PGresult* result =
        PQexecParams(connection, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const std::string cause = Trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(connection));
        PQclear(result);
        throw StoreError("PostgreSQL: " + (cause.empty() ? Trimmed(PQerrorMessage(connection)) : cause));
    }
    return Result(result);
}

std::string Number(std::int64_t value) { return std::to_string(value); }

// Bytes as a bytea parameter in text form, and back from encode(..., 'hex').
std::string ByteaText(const std::string& bytes) {
    static constexpr char hex[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += hex[byte >> 4];
        text += hex[byte & 15U];
    }
    return text;
}

std::string FromHex(const std::string& text) {
    auto value = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += static_cast<char>(value(text[i]) * 16 + value(text[i + 1]));
    return bytes;
}

// Rolls back unless committed, so a throwing step leaves the tables as they were.
class Transaction {
public:
    explicit Transaction(PGconn* connection) : connection_(connection) { Run(connection_, "BEGIN", {}); }
    ~Transaction() {
        if (!done_ && PQstatus(connection_) == CONNECTION_OK) PQclear(PQexec(connection_, "ROLLBACK"));
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit() {
        Run(connection_, "COMMIT", {});
        done_ = true;
    }

private:
    PGconn* connection_;
    bool done_ = false;
};

} // namespace

namespace {

// An idle connection is sent nothing; anything to read on it is the server's farewell (it stopped
// or restarted) or the end of the stream. Found before use, it costs no request a failure.
bool Usable(PGconn* connection) {
    if (PQstatus(connection) != CONNECTION_OK) return false;
    pollfd socket{PQsocket(connection), POLLIN, 0};
    return ::poll(&socket, 1, 0) == 0;
}

} // namespace

// A connection of the pool, borrowed for one request; a broken one is made again first.
class PostgresStore::Lease {
public:
    explicit Lease(PostgresStore& store) : store_(store) {
        {
            std::unique_lock lock(store_.poolMutex_);
            store_.poolFreed_.wait(lock, [this] { return !store_.idle_.empty(); });
            connection_ = store_.idle_.back();
            store_.idle_.pop_back();
            ++store_.lent_;
        }
        if (connection_ && !Usable(connection_)) {
            PQfinish(connection_);
            connection_ = nullptr;
        }
        if (!connection_) {
            try {
                connection_ = store_.Connect();
            } catch (...) {
                Return();
                throw;
            }
        }
    }
    ~Lease() { Return(); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    PGconn* get() const { return connection_; }

private:
    void Return() {
        {
            const std::lock_guard lock(store_.poolMutex_);
            store_.idle_.push_back(connection_);
            --store_.lent_;
        }
        store_.poolFreed_.notify_one();
    }
    PostgresStore& store_;
    PGconn* connection_ = nullptr;
};

PostgresStore::PostgresStore(const std::string& uri, StoreOptions options) : uri_(uri), options_(options) {
    if (options_.pool < 1) options_.pool = 1;
    idle_.assign(static_cast<std::size_t>(options_.pool), nullptr);
    try {
        Lease lease(*this);
        Migrate(lease.get(), WallNow());
    } catch (const StoreError& error) {
        // The destructor does not run for a constructor that throws.
        for (PGconn* connection : idle_) PQfinish(connection);
        if (dynamic_cast<const NewerDatabase*>(&error))
            throw StoreError("the database " + WithoutPassword(uri_) + error.what());
        throw StoreError("the database " + WithoutPassword(uri_) + " cannot be used: " + error.what());
    }
}

PostgresStore::~PostgresStore() {
    const std::lock_guard lock(poolMutex_);
    for (PGconn* connection : idle_) PQfinish(connection);
}

PGconn* PostgresStore::Connect() {
    // The URI's own settings come after these and win; a server that does not answer is given up
    // on in a few seconds, so a request waits no longer than that for a database that went away.
    const char* keys[] = {"connect_timeout", "application_name", "dbname", nullptr};
    const char* values[] = {"3", "tidewarden-scores", uri_.c_str(), nullptr};
    PGconn* connection = PQconnectdbParams(keys, values, 1);
    if (PQstatus(connection) != CONNECTION_OK) {
        const std::string cause = connection ? Trimmed(PQerrorMessage(connection)) : "out of memory";
        PQfinish(connection);
        throw StoreError("PostgreSQL: cannot connect: " + cause);
    }
    // Notices (a table that is there already) are no news for the log.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    return connection;
}

void PostgresStore::Migrate(PGconn* connection, std::int64_t now) {
    // Each numbered step runs once, in one transaction with the record that it ran; whichever
    // process comes first runs it, the others wait for the lock and find it done.
    Transaction transaction(connection);
    Run(connection, MigrationLock, {});
    Run(connection, "CREATE TABLE IF NOT EXISTS migrations (version integer PRIMARY KEY, applied bigint NOT NULL)", {});
    std::int64_t version = 0;
    {
        const Result done = Run(connection, "SELECT coalesce(max(version), 0) FROM migrations", {});
        version = done.Int(0, 0);
    }
    if (version > Schema)
        throw NewerDatabase(" was made by a newer tidewarden-scores (tables of version " + std::to_string(version) +
                            ")");
    const std::vector<std::vector<const char*>> steps = {
        {"CREATE TABLE tokens (token text PRIMARY KEY, expires bigint NOT NULL, used smallint NOT NULL DEFAULT 0)",
         "CREATE INDEX tokens_by_expiry ON tokens(expires)",
         "CREATE TABLE results (id bigserial PRIMARY KEY, name text NOT NULL, country text NOT NULL,"
         " score integer NOT NULL, time bigint NOT NULL)",
         "CREATE INDEX results_by_rank ON results(score DESC, id)"},
        {"ALTER TABLE tokens ADD COLUMN address text NOT NULL DEFAULT ''",
         // In the order the trim of an address's tokens reads them, so it needs no sorting.
         "CREATE INDEX tokens_by_address ON tokens(address, used, expires DESC)",
         "ALTER TABLE results ADD COLUMN address text",
         "CREATE INDEX results_with_address ON results(time) WHERE address IS NOT NULL",
         "CREATE TABLE refusals (kind text NOT NULL, value text NOT NULL, since bigint NOT NULL,"
         " PRIMARY KEY(kind, value))",
         "CREATE TABLE meta (key text PRIMARY KEY, value text)"},
        // The number of each result's day, week and month, with an index per period in the page's order.
        {"ALTER TABLE results ADD COLUMN day integer NOT NULL DEFAULT 0",
         "ALTER TABLE results ADD COLUMN week integer NOT NULL DEFAULT 0",
         "ALTER TABLE results ADD COLUMN month integer NOT NULL DEFAULT 0",
         "UPDATE results SET day = floor(time / 86400.0), week = floor((floor(time / 86400.0) + 3) / 7),"
         " month = extract(year FROM to_timestamp(time) AT TIME ZONE 'UTC') * 12"
         " + extract(month FROM to_timestamp(time) AT TIME ZONE 'UTC') - 1",
         "CREATE INDEX results_by_day ON results(day, score DESC, id)",
         "CREATE INDEX results_by_week ON results(week, score DESC, id)",
         "CREATE INDEX results_by_month ON results(month, score DESC, id)"},
        // Replays: the token remembers the result it stored; replays wait for their check in a
        // table of their own; the verified entries have an index of their own for the page.
        {"ALTER TABLE tokens ADD COLUMN result bigint",
         "ALTER TABLE results ADD COLUMN verified smallint NOT NULL DEFAULT 0",
         "CREATE INDEX results_verified_by_rank ON results(score DESC, id) WHERE verified = 1",
         "CREATE TABLE replays (result bigint PRIMARY KEY, bytes bytea NOT NULL, state smallint NOT NULL DEFAULT 0,"
         " received bigint NOT NULL, taken bigint)",
         "CREATE INDEX replays_waiting ON replays(received, result) WHERE state = 0"},
    };
    static_assert(Schema == 4, "a migration step for each version");
    for (std::int64_t step = version; step < Schema; ++step) {
        for (const char* sql : steps[static_cast<std::size_t>(step)]) Run(connection, sql, {});
        Run(connection, "INSERT INTO migrations(version, applied) VALUES($1::integer, $2::bigint)",
            {Number(step + 1), Number(now)});
    }
    // Proves the tables can be written before the service listens.
    Run(connection,
        "INSERT INTO meta(key, value) VALUES('opened', $1::text) ON CONFLICT (key) DO UPDATE SET value = "
        "excluded.value",
        {Number(now)});
    transaction.Commit();
}

std::string PostgresStore::IssueToken(std::int64_t now, std::int64_t expiresAt, const std::string& address) {
    Lease lease(*this);
    const std::string token = RandomToken();
    // The expired tokens go, then the address's spent ones and its oldest make room for the new
    // one: one statement, so nothing is half done when the server goes away. Rows another process
    // is deleting or spending at the moment are skipped, not waited for: two trims never deadlock.
    Run(lease.get(),
        "WITH expired AS (DELETE FROM tokens WHERE token IN (SELECT token FROM tokens WHERE expires <= $1::bigint"
        " FOR UPDATE SKIP LOCKED)),"
        " trimmed AS (DELETE FROM tokens WHERE token IN (SELECT token FROM tokens WHERE address = $2::text"
        " ORDER BY used, expires DESC OFFSET $3::bigint FOR UPDATE SKIP LOCKED))"
        " INSERT INTO tokens(token, expires, address) VALUES($4::text, $5::bigint, $2::text)",
        {Number(now), address, Number(options_.limits.perAddress - 1), token, Number(expiresAt)});
    // Counting every token costs a scan of the table, so each process does it now and then.
    if (++issuedSinceCount_ % 64 == 0)
        Run(lease.get(),
            "DELETE FROM tokens WHERE token IN (SELECT token FROM tokens ORDER BY expires DESC OFFSET $1::bigint"
            " FOR UPDATE SKIP LOCKED)",
            {Number(options_.limits.total)});
    return token;
}

bool PostgresStore::Matches(PGconn* connection, Refused kind, const std::string& value) {
    const Result refusals = Run(connection, "SELECT value FROM refusals WHERE kind = $1::text", {KindName(kind)});
    for (int row = 0; row < refusals.Rows(); ++row)
        if (RefusalCovers(kind, refusals.Text(row, 0), value)) return true;
    return false;
}

Refusal PostgresStore::StoreResult(const std::string& token, const StoredResult& result, std::int64_t now) {
    Lease lease(*this);
    if (Matches(lease.get(), Refused::Name, result.name)) return Refusal::RefusedName;
    if (!result.address.empty() && Matches(lease.get(), Refused::Address, result.address))
        return Refusal::RefusedAddress;
    const PeriodNumbers periods = PeriodsOf(result.time);
    // The token is spent and the result stored by one statement: of two processes given the same
    // token at once, the row lock lets one spend it, and the other finds it spent.
    const Result stored =
        Run(lease.get(),
            // The result's number is drawn as the token is spent, so the token remembers it.
            "WITH spent AS (UPDATE tokens SET used = 1, result = nextval(pg_get_serial_sequence('results', 'id'))"
            " WHERE token = $1::text AND used = 0 AND expires > $2::bigint RETURNING result)"
            " INSERT INTO results(id, name, country, score, time, address, day, week, month)"
            " SELECT spent.result, $3::text, $4::text, $5::integer, $6::bigint, $7::text, $8::integer,"
            " $9::integer, $10::integer FROM spent RETURNING id",
            {token, Number(now), result.name, result.country, Number(result.score), Number(result.time),
             result.address.empty() ? std::nullopt : std::optional<std::string>(result.address), Number(periods.day),
             Number(periods.week), Number(periods.month)});
    if (stored.Rows() == 1) return Refusal::None;
    const Result found = Run(lease.get(), "SELECT used FROM tokens WHERE token = $1::text", {token});
    if (found.Rows() == 0) return Refusal::UnknownToken;
    return found.Int(0, 0) != 0 ? Refusal::UsedToken : Refusal::ExpiredToken;
}

std::vector<StoredResult> PostgresStore::Table(int count, Period period, std::int64_t now, bool verifiedOnly) {
    Lease lease(*this);
    const PeriodNumbers periods = PeriodsOf(now);
    const char* column = period == Period::Day ? "day" : period == Period::Week ? "week" : "month";
    const std::int64_t number = period == Period::Day    ? periods.day
                                : period == Period::Week ? periods.week
                                                         : periods.month;
    const std::string sql = std::string("SELECT name, country, score, time, id, verified FROM results") +
                            (period == Period::All ? std::string(" WHERE $2::integer IS NOT NULL")
                                                   : std::string(" WHERE ") + column + " = $2::integer") +
                            (verifiedOnly ? " AND verified = 1" : "") + " ORDER BY score DESC, id LIMIT $1::bigint";
    const Result rows = Run(lease.get(), sql.c_str(), {Number(count), Number(number)});
    std::vector<StoredResult> best;
    for (int row = 0; row < rows.Rows(); ++row)
        best.push_back({rows.Text(row, 0),
                        rows.Text(row, 1),
                        static_cast<std::uint16_t>(rows.Int(row, 2)),
                        rows.Int(row, 3),
                        {},
                        rows.Int(row, 4),
                        rows.Int(row, 5) != 0});
    return best;
}

ReplayRefusal PostgresStore::StoreReplay(const std::string& token, const std::string& bytes, std::int64_t now) {
    Lease lease(*this);
    const Result found = Run(lease.get(),
                             "SELECT t.expires, r.id FROM tokens t LEFT JOIN results r ON r.id = t.result"
                             " WHERE t.token = $1::text",
                             {token});
    if (found.Rows() == 0) return ReplayRefusal::UnknownToken;
    if (found.Int(0, 0) <= now) return ReplayRefusal::ExpiredToken;
    // Not spent yet, or its result was removed since.
    if (found.Null(0, 1)) return ReplayRefusal::NoResult;
    const Result stored = Run(lease.get(),
                              "INSERT INTO replays(result, bytes, state, received)"
                              " VALUES($1::bigint, $2::bytea, 0, $3::bigint) ON CONFLICT DO NOTHING RETURNING result",
                              {found.Text(0, 1), ByteaText(bytes), Number(now)});
    return stored.Rows() == 1 ? ReplayRefusal::None : ReplayRefusal::AlreadyReceived;
}

std::int64_t PostgresStore::WaitingReplays() {
    Lease lease(*this);
    return Run(lease.get(), "SELECT count(*) FROM replays WHERE state = 0", {}).Int(0, 0);
}

std::optional<ReplayToCheck> PostgresStore::TakeReplay(std::int64_t now, std::int64_t staleBefore) {
    Lease lease(*this);
    // A replay another process is taking at this moment is passed by, not waited for.
    const Result taken =
        Run(lease.get(),
            "UPDATE replays p SET taken = $1::bigint FROM results r WHERE r.id = p.result AND p.result ="
            " (SELECT result FROM replays WHERE state = 0 AND (taken IS NULL OR taken < $2::bigint)"
            " ORDER BY received, result LIMIT 1 FOR UPDATE SKIP LOCKED)"
            " RETURNING p.result, r.score, encode(p.bytes, 'hex')",
            {Number(now), Number(staleBefore)});
    if (taken.Rows() == 0) return std::nullopt;
    return ReplayToCheck{taken.Int(0, 0), static_cast<std::uint16_t>(taken.Int(0, 1)), FromHex(taken.Text(0, 2))};
}

void PostgresStore::FinishReplay(std::int64_t id, bool verified) {
    Lease lease(*this);
    if (verified) {
        Run(lease.get(),
            "WITH marked AS (UPDATE replays SET state = 1 WHERE result = $1::bigint RETURNING result)"
            " UPDATE results SET verified = 1 WHERE id IN (SELECT result FROM marked)",
            {Number(id)});
    } else {
        // Nobody is offered a replay that does not prove its entry: its bytes are of no more use.
        Run(lease.get(), "UPDATE replays SET state = 2, bytes = ''::bytea WHERE result = $1::bigint", {Number(id)});
    }
}

std::optional<std::string> PostgresStore::VerifiedReplay(std::int64_t id) {
    Lease lease(*this);
    const Result rows = Run(
        lease.get(), "SELECT encode(bytes, 'hex') FROM replays WHERE result = $1::bigint AND state = 1", {Number(id)});
    if (rows.Rows() == 0) return std::nullopt;
    return FromHex(rows.Text(0, 0));
}

std::optional<ReplayState> PostgresStore::ReplayStateOf(std::int64_t id) {
    Lease lease(*this);
    const Result rows = Run(lease.get(), "SELECT state FROM replays WHERE result = $1::bigint", {Number(id)});
    if (rows.Rows() == 0) return std::nullopt;
    return static_cast<ReplayState>(rows.Int(0, 0));
}

std::int64_t PostgresStore::ResultCount() {
    Lease lease(*this);
    return Run(lease.get(), "SELECT count(*) FROM results", {}).Int(0, 0);
}

std::int64_t PostgresStore::TokenCount() {
    Lease lease(*this);
    return Run(lease.get(), "SELECT count(*) FROM tokens", {}).Int(0, 0);
}

int PostgresStore::SchemaVersion() {
    Lease lease(*this);
    return static_cast<int>(Run(lease.get(), "SELECT coalesce(max(version), 0) FROM migrations", {}).Int(0, 0));
}

std::vector<Entry> PostgresStore::Entries(int count) {
    Lease lease(*this);
    const Result rows = Run(lease.get(),
                            "SELECT r.id, r.name, r.country, r.score, r.time, coalesce(r.address, ''), p.state"
                            " FROM results r LEFT JOIN replays p ON p.result = r.id"
                            " ORDER BY r.score DESC, r.id LIMIT $1::bigint",
                            {Number(count)});
    std::vector<Entry> entries;
    for (int row = 0; row < rows.Rows(); ++row)
        entries.push_back(
            {rows.Int(row, 0),
             row + 1,
             {rows.Text(row, 1), rows.Text(row, 2), static_cast<std::uint16_t>(rows.Int(row, 3)), rows.Int(row, 4),
              rows.Text(row, 5)},
             rows.Null(row, 6) ? std::nullopt : std::optional(static_cast<ReplayState>(rows.Int(row, 6)))});
    return entries;
}

int PostgresStore::Remove(const std::vector<std::int64_t>& ids) {
    std::string array = "{";
    for (const std::int64_t id : ids) {
        if (array.size() > 1) array += ',';
        array += Number(id);
    }
    array += "}";
    Lease lease(*this);
    return Run(lease.get(),
               "WITH replays_gone AS (DELETE FROM replays WHERE result = ANY($1::bigint[]))"
               " DELETE FROM results WHERE id = ANY($1::bigint[])",
               {array})
        .Changed();
}

void PostgresStore::Refuse(Refused kind, const std::string& value, std::int64_t now) {
    std::string stored = FoldedName(value);
    if (kind == Refused::Address) {
        const auto network = Network::Parse(value);
        if (!network) throw std::invalid_argument("not an address or CIDR range: " + value);
        stored = network->Text();
    }
    Lease lease(*this);
    Run(lease.get(),
        "INSERT INTO refusals(kind, value, since) VALUES($1::text, $2::text, $3::bigint) ON CONFLICT DO NOTHING",
        {KindName(kind), stored, Number(now)});
}

bool PostgresStore::Allow(Refused kind, const std::string& value) {
    std::string stored = FoldedName(value);
    if (kind == Refused::Address) {
        const auto network = Network::Parse(value);
        if (!network) return false;
        stored = network->Text();
    }
    Lease lease(*this);
    return Run(lease.get(), "DELETE FROM refusals WHERE kind = $1::text AND value = $2::text", {KindName(kind), stored})

               .Changed() > 0;
}

std::vector<RefusalEntry> PostgresStore::Refusals() {
    Lease lease(*this);
    const Result rows =
        Run(lease.get(), "SELECT kind, value, since FROM refusals ORDER BY kind DESC, value COLLATE \"C\"", {});
    std::vector<RefusalEntry> refusals;
    for (int row = 0; row < rows.Rows(); ++row)
        refusals.push_back(
            {rows.Text(row, 0) == "name" ? Refused::Name : Refused::Address, rows.Text(row, 1), rows.Int(row, 2)});
    return refusals;
}

bool PostgresStore::AddressRefused(const std::string& address) {
    Lease lease(*this);
    return Matches(lease.get(), Refused::Address, address);
}

int PostgresStore::ForgetAddresses(std::int64_t before) {
    Lease lease(*this);
    return Run(lease.get(), "UPDATE results SET address = NULL WHERE address IS NOT NULL AND time < $1::bigint",
               {Number(before)})

        .Changed();
}

namespace {

// A text field of COPY's text format.
void AppendCopyText(std::string& line, const std::string& text) {
    for (char c : text) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
}

} // namespace

void PostgresStore::Import(const std::vector<StoredResult>& results) {
    Lease lease(*this);
    PGconn* connection = lease.get();
    Transaction transaction(connection);
    {
        PGresult* started =
            PQexec(connection, "COPY results(name, country, score, time, address, day, week, month) FROM STDIN");
        const bool copying = PQresultStatus(started) == PGRES_COPY_IN;
        PQclear(started);
        if (!copying) throw StoreError("PostgreSQL: " + Trimmed(PQerrorMessage(connection)));
    }
    std::string data;
    for (const auto& result : results) {
        const PeriodNumbers periods = PeriodsOf(result.time);
        AppendCopyText(data, result.name);
        data += '\t';
        AppendCopyText(data, result.country);
        data += '\t' + Number(result.score) + '\t' + Number(result.time) + '\t';
        if (result.address.empty())
            data += "\\N";
        else
            AppendCopyText(data, result.address);
        data += '\t' + Number(periods.day) + '\t' + Number(periods.week) + '\t' + Number(periods.month) + '\n';
        if (data.size() > (1U << 20)) {
            if (PQputCopyData(connection, data.data(), static_cast<int>(data.size())) != 1) break;
            data.clear();
        }
    }
    if (!data.empty()) PQputCopyData(connection, data.data(), static_cast<int>(data.size()));
    if (PQputCopyEnd(connection, nullptr) != 1) throw StoreError("PostgreSQL: " + Trimmed(PQerrorMessage(connection)));
    for (PGresult* ended = PQgetResult(connection); ended; ended = PQgetResult(connection)) {
        const bool ok = PQresultStatus(ended) == PGRES_COMMAND_OK;
        const std::string cause = Trimmed(PQresultErrorMessage(ended));
        PQclear(ended);
        if (!ok) throw StoreError("PostgreSQL: " + cause);
    }
    transaction.Commit();
    // The planner's picture of the table is from before the bulk: without fresh statistics it may
    // read a period's table through the wrong index.
    Run(connection, "ANALYZE results", {});
}

} // namespace tw::scores
