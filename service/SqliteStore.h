// SPDX-License-Identifier: MIT
// The service's data in one SQLite file. Several processes may open the same file (the moderation
// commands too, while the service runs); every write is one transaction.
#pragma once

#include "ScoreStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tw::scores {

class SqliteStore : public ScoreStore {
public:
    // Opens (or makes) the file, checks it is whole and can be written, and brings its tables up
    // to date; a StoreError names the file and the cause.
    explicit SqliteStore(const std::string& path, TokenLimits limits = {});
    ~SqliteStore() override;
    SqliteStore(const SqliteStore&) = delete;
    SqliteStore& operator=(const SqliteStore&) = delete;

    std::string IssueToken(std::int64_t now, std::int64_t expiresAt, const std::string& address = {}) override;
    Refusal StoreResult(const std::string& token, const StoredResult& result, std::int64_t now) override;
    using ScoreStore::Table;
    std::vector<StoredResult> Table(int count, Period period, std::int64_t now, bool verifiedOnly) override;
    ReplayRefusal StoreReplay(const std::string& token, const std::string& bytes, std::int64_t now) override;
    std::int64_t WaitingReplays() override;
    std::optional<ReplayToCheck> TakeReplay(std::int64_t now, std::int64_t staleBefore) override;
    void FinishReplay(std::int64_t id, bool verified) override;
    std::optional<std::string> VerifiedReplay(std::int64_t id) override;
    std::optional<ReplayState> ReplayStateOf(std::int64_t id) override;
    std::int64_t ResultCount() override;
    std::int64_t TokenCount() override;
    int SchemaVersion() override;
    std::vector<Entry> Entries(int count) override;
    int Remove(const std::vector<std::int64_t>& ids) override;
    void Refuse(Refused kind, const std::string& value, std::int64_t now) override;
    bool Allow(Refused kind, const std::string& value) override;
    std::vector<RefusalEntry> Refusals() override;
    bool AddressRefused(const std::string& address) override;
    int ForgetAddresses(std::int64_t before) override;
    void Import(const std::vector<StoredResult>& results) override;
    void StopWaiting() override { stopWaiting_ = true; }

private:
    class Transaction;
    void Execute(const char* sql);
    // Prepared on first use and kept for the connection's life.
    sqlite3_stmt* Prepared(std::string_view sql);
    void Run(std::string_view sql);
    void CheckWhole(const std::string& path);
    void Migrate(std::int64_t now);
    bool Matches(Refused kind, const std::string& value);
    static int BusyWait(void* store, int tries);

    // Copies the log back into the database file once a second on a connection of its own, so
    // no request waits for that copy.
    void CheckpointLoop(std::string path);

    sqlite3* db_ = nullptr;
    TokenLimits limits_;
    std::unordered_map<std::string_view, sqlite3_stmt*> prepared_;
    std::mutex mutex_; // one connection, used by one request at a time
    std::int64_t issuedSinceCount_ = 0;
    std::atomic<bool> stopWaiting_{false};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;
    bool stopping_ = false;
    std::thread checkpointer_;
};

} // namespace tw::scores
