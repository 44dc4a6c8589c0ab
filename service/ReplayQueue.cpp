// SPDX-License-Identifier: MIT
// The workers of the replay queue.
#include "ReplayQueue.h"

#include <algorithm>
#include <chrono>

namespace tw::scores {

namespace {

std::int64_t SystemNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

ReplayQueue::ReplayQueue(ScoreStore& store, QueueSettings settings) : store_(store), settings_(std::move(settings)) {
    if (!settings_.now) settings_.now = SystemNow;
}

ReplayQueue::~ReplayQueue() { Stop(); }

void ReplayQueue::Start() {
    if (settings_.check.program.empty() || !workers_.empty()) return;
    for (int i = 0; i < std::max(1, settings_.workers); ++i) workers_.emplace_back([this] { Work(); });
}

void ReplayQueue::Wake() {
    {
        const std::lock_guard lock(mutex_);
        ++wakes_;
    }
    wake_.notify_one();
}

void ReplayQueue::Stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        for (const int group : running_) AbortCheck(group);
    }
    wake_.notify_all();
    for (auto& worker : workers_) worker.join();
    workers_.clear();
}

void ReplayQueue::Work() {
    // A replay taken by a checker that went away (killed, or its host lost) is taken again once
    // its check would long have ended.
    const std::int64_t staleSeconds = settings_.check.timeout.count() / 1000 + 60;
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) return;
        }
        std::optional<ReplayToCheck> replay;
        try {
            const std::int64_t now = settings_.now();
            replay = store_.TakeReplay(now, now - staleSeconds);
        } catch (const StoreError& error) {
            if (settings_.log) settings_.log(std::string("replay check: store error: ") + error.what());
        }
        if (!replay) {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, settings_.poll, [this] { return stopping_ || wakes_ > 0; });
            if (wakes_ > 0) --wakes_;
            continue;
        }
        int group = 0;
        const CheckVerdict verdict = CheckReplay(settings_.check, replay->bytes, replay->score, [this, &group](int g) {
            const std::lock_guard lock(mutex_);
            group = g;
            running_.push_back(g);
            if (stopping_) AbortCheck(g);
        });
        bool stopped = false;
        {
            const std::lock_guard lock(mutex_);
            running_.erase(std::remove(running_.begin(), running_.end(), group), running_.end());
            stopped = stopping_;
        }
        // A check cut short by the stop proves nothing either way: the replay waits for the next start.
        if (stopped) return;
        if (!verdict.conclusive) {
            // Left taken: it is looked at again once it counts as stale, not at once in a loop.
            if (settings_.log)
                settings_.log("replay of entry " + std::to_string(replay->id) + " not checked: " + verdict.why);
            continue;
        }
        try {
            store_.FinishReplay(replay->id, verdict.verified);
            ++finished_;
            if (settings_.log)
                settings_.log("replay of entry " + std::to_string(replay->id) +
                              (verdict.verified ? " verified: " : " not verified: ") + verdict.why);
        } catch (const StoreError& error) {
            if (settings_.log) settings_.log(std::string("replay check: store error: ") + error.what());
        }
    }
}

} // namespace tw::scores
