// SPDX-License-Identifier: MIT
// The audio mix: sources add up, a loud sum is limited instead of wrapping, rendering works without
// a device, and the real (dummy) device's callback reaches the sources.
#include "platform/AudioOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using tw::platform::AudioOutput;
using tw::platform::AudioSource;
using tw::platform::MixLimiter;

// What a source adds shows at the output this many frames later (the limiter's look-ahead).
constexpr int kDelay = MixLimiter::kLookahead;

// Adds the same left and right value to every frame.
class ConstantSource : public AudioSource {
public:
    ConstantSource(std::int32_t left, std::int32_t right) : left_(left), right_(right) {}
    void mixInto(std::int32_t* accum, int frames) override {
        calls.fetch_add(1);
        for (int i = 0; i < frames; ++i) {
            accum[2 * i] += left_;
            accum[2 * i + 1] += right_;
        }
    }
    std::atomic<int> calls{0};

private:
    std::int32_t left_, right_;
};

// Adds a running frame counter, so a gap or repeat between pieces of a long render shows.
class RampSource : public AudioSource {
public:
    void mixInto(std::int32_t* accum, int frames) override {
        for (int i = 0; i < frames; ++i) {
            accum[2 * i] += next_ % 20000; // below the limiter's ceiling: passed on exactly
            accum[2 * i + 1] -= next_ % 20000;
            ++next_;
        }
    }

private:
    std::int32_t next_ = 0;
};

// Every test starts and ends with the device closed and no sources registered by it.
class AudioOutputTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (AudioSource* source : added_) output().removeSource(source);
        output().setRenderOnly(false);
        output().close();
    }
    AudioOutput& output() { return AudioOutput::instance(); }
    void add(AudioSource& source) {
        added_.push_back(&source);
        output().addSource(&source);
    }
    std::vector<std::int16_t> render(int frames) {
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2, 12345);
        output().render(out.data(), frames);
        return out;
    }

private:
    std::vector<AudioSource*> added_;
};

TEST_F(AudioOutputTest, ClosedDeviceRendersSilenceAtTheDefaultRate) {
    EXPECT_FALSE(output().isOpen());
    EXPECT_EQ(output().sampleRate(), 44100);
    for (std::int16_t sample : render(100))
        ASSERT_EQ(sample, 0); // the buffer's old contents are overwritten, not added to
}

TEST_F(AudioOutputTest, SourcesAreSummedPerChannel) {
    ConstantSource a(1000, -200), b(2345, 50);
    add(a);
    add(b);
    add(a); // a second registration of the same source is ignored
    const auto out = render(kDelay + 8);
    for (std::size_t i = 0; i < 2 * kDelay; ++i) ASSERT_EQ(out[i], 0) << "the delay holds silence";
    for (std::size_t i = 2 * kDelay; i < out.size(); i += 2) {
        EXPECT_EQ(out[i], 3345);
        EXPECT_EQ(out[i + 1], -150);
    }
}

TEST_F(AudioOutputTest, LoudSumIsLimitedNeverWrapped) {
    constexpr int C = MixLimiter::kCeiling;
    struct Case {
        std::int32_t a, b, expected, tolerance;
    };
    const Case cases[] = {
        {20000, 5000, 25000, 0},      // under the ceiling: untouched
        {32767, -32768, -1, 0},       // full scale both ways, cancelling
        {30000, 30000, C, 2},         // over full scale: held at the ceiling
        {-30000, -30000, -C, 2},      //
        {20000, 12767, C, 2},         // exactly full scale is over the ceiling too
        {8 * 32767, 8 * 32767, C, 2}, // eight full-scale voices on top of each other
    };
    for (const Case& c : cases) {
        ConstantSource a(c.a, c.a), b(c.b, c.b);
        output().addSource(&a);
        output().addSource(&b);
        const auto out = render(4 * kDelay);
        output().removeSource(&a);
        output().removeSource(&b);
        output().close(); // the next case starts on an empty delay
        for (std::int16_t s : out) ASSERT_LE(std::abs(static_cast<int>(s)), C) << c.a << " + " << c.b;
        EXPECT_NEAR(out[out.size() - 2], c.expected, c.tolerance) << c.a << " + " << c.b;
        EXPECT_NEAR(out[out.size() - 1], c.expected, c.tolerance) << c.a << " + " << c.b;
    }
}

TEST_F(AudioOutputTest, SaturateHelperClipsEachSample) {
    const std::int32_t accum[] = {70000, -70000, 0, 32767, -32768, 32768, -32769};
    std::int16_t out[7] = {};
    tw::platform::saturateToInt16(accum, out, 7);
    const std::int16_t expected[] = {32767, -32768, 0, 32767, -32768, 32767, -32768};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(out[i], expected[i]) << "sample " << i;
}

TEST_F(AudioOutputTest, LongRenderIsContinuousAcrossInternalPieces) {
    RampSource ramp;
    add(ramp);
    const int frames = AudioOutput::kBufferFrames * 3 + 17;
    const auto out = render(kDelay + frames);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(out[static_cast<std::size_t>(2 * (kDelay + i))], i % 20000) << "frame " << i;
        ASSERT_EQ(out[static_cast<std::size_t>(2 * (kDelay + i) + 1)], -(i % 20000)) << "frame " << i;
    }
}

TEST_F(AudioOutputTest, RemovedSourceIsNoLongerCalled) {
    ConstantSource a(100, 100);
    add(a);
    render(4);
    output().removeSource(&a);
    const int callsBefore = a.calls.load();
    EXPECT_EQ(render(kDelay + 4).back(), 0); // once the delay has played out
    EXPECT_EQ(a.calls.load(), callsBefore);
}

TEST_F(AudioOutputTest, RenderOnlyOutputOpensWithoutADeviceAndMixesOnlyWhenAsked) {
    output().setRenderOnly(true);
    ASSERT_TRUE(output().open());
    EXPECT_TRUE(output().isOpen());
    EXPECT_EQ(output().sampleRate(), 44100);
    ConstantSource a(7, 7);
    add(a);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(a.calls.load(), 0) << "something mixed without render()";
    EXPECT_EQ(render(kDelay + 1).back(), 7);
    EXPECT_GT(a.calls.load(), 0);
    output().close();
    EXPECT_FALSE(output().isOpen());
}

TEST_F(AudioOutputTest, OpenDeviceCallsSourcesFromItsCallback) {
    if (!output().open()) GTEST_SKIP() << "no audio device, not even SDL's dummy driver";
    EXPECT_TRUE(output().isOpen());
    EXPECT_TRUE(output().open()); // opening twice keeps the one device
    EXPECT_GE(output().sampleRate(), 8000);
    EXPECT_LE(output().sampleRate(), 48000);
    ConstantSource a(1, 1);
    add(a);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (a.calls.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(a.calls.load(), 0) << "the device callback never mixed the source";
    {
        // While the lock is held the callback cannot run, so the count stays still.
        AudioOutput::Lock lock;
        const int held = a.calls.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(a.calls.load(), held);
    }
    output().close();
    EXPECT_FALSE(output().isOpen());
    EXPECT_EQ(output().sampleRate(), 44100);
}

} // namespace
