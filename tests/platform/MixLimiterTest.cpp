// SPDX-License-Identifier: MIT
// The mix's limiter: what is under the ceiling passes exactly (only late), anything louder is held
// within the ceiling however far above full scale, and the gain glides instead of jumping.
#include "platform/MixLimiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using tw::platform::MixLimiter;
constexpr int kDelay = MixLimiter::kLookahead;
constexpr int C = MixLimiter::kCeiling;

// `frames` stereo frames of f(frame) on both channels through a fresh limiter, in uneven pieces
// as the device's buffers come.
std::vector<std::int16_t> limit(MixLimiter& limiter, int frames, const std::function<std::int32_t(int)>& f) {
    std::vector<std::int32_t> in(static_cast<std::size_t>(2 * frames));
    for (int i = 0; i < frames; ++i)
        in[static_cast<std::size_t>(2 * i)] = in[static_cast<std::size_t>(2 * i + 1)] = f(i);
    std::vector<std::int16_t> out(in.size());
    for (int done = 0; done < frames;) {
        const int n = std::min(frames - done, 333);
        limiter.process(in.data() + 2 * done, out.data() + 2 * done, n);
        done += n;
    }
    return out;
}

int peakOf(const std::vector<std::int16_t>& out, std::size_t from = 0) {
    int peak = 0;
    for (std::size_t i = from; i < out.size(); ++i) peak = std::max(peak, std::abs(static_cast<int>(out[i])));
    return peak;
}

TEST(MixLimiter, HoldsEveryInputWithinTheCeiling) {
    struct Case {
        std::string name;
        std::function<std::int32_t(int)> input;
        int settledPeakMin, settledPeakMax; // the peak once the gain has settled (after 0.1 s)
        bool acts;
    };
    const auto square = [](int amplitude) {
        return [amplitude](int i) { return (i / 50) % 2 ? amplitude : -amplitude; };
    };
    const Case cases[] = {
        {"silence", [](int) { return 0; }, 0, 0, false},
        {"a quiet sine", [](int i) { return static_cast<std::int32_t>(std::lround(12000 * std::sin(i * 0.05))); },
         11990, 12000, false},
        {"a square just under the ceiling", square(C), C, C, false},
        {"a full-scale square", square(32767), C - 2, C, true},
        {"-32768, the one value past full scale", [](int) { return -32768; }, C - 2, C, true},
        {"eight full-scale squares summed", square(8 * 32767), C - 2, C, true},
        {"far beyond any sum of the game", square(2'000'000'000), C - 2, C, true},
    };
    for (const Case& c : cases) {
        MixLimiter limiter;
        const auto out = limit(limiter, 44100, c.input);
        EXPECT_LE(peakOf(out), C) << c.name;
        const int settled = peakOf(out, 2 * 4410);
        EXPECT_GE(settled, c.settledPeakMin) << c.name;
        EXPECT_LE(settled, c.settledPeakMax) << c.name;
        EXPECT_EQ(limiter.limitedFrames() > 0, c.acts) << c.name;
        EXPECT_EQ(limiter.actions(), c.acts ? 1u : 0u) << c.name << ": the gain stays down while it must";
    }
}

TEST(MixLimiter, PassesWhatIsUnderTheCeilingExactlyOnlyLate) {
    MixLimiter limiter;
    const auto input = [](int i) { return static_cast<std::int32_t>((i * 7919) % (2 * C + 1) - C); };
    const auto out = limit(limiter, 5000, input);
    for (int i = 0; i < kDelay; ++i) ASSERT_EQ(out[static_cast<std::size_t>(2 * i)], 0) << "frame " << i;
    for (int i = kDelay; i < 5000; ++i)
        ASSERT_EQ(out[static_cast<std::size_t>(2 * i)], input(i - kDelay)) << "frame " << i;
    EXPECT_EQ(limiter.limitedFrames(), 0u);
}

TEST(MixLimiter, GainGlidesDownBeforeAPeakAndBackAfterIt) {
    // A steady tone with one loud click on top: the tone around the click is turned down smoothly,
    // reaching the click's gain just as it leaves, and comes back to full level within half a second.
    MixLimiter limiter;
    const int click = 10000;
    const auto input = [](int i) { return i == click ? 4 * C : 10000; };
    const auto out = limit(limiter, 44100, input);
    std::vector<double> gain(out.size() / 2);
    for (std::size_t i = 0; i < gain.size(); ++i)
        gain[i] = static_cast<double>(out[2 * i]) / (static_cast<int>(i) - kDelay == click ? 4 * C : 10000);
    EXPECT_DOUBLE_EQ(gain[click - 1], 1.0) << "the click is not heard before it comes";
    EXPECT_LE(out[2 * (click + kDelay)], C);
    EXPECT_NEAR(gain[click + kDelay], 0.25, 0.001) << "the click itself is just within the ceiling";
    for (std::size_t i = click - 1; i < gain.size() - 1; ++i)
        ASSERT_LE(std::abs(gain[i + 1] - gain[i]), 0.75 / kDelay * 1.05) << "the gain jumps at frame " << i;
    EXPECT_EQ(gain[click + kDelay + 22050], 1.0) << "the level has not come back";
    EXPECT_EQ(limiter.actions(), 1u);
    EXPECT_GT(limiter.limitedFrames(), static_cast<std::uint64_t>(kDelay));
    EXPECT_LT(limiter.limitedFrames(), 22050u);
}

TEST(MixLimiter, ResetForgetsTheDelayedFrames) {
    MixLimiter limiter;
    limit(limiter, 100, [](int) { return 20000; });
    limiter.reset(48000);
    const auto out = limit(limiter, kDelay, [](int) { return 0; });
    EXPECT_EQ(peakOf(out), 0);
}

} // namespace
