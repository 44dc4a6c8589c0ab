// SPDX-License-Identifier: MIT
// One result sent on a worker thread, so the window goes on drawing and answering while the
// exchanges run. The worker touches only its own copies of the inputs and two atomic flags.
#pragma once

#include "platform/HttpClient.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace tw::online {

class ResultSubmission {
public:
    // The service's base address and the waits of a sending; read when a send starts.
    std::string BaseUrl;
    platform::HttpLimits Limits;

    explicit ResultSubmission(std::string baseUrl) : BaseUrl(std::move(baseUrl)) {}
    // Cancels a send still under way and waits for its worker (about a second at most).
    ~ResultSubmission();
    ResultSubmission(const ResultSubmission&) = delete;
    ResultSubmission& operator=(const ResultSubmission&) = delete;

    // Starts sending, with the game's encoded replay when there is one (empty: none); a send
    // still under way is cancelled and waited for first.
    void Start(std::string name, std::uint16_t score, std::string country, std::string replay = {});
    // Once the worker has ended, whether the result was sent, and the send is forgotten; nothing
    // while it runs or when none was started.
    std::optional<bool> TakeOutcome();
    // A send was started and its outcome not yet taken.
    bool Pending() const { return progress_ != nullptr; }
    // Ends a send under way as failed; its outcome is never reported.
    void Cancel();

private:
    // Shared with the worker; the worker never outlives it, since every path joins.
    struct Progress {
        std::atomic<bool> cancelled{false};
        std::atomic<bool> finished{false};
        std::atomic<bool> sent{false};
    };
    std::unique_ptr<Progress> progress_;
    std::thread worker_;
};

} // namespace tw::online
