// The audio mix: sources add up, the sum saturates instead of wrapping, rendering works without a
// device, and the real (dummy) device's callback reaches the sources.
#include "platform/AudioOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using tw::platform::AudioOutput;
using tw::platform::AudioSource;

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
            accum[2 * i] += next_ % 30000;
            accum[2 * i + 1] -= next_ % 30000;
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
    const auto out = render(8);
    for (std::size_t i = 0; i < out.size(); i += 2) {
        EXPECT_EQ(out[i], 3345);
        EXPECT_EQ(out[i + 1], -150);
    }
}

TEST_F(AudioOutputTest, SumSaturatesInsteadOfWrapping) {
    struct Case {
        std::int32_t a, b, expected;
    };
    const Case cases[] = {
        {30000, 30000, 32767}, {-30000, -30000, -32768}, {32767, 1, 32767},
        {-32768, -1, -32768},  {32767, -32768, -1},      {20000, 12767, 32767},
    };
    for (const Case& c : cases) {
        ConstantSource a(c.a, c.a), b(c.b, c.b);
        output().addSource(&a);
        output().addSource(&b);
        const auto out = render(4);
        output().removeSource(&a);
        output().removeSource(&b);
        EXPECT_EQ(out[0], c.expected) << c.a << " + " << c.b;
        EXPECT_EQ(out[7], c.expected) << c.a << " + " << c.b;
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
    const auto out = render(frames);
    for (int i = 0; i < frames; ++i) {
        ASSERT_EQ(out[static_cast<std::size_t>(2 * i)], i % 30000) << "frame " << i;
        ASSERT_EQ(out[static_cast<std::size_t>(2 * i + 1)], -(i % 30000)) << "frame " << i;
    }
}

TEST_F(AudioOutputTest, RemovedSourceIsNoLongerCalled) {
    ConstantSource a(100, 100);
    add(a);
    render(4);
    output().removeSource(&a);
    const int callsBefore = a.calls.load();
    EXPECT_EQ(render(4)[0], 0);
    EXPECT_EQ(a.calls.load(), callsBefore);
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
