// The service's data in one SQLite file: the tokens handed out, the stored results, and the names
// and addresses refused from then on. Several processes may open the same file (the moderation
// commands too, while the service runs); every write is one transaction.
#pragma once

#include <atomic>
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
    std::string address;   // the client's, while it is kept; empty when none is
};

// A stored result as moderation sees it.
struct Entry {
    std::int64_t id = 0;
    int place = 0;
    StoredResult result;
};

// Why a submission was not stored.
enum class Refusal { None, UnknownToken, ExpiredToken, UsedToken, RefusedName, RefusedAddress };

enum class Refused { Name, Address };
struct RefusalEntry {
    Refused kind = Refused::Name;
    std::string value;
    std::int64_t since = 0;
};

// Tokens an address may hold at once (a spent or the oldest one goes when it asks for another),
// and in all: a flood can never grow the table past these. Players behind one address (a club's
// router) share its tokens, so there is room for many of them at once.
struct TokenLimits {
    int perAddress = 64;
    std::int64_t total = 100000;
};

class ScoreStore {
public:
    // The version of the tables this program writes; older files are brought up to it in place.
    static constexpr int Schema = 2;

    // Opens (or makes) the file, checks it is whole and can be written, and brings its tables up
    // to date; a StoreError names the file and the cause.
    explicit ScoreStore(const std::string& path, TokenLimits limits = {});
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    // A fresh single-use token valid until expiresAt (seconds). Expired tokens are dropped.
    std::string IssueToken(std::int64_t now, std::int64_t expiresAt, const std::string& address = {});

    // Spends the token and stores the result in one transaction; nothing changes on a refusal.
    Refusal StoreResult(const std::string& token, const StoredResult& result, std::int64_t now);

    // The best results, highest score first; equal scores in the order they were stored.
    std::vector<StoredResult> Best(int count);
    std::int64_t ResultCount();
    std::int64_t TokenCount();
    int SchemaVersion();

    // Moderation. Entries are in the page's order, with their ids and places.
    std::vector<Entry> Entries(int count);
    // How many of the ids were there and are gone now.
    int Remove(const std::vector<std::int64_t>& ids);
    // A name (letter case and spaces aside) or an address or CIDR range refused from then on.
    // Throws std::invalid_argument for an address that is none.
    void Refuse(Refused kind, const std::string& value, std::int64_t now);
    // False when it was not refused.
    bool Allow(Refused kind, const std::string& value);
    std::vector<RefusalEntry> Refusals();
    bool AddressRefused(const std::string& address);
    // Forgets the client addresses of results stored before the time; returns how many.
    int ForgetAddresses(std::int64_t before);

    // From now on a busy file is not waited for: the program is stopping.
    void StopWaiting() { stopWaiting_ = true; }

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

// A name as refusals compare it: lower case, without spaces.
std::string FoldedName(const std::string& name);

} // namespace tw::scores
