// SPDX-License-Identifier: MIT
// The sound-effect synthesiser: its description reader, what it renders, and the WAVs it writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SoundDesc.h"
#include "SoundFolder.h"
#include "sound/Wave.h"
#include "support/TempDir.h"

using namespace tw::synth;

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// Upward zero crossings of a stretch of samples: the number of cycles of a plain tone.
int cycles(const std::vector<float>& s, std::size_t from, std::size_t to) {
    int n = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        if (s[i - 1] < 0.0f && s[i] >= 0.0f) ++n;
    return n;
}

float loudest(const std::vector<float>& s, std::size_t from, std::size_t to) {
    float m = 0.0f;
    for (std::size_t i = from; i < to; ++i) m = std::max(m, std::fabs(s[i]));
    return m;
}

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(SfxSynth, NoteNames) {
    const std::pair<const char*, int> cases[] = {{"C-4", 48},  {"C4", 48},  {"C#4", 49}, {"Db4", 49}, {"A-4", 57},
                                                 {"B-0", 11},  {"c-5", 60}, {"Cb0", -1}, {"H-4", -1}, {"C-", -1},
                                                 {"C-10", -1}, {"C?4", -1}, {"", -1}};
    for (const auto& [text, note] : cases) EXPECT_EQ(parseNoteName(text), note) << text;
    EXPECT_DOUBLE_EQ(noteFrequency(57), 440.0);
    EXPECT_NEAR(noteFrequency(48), 261.626, 0.001);
}

TEST(SfxSynth, BadDescriptionsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"wave sine\nlayer\n", "x.sfx:1: unknown keyword 'wave'"},
        {"layer\n  wave organ\n", "x.sfx:2: unknown wave 'organ'"},
        {"layer\n  freq abc\n", "x.sfx:2: not a number: 'abc'"},
        {"layer\n  env 0:1 x\n", "x.sfx:2: envelope point needs time:level"},
        {"layer\n  env 0.2:1 0.1:0\n", "x.sfx:2: envelope times must not go back"},
        {"rate 100\nlayer\n", "x.sfx:1: sample rate out of range"},
        {"layer\n  notes 0.1 C-4 Q9\n", "x.sfx:2: unknown note 'Q9'"},
        {"layer\n  lowpass 500 q\n", "x.sfx:2: 'lowpass' needs 3 value(s)"},
        {"# only a comment\n", "x.sfx: no layer"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_THAT([&] { parseSound(text, "x.sfx"); }, ThrowsMessage<SynthError>(HasSubstr(message)))
            << "accepted: " << text;
    }
}

TEST(SfxSynth, CommentsStartOnlyAtAWord) {
    const auto d = parseSound("layer  # the tone\n  notes 0.1 F#4 Bb3 # two notes\n", "x.sfx");
    ASSERT_EQ(d.layers.size(), 1u);
    EXPECT_EQ(d.layers[0].notes, (std::vector<int>{54, 46}));
}

TEST(SfxSynth, PitchFollowsFrequencyAndNotes) {
    // One second at 1000 Hz, then a melody of A-4 for half a second and A-5 for the other half.
    auto tone = renderSound(parseSound("rate 8000\nlayer\n  freq 1000\n  length 1\n", "t"));
    ASSERT_EQ(tone.size(), 8000u);
    EXPECT_NEAR(cycles(tone, 0, tone.size()), 1000, 2);

    auto melody = renderSound(parseSound("rate 44100\nlayer\n  notes 0.5 A-4 A-5\n", "t"));
    ASSERT_EQ(melody.size(), 44100u);
    EXPECT_NEAR(cycles(melody, 0, 22050), 220, 2);
    EXPECT_NEAR(cycles(melody, 22050, 44100), 440, 2);

    // A rest is silent; the sound around it is not.
    auto rest = renderSound(parseSound("rate 8000\nlayer\n  notes 0.1 A-4 . A-4\n", "t"));
    EXPECT_GT(loudest(rest, 0, 800), 0.5f);
    EXPECT_EQ(loudest(rest, 820, 1580), 0.0f);
    EXPECT_GT(loudest(rest, 1600, 2400), 0.5f);
}

TEST(SfxSynth, RenderingIsDeterministicAndSeeded) {
    const std::string text =
        "seed 4\nlength 0.2\nlayer\n  wave noise\n  lowpass 2000 -> 300\nlayer\n  freq 300 -> 90 exp\n";
    const auto a = renderSound(parseSound(text, "t"));
    EXPECT_EQ(a, renderSound(parseSound(text, "t")));
    std::string reseeded = text;
    reseeded.replace(reseeded.find("seed 4"), 6, "seed 5");
    EXPECT_NE(a, renderSound(parseSound(reseeded, "t")));
    // Normalised to the requested peak, starting and ending without a click.
    EXPECT_NEAR(loudest(a, 0, a.size()), 0.8f, 1e-6f);
    EXPECT_LT(std::fabs(a.front()), 0.01f);
    EXPECT_LT(std::fabs(a.back()), 0.01f);
}

TEST(SfxSynth, WavIsPlainPcmTheGameReads) {
    const std::vector<float> samples = {0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f};
    const auto bytes = encodeWav(samples, 22050);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[4] | bytes[5] << 8 | bytes[6] << 16, static_cast<int>(bytes.size()) - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");

    TWave wave;
    wave.LoadFromBytes(bytes);
    const auto format = parsePcmFormat(wave.Format());
    ASSERT_TRUE(format.has_value());
    EXPECT_EQ(format->channels, 1);
    EXPECT_EQ(format->bitsPerSample, 16);
    EXPECT_EQ(format->samplesPerSec, 22050);
    ASSERT_EQ(wave.Size(), 12u);
    const auto data = wave.Data();
    auto sample = [&](std::size_t i) { return static_cast<std::int16_t>(data[2 * i] | data[2 * i + 1] << 8); };
    const std::int16_t expected[] = {0, 16384, -16384, 32767, -32767, 32767}; // out of range clips
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(sample(i), expected[i]) << i;
}

TEST(SfxSynth, EveryGameSoundRendersCleanly) {
    const char* names[] = {"bonus",   "fishdie", "herodieair", "herodiefish", "herogun",
                           "heronet", "looser",  "menu",       "nextlevel"};
    for (const char* name : names) {
        const auto path = std::filesystem::path(TW_ASSETS_DIR) / "sounds" / (std::string(name) + ".sfx");
        ASSERT_TRUE(std::filesystem::exists(path)) << path;
        const auto desc = parseSound(readText(path), path.string());
        const auto s = renderSound(desc);
        const double seconds = static_cast<double>(s.size()) / desc.sampleRate;
        EXPECT_GT(seconds, 0.05) << name;
        EXPECT_LT(seconds, 3.0) << name; // effects, not songs
        // Normalised to the level the mix gives it, which is never so low that it is lost.
        EXPECT_NEAR(loudest(s, 0, s.size()), desc.peak, 0.001) << name;
        EXPECT_GE(desc.peak, 0.2) << name;
        EXPECT_LT(std::fabs(s.back()), 0.01f) << name;
    }
}

TEST(SfxSynth, ABrokenSourceLeavesTheLastGoodWavAlone) {
    namespace fs = std::filesystem;
    const tw::test::TempDir tmp("tw-sfx-broken");
    const fs::path& dir = tmp.path();
    std::ofstream(dir / "blip.sfx") << "length 0.01\nlayer\n  freq 800\n";
    renderSoundFolder(dir / "out", {dir / "blip.sfx"});
    const std::string good = readText(dir / "out" / "blip.wav");
    ASSERT_GT(good.size(), 44u);

    std::ofstream(dir / "blip.sfx", std::ios::trunc) << "length 0.01\nlayer\n  freq 800 ->\n";
    EXPECT_THAT([&] { renderSoundFolder(dir / "out", {dir / "blip.sfx"}); },
                ThrowsMessage<SynthError>(HasSubstr("blip.sfx:3: '->' needs an end value")))
        << "accepted a broken sweep";
    EXPECT_EQ(readText(dir / "out" / "blip.wav"), good);
    EXPECT_FALSE(fs::exists(dir / "out" / "blip.wav.tmp"));
}
