// SPDX-License-Identifier: MIT
// The game's two songs, built from their scores, must play for a minute or more and loop in two
// players that know nothing of each other: libxmp (through the game's own XM player) and openmpt123.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Score.h"
#include "XmReader.h"
#include "XmWriter.h"
#include "platform/AudioOutput.h"
#include "platform/XmPlayer.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

struct BuiltSong {
    tw::xm::Module module;
    fs::path file;
    double seconds = 0.0;
};

BuiltSong buildSong(const std::string& number) {
    const fs::path source = fs::path(TW_ASSETS_DIR) / "music" / (number + ".song");
    std::ifstream in(source, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    BuiltSong song;
    song.module = tw::song::buildSong(text.str(), source.string());
    song.seconds = xmtest::songSeconds(song.module);
    // One folder for the whole program's songs, removed when it ends.
    static const tw::test::TempDir dir("tw-songs");
    song.file = dir.path() / (number + ".xm");
    const auto bytes = tw::xm::writeXm(song.module);
    std::ofstream(song.file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return song;
}

// Loudness of each stretch of `window` frames of interleaved stereo 16-bit audio.
std::vector<double> windowRms(const std::vector<std::int16_t>& stereo, std::size_t window) {
    std::vector<double> out;
    for (std::size_t start = 0; start + window <= stereo.size() / 2; start += window) {
        double sum = 0.0;
        for (std::size_t i = 2 * start; i < 2 * (start + window); ++i)
            sum += static_cast<double>(stereo[i]) * stereo[i];
        out.push_back(std::sqrt(sum / static_cast<double>(2 * window)));
    }
    return out;
}

// Every three seconds carry music: no gap, no song that dies after its intro.
void expectNoSilence(const std::vector<std::int16_t>& stereo, int rate, const std::string& what) {
    const auto rms = windowRms(stereo, static_cast<std::size_t>(3 * rate));
    ASSERT_FALSE(rms.empty()) << what;
    for (std::size_t w = 0; w < rms.size(); ++w) EXPECT_GT(rms[w], 300.0) << what << ": silent from " << 3 * w << " s";
}

} // namespace

TEST(Songs, LastAMinuteAndLoopInLibxmp) {
    for (const std::string number : {"1", "2"}) {
        const BuiltSong song = buildSong(number);
        EXPECT_GE(song.seconds, 60.0) << number;
        EXPECT_GT(song.module.restart, 0) << number << ": the loop skips the intro";

        auto xm = tw::platform::XmSong::load(song.file.string());
        ASSERT_TRUE(xm) << "libxmp cannot load " << song.file;
        tw::platform::XmPlayer player;
        ASSERT_TRUE(player.play(*xm));
        const int rate = tw::platform::AudioOutput::instance().sampleRate();
        // The whole song and twelve seconds past its end, where it must have looped.
        const auto frames = static_cast<std::size_t>((song.seconds + 12.0) * rate);
        std::vector<std::int32_t> accum(2 * static_cast<std::size_t>(rate));
        std::vector<std::int16_t> out;
        while (out.size() < 2 * frames) {
            std::fill(accum.begin(), accum.end(), 0);
            player.mixInto(accum.data(), rate);
            for (auto v : accum) out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768, 32767)));
        }
        EXPECT_TRUE(player.isPlaying(*xm));
        expectNoSilence(out, rate, "libxmp, song " + number);
        player.stopAll();
        fs::remove(song.file);
    }
}

TEST(Songs, PlayInOpenMpt) {
    ASSERT_EQ(std::system("openmpt123 --version > /dev/null 2>&1"), 0)
        << "openmpt123 is missing: run scripts/install-deps";
    for (const std::string number : {"1", "2"}) {
        const BuiltSong song = buildSong(number);
        const std::string command =
            "openmpt123 --quiet --render --output-type wav --no-float --samplerate 44100 --force '" +
            song.file.string() + "' > /dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const fs::path wav = song.file.string() + ".wav";
        std::ifstream in(wav, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 44u);
        xmtest::Bytes r(bytes);
        ASSERT_EQ(r.text(4), "RIFF");
        r.u32();
        ASSERT_EQ(r.text(4), "WAVE");
        std::vector<std::int16_t> stereo;
        int channels = 0, bits = 0, rate = 0;
        while (r.pos() + 8 <= bytes.size()) {
            const std::string id = r.text(4);
            const std::uint32_t size = r.u32();
            const std::size_t body = r.pos();
            if (id == "fmt ") {
                r.u16();
                channels = static_cast<int>(r.u16());
                rate = static_cast<int>(r.u32());
                r.u32();
                r.u16();
                bits = static_cast<int>(r.u16());
            } else if (id == "data") {
                for (std::uint32_t i = 0; i + 1 < size && r.pos() + 1 < bytes.size(); i += 2)
                    stereo.push_back(static_cast<std::int16_t>(r.u16()));
            }
            r.seek(body + size + (size & 1));
        }
        ASSERT_EQ(channels, 2);
        ASSERT_EQ(bits, 16);
        ASSERT_EQ(rate, 44100);
        // openmpt plays the order list once: its length is the song's.
        EXPECT_NEAR(static_cast<double>(stereo.size() / 2) / rate, song.seconds, 1.0) << number;
        expectNoSilence(stereo, rate, "openmpt123, song " + number);
        fs::remove(wav);
        fs::remove(song.file);
    }
}
