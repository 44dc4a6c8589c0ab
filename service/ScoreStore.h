// The service's data in one SQLite file: the tokens handed out and the stored results. Several
// processes may open the same file; every write is one transaction.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tw::scores {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct StoredResult {
    std::string name;
    std::string country;
    std::uint16_t score = 0;
    std::int64_t time = 0; // seconds since 1970, UTC
};

// Why a submission was not stored.
enum class Refusal { None, UnknownToken, ExpiredToken, UsedToken };

class ScoreStore {
public:
    explicit ScoreStore(const std::string& path);
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    // A fresh single-use token valid until expiresAt (seconds). Expired tokens are dropped.
    std::string IssueToken(std::int64_t now, std::int64_t expiresAt);

    // Spends the token and stores the result in one transaction; nothing changes on a refusal.
    Refusal StoreResult(const std::string& token, const StoredResult& result, std::int64_t now);

    // The best results, highest score first; equal scores in the order they were stored.
    std::vector<StoredResult> Best(int count);
    std::int64_t ResultCount();

private:
    class Transaction;
    void Execute(const char* sql);
    // Prepared on first use and kept for the connection's life.
    sqlite3_stmt* Prepared(std::string_view sql);
    void Run(std::string_view sql);

    // Copies the log back into the database file once a second on a connection of its own, so
    // no request waits for that copy.
    void CheckpointLoop(std::string path);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string_view, sqlite3_stmt*> prepared_;
    std::mutex mutex_; // one connection, used by one request at a time
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::thread checkpointer_;
};

} // namespace tw::scores
