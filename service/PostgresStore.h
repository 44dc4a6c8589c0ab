// SPDX-License-Identifier: MIT
// The service's data in a PostgreSQL database, shared by any number of service processes on any
// number of hosts: a pool of connections, each used by one request at a time, made again when the
// server comes back after it went away.
#pragma once

#include "ScoreStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tw::scores {

class PostgresStore : public ScoreStore {
public:
    // Connects, brings the tables up to date and checks they can be written; a StoreError names
    // the database (without its password) and the cause.
    PostgresStore(const std::string& uri, StoreOptions options = {});
    ~PostgresStore() override;
    PostgresStore(const PostgresStore&) = delete;
    PostgresStore& operator=(const PostgresStore&) = delete;

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

private:
    class Lease;

    pg_conn* Connect();
    void Migrate(pg_conn* connection, std::int64_t now);
    bool Matches(pg_conn* connection, Refused kind, const std::string& value);

    std::string uri_;
    StoreOptions options_;
    std::mutex poolMutex_;
    std::condition_variable poolFreed_;
    std::vector<pg_conn*> idle_; // a null one is a place in the pool not connected yet
    int lent_ = 0;
    std::atomic<std::int64_t> issuedSinceCount_{0};
};

// The database as the log may name it: a password in the URI is left out.
std::string WithoutPassword(const std::string& uri);

} // namespace tw::scores
