// SPDX-License-Identifier: MIT
// The replays waiting for their check, worked through by a few threads of the service: the store
// is the queue, so replays received by any process sharing it, or before a restart, are checked
// too, each by one process. How long one check may take and how many wait are bounded.
#pragma once

#include "ReplayCheck.h"
#include "ScoreStore.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw::scores {

struct QueueSettings {
    CheckSettings check;
    int workers = 1; // checks run at once
    // Seconds since 1970, for the time a replay is taken; tests may move it.
    std::function<std::int64_t()> now;
    // Each check's outcome and the store's errors; empty: not logged.
    std::function<void(const std::string&)> log;
    // How often the store is looked at for replays received elsewhere.
    std::chrono::milliseconds poll{5000};
};

class ReplayQueue {
public:
    ReplayQueue(ScoreStore& store, QueueSettings settings);
    ~ReplayQueue();
    ReplayQueue(const ReplayQueue&) = delete;
    ReplayQueue& operator=(const ReplayQueue&) = delete;

    // Starts the workers; a queue without a program to check with starts none.
    void Start();
    // A replay was received: a waiting worker looks at once.
    void Wake();
    // Ends the checks under way (their replays wait for the next start) and the workers.
    void Stop();
    // Checks finished since the start, for tests and the log.
    std::int64_t Finished() const { return finished_; }

private:
    void Work();

    ScoreStore& store_;
    QueueSettings settings_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    int wakes_ = 0;
    std::vector<int> running_; // process groups of the checks under way
    std::vector<std::thread> workers_;
    std::atomic<std::int64_t> finished_{0};
};

} // namespace tw::scores
