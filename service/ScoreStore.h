// The service's data in one SQLite file: the tokens handed out and the stored results. Several
// processes may open the same file; every write is one transaction.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

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
    void Execute(const char* sql);
    sqlite3* db_ = nullptr;
    std::mutex mutex_; // one connection, used by one request at a time
};

} // namespace tw::scores
