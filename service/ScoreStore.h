// SPDX-License-Identifier: MIT
// What the service keeps, whatever keeps it: the tokens handed out, the stored results with their
// replays, and the names and addresses refused from then on. SQLite (one host) and PostgreSQL (any
// number of hosts) both stand behind this interface; OpenStore picks one by the --database text.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::scores {

// The store cannot answer now (busy beyond the wait, gone, broken): the request may be tried again.
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
    // Read back by the table only: the entry's number, and whether its replay was played through
    // to its score.
    std::int64_t id = 0;
    bool verified = false;
};

// Where the replay of a result stands: received and waiting for its check (or being checked),
// played through to the result's score, or not.
enum class ReplayState { Waiting = 0, Verified = 1, Failed = 2 };

// A stored result as moderation sees it.
struct Entry {
    std::int64_t id = 0;
    int place = 0;
    StoredResult result;
    std::optional<ReplayState> replay; // none when no replay came
};

// Why a submission was not stored.
enum class Refusal { None, UnknownToken, ExpiredToken, UsedToken, RefusedName, RefusedAddress };

enum class Refused { Name, Address };
struct RefusalEntry {
    Refused kind = Refused::Name;
    std::string value;
    std::int64_t since = 0;
};

// Why a replay was not kept.
enum class ReplayRefusal { None, UnknownToken, ExpiredToken, NoResult, AlreadyReceived };

// A replay taken for its check.
struct ReplayToCheck {
    std::int64_t id = 0; // the result's
    std::uint16_t score = 0;
    std::string bytes;
};

// The tables of the page: results of the UTC day, the week (from Monday), the calendar month, or
// all of them.
enum class Period { All, Day, Week, Month };

// Each result keeps the number of its day, week and month, so a period's table is one read of an
// index in score order instead of a sort of every result in the period.
struct PeriodNumbers {
    std::int64_t day = 0;
    std::int64_t week = 0;
    std::int64_t month = 0; // year * 12 + month - 1
};
PeriodNumbers PeriodsOf(std::int64_t time);

// Tokens an address may hold at once (a spent or the oldest one goes when it asks for another),
// and in all: a flood can never grow the table past these. Players behind one address (a club's
// router) share its tokens, so there is room for many of them at once.
struct TokenLimits {
    int perAddress = 64;
    std::int64_t total = 100000;
};

struct StoreOptions {
    TokenLimits limits;
    // Connections to a database server, each serving one request at a time; a SQLite file has one.
    int pool = 4;
};

class ScoreStore {
public:
    // The number of the last migration this program knows; every store records the ones it ran.
    static constexpr int Schema = 4;

    virtual ~ScoreStore() = default;

    // A fresh single-use token valid until expiresAt (seconds). Expired tokens are dropped.
    virtual std::string IssueToken(std::int64_t now, std::int64_t expiresAt, const std::string& address = {}) = 0;

    // Spends the token and stores the result at once; nothing changes on a refusal.
    virtual Refusal StoreResult(const std::string& token, const StoredResult& result, std::int64_t now) = 0;

    // The best results of the period that holds now (only those with a verified replay when
    // asked), highest score first; equal scores in the order they were stored.
    virtual std::vector<StoredResult> Table(int count, Period period, std::int64_t now, bool verifiedOnly) = 0;
    std::vector<StoredResult> Table(int count, Period period, std::int64_t now) {
        return Table(count, period, now, false);
    }
    std::vector<StoredResult> Best(int count) { return Table(count, Period::All, 0, false); }

    // Replays. Keeps the replay of the result the token stored, once per token and only while the
    // token is valid; it waits for its check.
    virtual ReplayRefusal StoreReplay(const std::string& token, const std::string& bytes, std::int64_t now) = 0;
    // Replays waiting for their check, those being checked included.
    virtual std::int64_t WaitingReplays() = 0;
    // Takes the oldest waiting replay for a check, or one whose check began before staleBefore
    // (its checker went away); nothing when none waits. Another process takes another one.
    virtual std::optional<ReplayToCheck> TakeReplay(std::int64_t now, std::int64_t staleBefore) = 0;
    // The check's outcome: a verified entry keeps its replay for download, a failed one drops it.
    virtual void FinishReplay(std::int64_t id, bool verified) = 0;
    // The replay of a verified entry; nothing for any other.
    virtual std::optional<std::string> VerifiedReplay(std::int64_t id) = 0;
    virtual std::optional<ReplayState> ReplayStateOf(std::int64_t id) = 0;
    virtual std::int64_t ResultCount() = 0;
    virtual std::int64_t TokenCount() = 0;
    virtual int SchemaVersion() = 0;

    // Moderation. Entries are in the page's order, with their ids and places.
    virtual std::vector<Entry> Entries(int count) = 0;
    // How many of the ids were there and are gone now.
    virtual int Remove(const std::vector<std::int64_t>& ids) = 0;
    // A name (letter case and spaces aside) or an address or CIDR range refused from then on.
    // Throws std::invalid_argument for an address that is none.
    virtual void Refuse(Refused kind, const std::string& value, std::int64_t now) = 0;
    // False when it was not refused.
    virtual bool Allow(Refused kind, const std::string& value) = 0;
    virtual std::vector<RefusalEntry> Refusals() = 0;
    virtual bool AddressRefused(const std::string& address) = 0;
    // Forgets the client addresses of results stored before the time; returns how many.
    virtual int ForgetAddresses(std::int64_t before) = 0;

    // Stores results without tokens, in bulk: for filling a database to measure it.
    virtual void Import(const std::vector<StoredResult>& results) = 0;

    // From now on a busy store is not waited for: the program is stopping.
    virtual void StopWaiting() {}
};

// A postgresql:// or postgres:// connection URI names a PostgreSQL database; anything else is the
// path of a SQLite file.
bool IsServerDatabase(const std::string& database);
std::unique_ptr<ScoreStore> OpenStore(const std::string& database, StoreOptions options = {});

// A name as refusals compare it: lower case, without spaces.
std::string FoldedName(const std::string& name);
// Whether a stored refusal (folded name, or network text) covers the value.
bool RefusalCovers(Refused kind, const std::string& refused, const std::string& value);
const char* KindName(Refused kind);
std::string RandomToken();

} // namespace tw::scores
