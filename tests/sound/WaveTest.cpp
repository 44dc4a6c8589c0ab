// SPDX-License-Identifier: MIT
// The RIFF WAVE reader and writer, and the PCM formats the sound device accepts.
#include "WaveBuilder.h"

#include "core/ByteStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

const std::vector<std::uint8_t> kFmt = makePcmFormat(1, 16, 22050);
const std::vector<std::uint8_t> kData = {1, 2, 3, 4, 5, 6};

TEST(Wave, WriterOutputReadsBackWithExactLayout) {
    TWave w;
    w.SetFormat(kFmt);
    w.SetData(kData);
    auto bytes = w.SaveToBytes();
    ASSERT_EQ(bytes.size(), 12u + 8u + kFmt.size() + 8u + kData.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    std::uint32_t riffSize = 0;
    for (int i = 3; i >= 0; --i) riffSize = (riffSize << 8) | bytes[static_cast<std::size_t>(4 + i)];
    EXPECT_EQ(riffSize, bytes.size() - 8);
    EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "fmt ");
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");

    TWave r;
    r.LoadFromBytes(bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(r.Format().begin(), r.Format().end()), kFmt);
    EXPECT_EQ(std::vector<std::uint8_t>(r.Data().begin(), r.Data().end()), kData);
}

struct GoodCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> data;
};

TEST(Wave, ChunkRulesOfTheReader) {
    const std::vector<std::uint8_t> fmt2 = makePcmFormat(2, 8, 11025);
    const std::vector<GoodCase> cases = {
        {"another chunk before fmt is stepped over",
         WaveBuilder().chunk("LIST", {9, 9, 9, 9}).chunk("fmt ", kFmt).chunk("data", kData).bytes, kFmt, kData},
        {"a later fmt and data replace earlier ones",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", {7, 7}).chunk("fmt ", fmt2).chunk("data", kData).bytes, fmt2,
         kData},
        {"no data chunk: empty wave", WaveBuilder().chunk("fmt ", kFmt).bytes, kFmt, {}},
        {"no fmt chunk: empty format", WaveBuilder().chunk("data", kData).bytes, {}, kData},
        {"data before fmt", WaveBuilder().chunk("data", kData).chunk("fmt ", kFmt).bytes, kFmt, kData},
        {"odd chunk with its pad byte before fmt",
         WaveBuilder().chunk("junk", {1, 2, 3}, true).chunk("fmt ", kFmt).chunk("data", kData).bytes, kFmt, kData},
        {"odd data chunk last, no pad",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", {1, 2, 3}).bytes,
         kFmt,
         {1, 2, 3}},
        {"a stray partial header at the end reads as the end",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", kData).raw({'x', 'y', 'z'}).bytes, kFmt, kData},
        {"a chunk stepped past the end ends the list",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", kData).chunkSized("junk", 1000, {1}).bytes, kFmt, kData},
        {"a zero id ends the list, whatever follows",
         WaveBuilder().chunk("fmt ", kFmt).raw({0, 0, 0, 0, 4, 0, 0, 0}).chunk("data", kData).bytes,
         kFmt,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWave w;
        w.LoadFromBytes(c.bytes);
        EXPECT_EQ(std::vector<std::uint8_t>(w.Format().begin(), w.Format().end()), c.format);
        EXPECT_EQ(std::vector<std::uint8_t>(w.Data().begin(), w.Data().end()), c.data);
    }
}

struct BadCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    const char* message;
};

TEST(Wave, DamagedBlocksFailAndKeepTheWave) {
    const std::vector<BadCase> cases = {
        {"not RIFF", WaveBuilder("RIFX").chunk("fmt ", kFmt).bytes, "Wave is invalid"},
        {"not WAVE", WaveBuilder("RIFF", "AVI ").chunk("fmt ", kFmt).bytes, "Wave is invalid"},
        {"shorter than the header", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}, "Wave is invalid"},
        {"empty", {}, "Wave is invalid"},
        {"data cut short", WaveBuilder().chunk("fmt ", kFmt).chunkSized("data", 100, kData).bytes, "Stream read error"},
        {"data size lying by 4 GB", WaveBuilder().chunk("fmt ", kFmt).chunkSized("data", 0xFFFFFFFF, kData).bytes,
         "Stream read error"},
        {"fmt cut short", WaveBuilder().chunkSized("fmt ", 0xFFFFFFF0, kFmt).bytes, "Stream read error"},
        {"data header at the very end with a size",
         WaveBuilder().chunk("fmt ", kFmt).raw({'d', 'a', 't', 'a', 5}).bytes, "Stream read error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TWave w;
        w.SetFormat(kFmt);
        w.SetData(kData);
        try {
            w.LoadFromBytes(c.bytes);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), c.message);
            bool rightClass = std::string(c.message) == "Wave is invalid"
                                  ? dynamic_cast<const EWaveStreamError*>(&e) != nullptr
                                  : dynamic_cast<const EReadError*>(&e) != nullptr;
            EXPECT_TRUE(rightClass);
        }
        EXPECT_EQ(w.Size(), kData.size());
        EXPECT_EQ(w.FormatSize(), kFmt.size());
    }
}

TEST(Wave, PcmFormatsTheDeviceConverts) {
    auto extensible = [](int channels, int bits, std::uint8_t subTag) {
        auto f = makePcmFormat(channels, bits, 48000);
        f[0] = 0xFE;
        f[1] = 0xFF;
        f.resize(40, 0);
        f[16] = 22;
        f[24] = subTag;
        const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        std::copy(std::begin(tail), std::end(tail), f.begin() + 26);
        return f;
    };
    auto with = [](std::vector<std::uint8_t> f, std::size_t at, std::uint16_t v) {
        f[at] = static_cast<std::uint8_t>(v & 0xFF);
        f[at + 1] = static_cast<std::uint8_t>(v >> 8);
        return f;
    };
    auto cut = [](std::vector<std::uint8_t> f, std::size_t n) {
        f.resize(n);
        return f;
    };
    auto floats = [&](int channels, int bits) { return with(makePcmFormat(channels, bits, 44100), 0, 3); };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> block;
        const char* why; // nullptr: converted
    } cases[] = {
        {"8-bit mono 11025", makePcmFormat(1, 8, 11025), nullptr},
        {"16-bit stereo 48000", makePcmFormat(2, 16, 48000), nullptr},
        {"24-bit mono", makePcmFormat(1, 24, 44100), nullptr},
        {"32-bit stereo", makePcmFormat(2, 32, 44100), nullptr},
        {"float 32", floats(2, 32), nullptr},
        {"float 64", floats(1, 64), nullptr},
        {"extensible PCM 24-bit, 6 channels", extensible(6, 24, 1), nullptr},
        {"extensible float", extensible(2, 32, 3), nullptr},
        {"20 valid bits in 3 bytes", with(makePcmFormat(1, 24, 44100), 14, 20), nullptr},
        {"ADPCM tag", with(makePcmFormat(1, 16, 22050), 0, 2), "format tag 0x0002 is neither PCM nor floating point"},
        {"extensible ADPCM", extensible(2, 16, 2), "its extensible sub-format is neither PCM nor floating point"},
        {"extensible cut short", cut(extensible(2, 16, 1), 30), "its extensible format block of 30 bytes is too short"},
        {"float 16", floats(1, 16), "16-bit floating point samples in 2-byte containers cannot be played"},
        {"more bits than the container", with(makePcmFormat(1, 16, 22050), 14, 24),
         "24-bit samples in 2-byte containers cannot be played"},
        {"5-byte containers", with(with(makePcmFormat(1, 16, 22050), 12, 5), 14, 40),
         "40-bit samples in 5-byte containers cannot be played"},
        {"block align disagrees", with(makePcmFormat(2, 16, 22050), 12, 3), "block align 3 does not fit 2 channels"},
        {"no channels", makePcmFormat(0, 16, 22050), "0 channels cannot be played (1 to 64)"},
        {"65 channels", makePcmFormat(65, 16, 22050), "65 channels cannot be played (1 to 64)"},
        {"rate 0", makePcmFormat(1, 16, 0), "a rate of 0 Hz cannot be played (100 to 200000)"},
        {"too short", std::vector<std::uint8_t>(14, 1), "its format block of 14 bytes is too short"},
        {"no format", {}, "the wave has no format"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string why;
        EXPECT_EQ(parsePcmFormat(c.block, &why).has_value(), c.why == nullptr);
        if (c.why) {
            EXPECT_EQ(why, c.why);
            EXPECT_THROW(playablePcmFormat(c.block), EWaveFormatError);
        }
    }
    auto p = parsePcmFormat(extensible(6, 24, 3 /* float needs 32 */));
    EXPECT_FALSE(p);
    p = parsePcmFormat(with(makePcmFormat(1, 24, 44100), 14, 20));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->bitsPerSample, 24) << "the container, not the valid bits, says how to read a sample";
    p = parsePcmFormat(extensible(6, 32, 3));
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->isFloat);
    EXPECT_EQ(p->channels, 6);
    EXPECT_EQ(p->samplesPerSec, 48000);
    EXPECT_EQ(p->blockAlign, 24);
}

} // namespace
