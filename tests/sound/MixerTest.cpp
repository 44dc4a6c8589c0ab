// SPDX-License-Identifier: MIT
// The mixer by numbers: conversion to the device layout, sums, pan, volume, frequency, saturation.
#include "WaveBuilder.h"

#include "sound/SoundMixer.h"
#include "sound/SoundOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

namespace {

constexpr int kRate = 44100;

std::shared_ptr<const SampleData> constant(int frames, std::int16_t value, int rate = kRate) {
    TWave w = constantWave(1, rate, frames, value);
    return convertToDevice(*parsePcmFormat(w.Format()), w.Data(), kRate);
}

std::vector<std::int16_t> render(TManualSoundOutput& out, int frames) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * 2);
    out.Render(pcm.data(), frames);
    return pcm;
}

TEST(Mixer, ConvertsEveryPcmLayoutToStereo16) {
    // 8-bit unsigned mono: 0 -> -32768, 128 -> 0, 255 -> 32512; both channels the same.
    auto d8 = convertToDevice({1, 8, kRate, 1}, std::vector<std::uint8_t>{0, 128, 255}, kRate);
    EXPECT_EQ(d8->frameCount, 3u);
    EXPECT_EQ(d8->frames, (std::vector<std::int16_t>{-32768, -32768, 0, 0, 32512, 32512}));
    // 16-bit stereo keeps both channels apart; the partial last frame is dropped.
    auto bytes = pcm16({100, -200, 300, -400});
    bytes.push_back(7);
    auto d16 = convertToDevice({2, 16, kRate, 4}, bytes, kRate);
    EXPECT_EQ(d16->frames, (std::vector<std::int16_t>{100, -200, 300, -400}));
    // 8-bit stereo.
    auto d8s = convertToDevice({2, 8, kRate, 2}, std::vector<std::uint8_t>{0, 255}, kRate);
    EXPECT_EQ(d8s->frames, (std::vector<std::int16_t>{-32768, 32512}));
}

std::vector<std::uint8_t> le(std::initializer_list<std::uint64_t> values, int bytes) {
    std::vector<std::uint8_t> out;
    for (auto v : values)
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}

std::uint64_t bitsOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

std::uint64_t bitsOf(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

TEST(Mixer, ConvertsWideLayoutsAndMixesDownChannels) {
    struct Case {
        const char* what;
        PcmFormat format;
        std::vector<std::uint8_t> bytes;
        std::vector<std::int16_t> frames;
    } cases[] = {
        // 24 and 32 bits keep their top 16 bits.
        {"24-bit",
         {1, 24, kRate, 3},
         le({0x7FFFFF, 0x800000, 0x012345, 0xFFFFFF}, 3),
         {32767, 32767, -32768, -32768, 0x0123, 0x0123, -1, -1}},
        {"32-bit stereo",
         {2, 32, kRate, 8},
         le({0x7FFFFFFF, 0x80000000, 0x00010000, 0xFFFF0000}, 4),
         {32767, -32768, 1, -1}},
        // Floats beyond -1..1 clip; a NaN is silence.
        {"float",
         {2, 32, kRate, 8, true},
         le({bitsOf(0.5f), bitsOf(-1.0f), bitsOf(3.0f), bitsOf(std::numeric_limits<float>::quiet_NaN())}, 4),
         {16384, -32767, 32767, 0}},
        {"double", {1, 64, kRate, 8, true}, le({bitsOf(-0.25), bitsOf(-7.5)}, 8), {-8192, -8192, -32767, -32767}},
        // A third channel goes to both sides at half weight, and the sum is scaled back by 2/3.
        {"three channels",
         {3, 16, kRate, 6},
         pcm16({300, 600, 900, -32768, -32768, -32768}),
         {500, 700, -32768, -32768}},
        {"six channels", {6, 16, kRate, 12}, pcm16({600, 0, 0, 0, 0, 0, 0, 0, 600, 600, 600, 600}), {200, 0, 400, 400}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto d = convertToDevice(c.format, c.bytes, kRate);
        EXPECT_EQ(d->frames, c.frames);
    }
}

// Waves SoX wrote in wider layouts come out as SoX's own 16-bit export of them says (within its
// rounding); six channels mix down as above.
TEST(Mixer, WideWavesFromSoxMatchItsSixteenBitExport) {
    const std::string dir = TW_FIXTURES_DIR "/sound/sox-wide/";
    for (const char* name : {"s24_mono", "s32_stereo", "f32_stereo", "f64_mono", "s16_six"}) {
        SCOPED_TRACE(name);
        TWave w;
        w.LoadFromFile(dir + name + ".wav");
        const PcmFormat f = playablePcmFormat(w.Format());
        auto d = convertToDevice(f, w.Data(), f.samplesPerSec);
        std::ifstream in(dir + name + ".raw", std::ios::binary);
        std::vector<std::uint8_t> raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::size_t channels = static_cast<std::size_t>(f.channels);
        ASSERT_EQ(raw.size(), static_cast<std::size_t>(d->frameCount) * channels * 2);
        auto ref = [&](std::size_t frame, std::size_t c) {
            const std::size_t at = (frame * channels + c) * 2;
            return static_cast<std::int16_t>(raw[at] | (raw[at + 1] << 8));
        };
        int loud = 0;
        for (std::size_t i = 0; i < d->frameCount; ++i) {
            std::int64_t l = ref(i, 0), r = channels > 1 ? ref(i, 1) : l;
            if (channels > 2) {
                std::int64_t rest = 0;
                for (std::size_t c = 2; c < channels; ++c) rest += ref(i, c);
                l = (2 * l + rest) / static_cast<std::int64_t>(channels);
                r = (2 * r + rest) / static_cast<std::int64_t>(channels);
            }
            EXPECT_NEAR(d->frames[2 * i], static_cast<double>(l), 1) << i;
            EXPECT_NEAR(d->frames[2 * i + 1], static_cast<double>(r), 1) << i;
            if (std::abs(l) > 4000) ++loud;
        }
        EXPECT_GT(loud, 10) << "the fixture holds a signal, not silence";
    }
}

TEST(Mixer, ConvertsTheRateOnceAtLoad) {
    // 11025 Hz to 44100 Hz: four device frames per wave frame, linearly in between.
    auto up = convertToDevice({1, 16, 11025, 2}, pcm16({0, 400}), kRate);
    ASSERT_EQ(up->frameCount, 8u);
    EXPECT_EQ(up->frames[0], 0);
    EXPECT_EQ(up->frames[2], 100);
    EXPECT_EQ(up->frames[4], 200);
    EXPECT_EQ(up->frames[6], 300);
    EXPECT_EQ(up->frames[8], 400);
    // 48000 Hz to 44100 Hz: one second stays one second.
    auto down = convertToDevice({1, 16, 48000, 2}, pcm16(std::vector<std::int16_t>(48000, 5)), kRate);
    EXPECT_EQ(down->frameCount, 44100u);
    EXPECT_EQ(down->frames[2 * 44099], 5);
}

TEST(Mixer, TwoVoicesSumAndAVoiceStopsAtItsEnd) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    SoundVoice a(mixer, constant(4, 1000));
    SoundVoice b(mixer, constant(2, -300));
    a.Play(false);
    b.Play(false);
    EXPECT_EQ(mixer.PlayingCount(), 2);
    auto pcm = render(out, 3);
    EXPECT_EQ(mixer.PlayingCount(), 1);
    const auto rest = render(out, 3);
    pcm.insert(pcm.end(), rest.begin(), rest.end());
    EXPECT_EQ(pcm, (std::vector<std::int16_t>{700, 700, 700, 700, 1000, 1000, 1000, 1000, 0, 0, 0, 0}));
    EXPECT_FALSE(a.Playing());
    EXPECT_FALSE(b.Playing());
    EXPECT_EQ(mixer.PlayingCount(), 0);
    EXPECT_EQ(mixer.VoiceCount(), 2);
}

TEST(Mixer, CopiesStartedTogetherAreHeardOnceStartedApartBoth) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    auto data = convertToDevice({1, 16, kRate, 2}, pcm16({100, 200, 300, 400, 500, 600}), kRate);
    auto left = [&](int frames) {
        const auto pcm = render(out, frames);
        std::vector<std::int16_t> l;
        for (std::size_t i = 0; i < pcm.size(); i += 2) l.push_back(pcm[i]);
        return l;
    };
    // Two copies started in the same frame (a bonus taken twice at once) sound as one, and both
    // stay busy as copies.
    SoundVoice a(mixer, data), b(mixer, data), c(mixer, data), louder(mixer, data);
    a.Play(false);
    b.Play(false);
    EXPECT_EQ(left(2), (std::vector<std::int16_t>{100, 200}));
    EXPECT_TRUE(a.Playing());
    EXPECT_TRUE(b.Playing());
    // A copy started later is heard beside them, and so is one at another volume.
    c.Play(false);
    louder.SetVolume(-600); // half the level
    louder.SetPosition(4);  // bytes: frame 2, where a and b are
    louder.Play(false);
    EXPECT_EQ(left(2), (std::vector<std::int16_t>{300 + 100 + 150, 400 + 200 + 200}));
    EXPECT_EQ(mixer.PlayingCount(), 4);
}

TEST(Mixer, LoopedVoiceWrapsAndDuplicatesShareSamples) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    TWave w;
    w.SetFormat(makePcmFormat(1, 16, kRate));
    w.SetData(pcm16({1, 2, 3}));
    auto data = convertToDevice(*parsePcmFormat(w.Format()), w.Data(), kRate);
    SoundVoice a(mixer, data);
    SoundVoice copy(mixer, a.Data());
    EXPECT_EQ(a.Data().get(), copy.Data().get());
    a.Play(true);
    auto pcm = render(out, 7);
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i < pcm.size(); i += 2) left.push_back(pcm[i]);
    EXPECT_EQ(left, (std::vector<std::int16_t>{1, 2, 3, 1, 2, 3, 1}));
    EXPECT_TRUE(a.Playing());

    // At twice the wave's rate every other sample sounds, and the loop still wraps; at half the
    // rate the frames in between are interpolated, towards the first frame again at the wrap.
    a.Stop();
    SoundVoice fast(mixer, data);
    fast.SetFrequency(2 * kRate);
    fast.Play(true);
    pcm = render(out, 4);
    EXPECT_EQ(pcm[0], 1);
    EXPECT_EQ(pcm[2], 3);
    EXPECT_EQ(pcm[4], 2);
    EXPECT_EQ(pcm[6], 1);
    fast.Stop();
    SoundVoice slow(mixer, data);
    slow.SetFrequency(kRate / 2);
    slow.Play(true);
    pcm = render(out, 7);
    left.clear();
    for (std::size_t i = 0; i < pcm.size(); i += 2) left.push_back(pcm[i]);
    EXPECT_EQ(left, (std::vector<std::int16_t>{1, 1, 2, 2, 3, 2, 1}));
}

TEST(Mixer, PanAndVolumeAttenuateInHundredthsOfDecibels) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    SoundVoice v(mixer, constant(100, 10000));
    v.Play(false);
    struct Case {
        int pan, volume;
        int left, right;
    } cases[] = {
        {0, 0, 10000, 10000},     {0, -600, 5011, 5011}, // -6 dB: half the amplitude, near enough
        {-10000, 0, 10000, 0},                           // hard left
        {10000, 0, 0, 10000},                            // hard right
        {2000, 0, 1000, 10000},                          // right by 20 dB: left at a tenth
        {-2000, -600, 5011, 501}, {0, -10000, 0, 0},     // silence
        {0, 500, 10000, 10000},                          // louder than full is full
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pan " << c.pan << " volume " << c.volume);
        v.SetPan(c.pan);
        v.SetVolume(c.volume);
        auto pcm = render(out, 1);
        EXPECT_NEAR(pcm[0], c.left, 1);
        EXPECT_NEAR(pcm[1], c.right, 1);
    }
}

TEST(Mixer, FrequencyChangesTheSpeed) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    TWave w;
    w.SetFormat(makePcmFormat(1, 16, 22050));
    w.SetData(pcm16(std::vector<std::int16_t>(2205, 1000))); // 0.1 s
    SoundVoice v(mixer, convertToDevice(*parsePcmFormat(w.Format()), w.Data(), kRate));
    EXPECT_EQ(v.Frequency(), 22050);
    v.SetFrequency(44100); // twice the wave's own rate: done in half the time
    EXPECT_EQ(v.Frequency(), 44100);
    v.Play(false);
    render(out, 2200);
    EXPECT_TRUE(v.Playing());
    render(out, 10);
    EXPECT_FALSE(v.Playing());
    // 0 is the wave's own rate again: 4410 device frames.
    v.SetFrequency(0);
    v.SetPosition(0);
    v.Play(false);
    render(out, 4400);
    EXPECT_TRUE(v.Playing());
    render(out, 20);
    EXPECT_FALSE(v.Playing());
}

TEST(Mixer, PositionCountsBytesOfTheWavesOwnFormat) {
    SoundMixer mixer(kRate);
    TWave w;
    w.SetFormat(makePcmFormat(2, 16, 11025));
    w.SetData(pcm16(std::vector<std::int16_t>(2 * 1000, 1)));
    SoundVoice v(mixer, convertToDevice(*parsePcmFormat(w.Format()), w.Data(), kRate));
    v.SetPosition(400); // frame 100 of the wave, 400 device frames
    EXPECT_EQ(v.Position(), 400u);
    v.SetPosition(1u << 30); // beyond the end: at the end
    EXPECT_EQ(v.Position(), 4000u);
}

TEST(Mixer, LoudVoicesSaturateInsteadOfWrapping) {
    TManualSoundOutput out;
    SoundMixer mixer(kRate);
    out.Attach(&mixer);
    SoundVoice a(mixer, constant(2, 30000));
    SoundVoice b(mixer, constant(2, 30000));
    SoundVoice c(mixer, constant(1, -32768));
    SoundVoice d(mixer, constant(1, -32768));
    a.Play(false);
    b.Play(false);
    auto pcm = render(out, 2);
    EXPECT_EQ(pcm[0], 32767);
    EXPECT_EQ(pcm[3], 32767);
    c.Play(false);
    d.Play(false);
    pcm = render(out, 1);
    EXPECT_EQ(pcm[0], -32768);
}

TEST(Mixer, ThroughTheAudioDeviceAsOneSource) {
    // The device's own mix (no device opened: render is what its callback does).
    auto& device = tw::platform::AudioOutput::instance();
    SoundMixer mixer(device.sampleRate());
    SoundVoice a(mixer, constant(8, 20000));
    SoundVoice b(mixer, constant(8, 20000));
    a.Play(false);
    b.Play(false);
    device.addSource(&mixer);
    constexpr int delay = tw::platform::MixLimiter::kLookahead;
    std::vector<std::int16_t> pcm(2 * (delay + 8));
    device.render(pcm.data(), delay + 8);
    device.removeSource(&mixer);
    device.close();
    // Both voices are heard, their sum held within the limiter's ceiling.
    EXPECT_NEAR(pcm[2 * delay], tw::platform::MixLimiter::kCeiling, 2);
    EXPECT_NEAR(pcm[2 * delay + 15], tw::platform::MixLimiter::kCeiling, 2);
}

} // namespace
