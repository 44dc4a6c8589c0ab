// SQLite storage of tokens and results, in WAL mode so readers never wait for the writer.
#include "ScoreStore.h"

#include <sqlite3.h>

#include <array>
#include <random>

namespace tw::scores {

namespace {

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(stmt_, index, value);
        return *this;
    }
    // True while a row is there; throws on an error.
    bool Step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(sqlite3_db_handle(stmt_)));
    }
    std::int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
    std::string Text(int column)
    {
        const auto* text = sqlite3_column_text(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Rolls back unless committed, so a throwing step leaves the file as it was.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db)
    {
        // IMMEDIATE takes the write lock at once: two processes never deadlock upgrading a read.
        Run("BEGIN IMMEDIATE");
    }
    ~Transaction()
    {
        if (!done_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit()
    {
        Run("COMMIT");
        done_ = true;
    }

private:
    void Run(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw StoreError(std::string("SQLite: ") + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    bool done_ = false;
};

std::string RandomToken()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char hex[] = "0123456789abcdef";
    std::string token;
    for (int word = 0; word < 2; ++word) {
        std::uint64_t bits = generator();
        for (int i = 0; i < 16; ++i, bits >>= 4)
            token.push_back(hex[bits & 15U]);
    }
    return token;
}

} // namespace

ScoreStore::ScoreStore(const std::string& path)
{
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
        Execute("CREATE TABLE IF NOT EXISTS tokens ("
                " token TEXT PRIMARY KEY, expires INTEGER NOT NULL, used INTEGER NOT NULL DEFAULT 0)"
                " WITHOUT ROWID");
        Execute("CREATE INDEX IF NOT EXISTS tokens_by_expiry ON tokens(expires)");
        Execute("CREATE TABLE IF NOT EXISTS results ("
                " id INTEGER PRIMARY KEY, name TEXT NOT NULL, country TEXT NOT NULL,"
                " score INTEGER NOT NULL, time INTEGER NOT NULL)");
        Execute("CREATE INDEX IF NOT EXISTS results_by_rank ON results(score DESC, id)");
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

ScoreStore::~ScoreStore() { sqlite3_close(db_); }

void ScoreStore::Execute(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StoreError("SQLite: " + message);
    }
}

std::string ScoreStore::IssueToken(std::int64_t now, std::int64_t expiresAt)
{
    const std::lock_guard lock(mutex_);
    const std::string token = RandomToken();
    Transaction transaction(db_);
    Statement(db_, "DELETE FROM tokens WHERE expires <= ?").Bind(1, now).Step();
    Statement(db_, "INSERT INTO tokens(token, expires) VALUES(?, ?)").Bind(1, token).Bind(2, expiresAt).Step();
    transaction.Commit();
    return token;
}

Refusal ScoreStore::StoreResult(const std::string& token, const StoredResult& result, std::int64_t now)
{
    const std::lock_guard lock(mutex_);
    Transaction transaction(db_);
    std::int64_t expires = 0;
    std::int64_t used = 0;
    {
        Statement find(db_, "SELECT expires, used FROM tokens WHERE token = ?");
        find.Bind(1, token);
        if (!find.Step())
            return Refusal::UnknownToken;
        expires = find.Int(0);
        used = find.Int(1);
    }
    if (used != 0)
        return Refusal::UsedToken;
    if (expires <= now)
        return Refusal::ExpiredToken;
    Statement(db_, "UPDATE tokens SET used = 1 WHERE token = ?").Bind(1, token).Step();
    Statement(db_, "INSERT INTO results(name, country, score, time) VALUES(?, ?, ?, ?)")
        .Bind(1, result.name)
        .Bind(2, result.country)
        .Bind(3, std::int64_t{result.score})
        .Bind(4, result.time)
        .Step();
    transaction.Commit();
    return Refusal::None;
}

std::vector<StoredResult> ScoreStore::Best(int count)
{
    const std::lock_guard lock(mutex_);
    Statement query(db_, "SELECT name, country, score, time FROM results ORDER BY score DESC, id LIMIT ?");
    query.Bind(1, std::int64_t{count});
    std::vector<StoredResult> best;
    while (query.Step())
        best.push_back({query.Text(0), query.Text(1), static_cast<std::uint16_t>(query.Int(2)), query.Int(3)});
    return best;
}

std::int64_t ScoreStore::ResultCount()
{
    const std::lock_guard lock(mutex_);
    Statement query(db_, "SELECT count(*) FROM results");
    query.Step();
    return query.Int(0);
}

} // namespace tw::scores
