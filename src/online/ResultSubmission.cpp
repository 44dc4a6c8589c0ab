// SPDX-License-Identifier: MIT
// The worker of a result submission: a fresh session per send, so the cookies of one version check
// go with its own submission only.
#include "online/ResultSubmission.h"

#include "online/SendResult.h"

namespace tw::online {

ResultSubmission::~ResultSubmission() { Cancel(); }

void ResultSubmission::Start(std::string name, std::uint16_t score, std::string country, std::string replay) {
    Cancel();
    progress_ = std::make_unique<Progress>();
    worker_ = std::thread([progress = progress_.get(), base = BaseUrl, limits = Limits, name = std::move(name), score,
                           country = std::move(country), replay = std::move(replay)] {
        bool sent = false;
        try {
            platform::CurlHttpClient http(limits, &progress->cancelled);
            sent = SendResult(http, base, name, score, country, replay);
        } catch (...) {
            sent = false; // no session could be made: as good as no connection
        }
        progress->sent = sent && !progress->cancelled;
        progress->finished = true;
    });
}

std::optional<bool> ResultSubmission::TakeOutcome() {
    if (!progress_ || !progress_->finished) return std::nullopt;
    worker_.join();
    const bool sent = progress_->sent;
    progress_.reset();
    return sent;
}

void ResultSubmission::Cancel() {
    if (!progress_) return;
    progress_->cancelled = true;
    if (worker_.joinable()) worker_.join();
    progress_.reset();
}

} // namespace tw::online
