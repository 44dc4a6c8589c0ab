// SPDX-License-Identifier: MIT
// The mix's safety stage: a stereo look-ahead peak limiter that keeps the sum of every source under
// a ceiling below full scale, so no pile-up of songs and effects can ever clip. The levels of the
// sources are set so that it rarely has anything to do.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace tw::platform {

class MixLimiter {
public:
    // -1 dBFS: room for a resampler's overshoot after us.
    static constexpr std::int32_t kCeiling = 29204;
    // The gain glides down over this many frames before a peak reaches the output, so the peak is
    // turned down without a corner in the waveform; the output is this much late.
    static constexpr int kLookahead = 64;

    explicit MixLimiter(int rate = 44100);

    // Limits `frames` interleaved stereo frames of the accumulator into out (kLookahead frames
    // late). Allocates nothing; every output sample lies within ±kCeiling.
    void process(const std::int32_t* in, std::int16_t* out, int frames);
    // Forgets the delayed frames and the gain (silence in, unity gain), and sets the rate the
    // release is timed by.
    void reset(int rate);

    // How often the stage acted since construction: the times the gain left unity, and the output
    // frames played with a gain below it (the glide down, the peak and the release back up).
    std::uint64_t actions() const { return actions_.load(std::memory_order_relaxed); }
    std::uint64_t limitedFrames() const { return limited_.load(std::memory_order_relaxed); }

private:
    static constexpr int kWindow = kLookahead + 1;
    static constexpr std::int64_t kUnity = std::int64_t{1} << 30; // gains in 2.30 fixed point

    std::array<std::int32_t, 2 * kWindow> delayed_{}; // the last kWindow input frames
    std::array<std::int64_t, kWindow> required_{};    // each frame's largest gain within the ceiling
    std::array<std::int64_t, kWindow> smoothed_{};    // the released gain of each frame
    std::int64_t smoothedSum_ = 0;
    std::int64_t released_ = kUnity;
    std::int64_t releaseStep_ = 0; // fraction of the way back to unity per frame, in 0.32
    int below_ = 0;                // frames in the window that need less than unity
    int pos_ = 0;
    bool acting_ = false;
    std::atomic<std::uint64_t> actions_{0};
    std::atomic<std::uint64_t> limited_{0};
};

} // namespace tw::platform
