// SPDX-License-Identifier: MIT
// The look-ahead limiter of the mix (see MixLimiter.h).
//
// Each frame's required gain (the largest that keeps it within the ceiling) enters a window of
// kLookahead + 1 frames. The released gain follows the window's smallest required gain down at once
// and climbs back towards unity with a 50 ms time constant; the gain applied is the average of the
// released gains over the window, applied to the frame leaving the delay. Every released gain in
// that average was taken while the leaving frame was in the window, so none exceeds what that frame
// requires, and the average cannot either: the ceiling holds exactly, with no corner in the gain.
#include "platform/MixLimiter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tw::platform {

MixLimiter::MixLimiter(int rate) { reset(rate); }

void MixLimiter::reset(int rate) {
    delayed_.fill(0);
    required_.fill(kUnity);
    smoothed_.fill(kUnity);
    smoothedSum_ = kUnity * kWindow;
    released_ = kUnity;
    below_ = 0;
    pos_ = 0;
    acting_ = false;
    const double perFrame = 1.0 - std::exp(-1.0 / (0.05 * std::max(rate, 1000)));
    releaseStep_ = std::llround(perFrame * 4294967296.0);
}

void MixLimiter::process(const std::int32_t* in, std::int16_t* out, int frames) {
    std::uint64_t limited = 0, actions = 0;
    for (int f = 0; f < frames; ++f) {
        const std::int64_t left = in[2 * f], right = in[2 * f + 1];
        const std::int64_t peak = std::max(std::llabs(left), std::llabs(right));
        const std::int64_t need = peak > kCeiling ? kCeiling * kUnity / peak : kUnity;

        const auto at = static_cast<std::size_t>(pos_);
        if (required_[at] < kUnity) --below_;
        required_[at] = need;
        if (need < kUnity) ++below_;
        std::int64_t lowest = kUnity;
        if (below_ > 0)
            for (std::int64_t r : required_) lowest = std::min(lowest, r);

        released_ += ((kUnity - released_) * releaseStep_) >> 32;
        // The last 0.004 dB in one step, so the gain does come back to exactly unity.
        if (kUnity - released_ < kUnity / 2048) released_ = kUnity;
        released_ = std::min(released_, lowest);
        smoothedSum_ += released_ - smoothed_[at];
        smoothed_[at] = released_;
        const std::int64_t gain = smoothedSum_ / kWindow;

        delayed_[2 * at] = in[2 * f];
        delayed_[2 * at + 1] = in[2 * f + 1];
        pos_ = (pos_ + 1) % kWindow;
        const auto oldest = static_cast<std::size_t>(pos_); // the frame kLookahead frames back
        for (std::size_t c = 0; c < 2; ++c) {
            const std::int64_t v = delayed_[2 * oldest + c] * gain / kUnity;
            out[2 * f + static_cast<int>(c)] =
                static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -kCeiling, kCeiling));
        }
        if (gain < kUnity) {
            ++limited;
            if (!acting_) ++actions;
        }
        acting_ = gain < kUnity;
    }
    if (limited) limited_.fetch_add(limited, std::memory_order_relaxed);
    if (actions) actions_.fetch_add(actions, std::memory_order_relaxed);
}

} // namespace tw::platform
