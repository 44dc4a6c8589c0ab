// SPDX-License-Identifier: MIT
// Token buckets per client: how many version checks, submissions, pages and replays one client may
// ask for.
// The clock is a parameter, so tests move time by hand.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tw::scores {

enum class Limited { Versions, Submissions, Pages, Replays };
constexpr std::size_t LimitedKinds = 4;

struct Rate {
    // Requests a minute on average; 0 means no limit. The bucket holds a minute's worth, so a
    // client that waited may ask for that many at once.
    double perMinute = 0;
};

class RateLimiter {
public:
    // At most maxClients are followed one by one; beyond that, newcomers share one set of buckets,
    // so a flood from many addresses is limited together and the table never grows further.
    explicit RateLimiter(std::array<Rate, LimitedKinds> rates, std::size_t maxClients = 65536);

    // 0 when the request may go ahead (and is counted); otherwise the whole seconds until the
    // client's bucket holds a request again.
    int Take(const std::string& client, Limited kind, std::int64_t nowMs);

    std::size_t Clients();

private:
    struct Bucket {
        double level = 0;
        std::int64_t at = 0;
    };
    struct Client {
        std::array<Bucket, LimitedKinds> buckets;
        std::int64_t lastSeen = 0;
    };
    Client& Find(const std::string& client, std::int64_t nowMs);
    // Drops the clients whose buckets have all filled up again: they are as good as new.
    void Sweep(std::int64_t nowMs);

    std::array<Rate, LimitedKinds> rates_;
    std::size_t maxClients_;
    std::int64_t refillMs_ = 0; // the time an empty bucket of the slowest rate takes to fill
    std::mutex mutex_;
    std::unordered_map<std::string, Client> clients_;
    Client overflow_;
    std::int64_t lastSweep_ = 0;
};

} // namespace tw::scores
