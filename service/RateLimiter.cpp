// SPDX-License-Identifier: MIT
// Buckets refilled continuously from the time of their last use.
#include "RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace tw::scores {

namespace {
constexpr std::int64_t SweepEveryMs = 60 * 1000;
} // namespace

RateLimiter::RateLimiter(std::array<Rate, LimitedKinds> rates, std::size_t maxClients)
    : rates_(rates), maxClients_(std::max<std::size_t>(1, maxClients)) {
    for (const auto& rate : rates_)
        if (rate.perMinute > 0) refillMs_ = std::max(refillMs_, std::int64_t{60 * 1000});
}

RateLimiter::Client& RateLimiter::Find(const std::string& client, std::int64_t nowMs) {
    auto found = clients_.find(client);
    if (found != clients_.end()) return found->second;
    if (clients_.size() >= maxClients_ || nowMs - lastSweep_ >= SweepEveryMs) Sweep(nowMs);
    if (clients_.size() >= maxClients_) return overflow_;
    Client fresh;
    for (std::size_t kind = 0; kind < fresh.buckets.size(); ++kind)
        fresh.buckets[kind] = {rates_[kind].perMinute, nowMs};
    return clients_.emplace(client, fresh).first->second;
}

void RateLimiter::Sweep(std::int64_t nowMs) {
    lastSweep_ = nowMs;
    for (auto it = clients_.begin(); it != clients_.end();)
        it = nowMs - it->second.lastSeen >= refillMs_ ? clients_.erase(it) : std::next(it);
}

int RateLimiter::Take(const std::string& client, Limited kind, std::int64_t nowMs) {
    const Rate rate = rates_[static_cast<std::size_t>(kind)];
    if (rate.perMinute <= 0) return 0;
    const std::lock_guard lock(mutex_);
    Client& entry = Find(client, nowMs);
    entry.lastSeen = nowMs;
    Bucket& bucket = entry.buckets[static_cast<std::size_t>(kind)];
    const double perMs = rate.perMinute / 60000.0;
    const double elapsed = static_cast<double>(std::max<std::int64_t>(0, nowMs - bucket.at));
    bucket.level = std::min(rate.perMinute, bucket.level + elapsed * perMs);
    bucket.at = nowMs;
    if (bucket.level >= 1) {
        bucket.level -= 1;
        return 0;
    }
    return std::max(1, static_cast<int>(std::ceil((1 - bucket.level) / perMs / 1000.0)));
}

std::size_t RateLimiter::Clients() {
    const std::lock_guard lock(mutex_);
    return clients_.size();
}

} // namespace tw::scores
