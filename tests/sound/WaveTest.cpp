// The RIFF WAVE reader and writer, and the PCM formats the sound device accepts.
#include "WaveBuilder.h"

#include "core/ByteStream.h"

#include <gtest/gtest.h>

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
        {"odd data chunk last, no pad", WaveBuilder().chunk("fmt ", kFmt).chunk("data", {1, 2, 3}).bytes, kFmt, {1, 2, 3}},
        {"a stray partial header at the end reads as the end",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", kData).raw({'x', 'y', 'z'}).bytes, kFmt, kData},
        {"a chunk stepped past the end ends the list",
         WaveBuilder().chunk("fmt ", kFmt).chunk("data", kData).chunkSized("junk", 1000, {1}).bytes, kFmt, kData},
        {"a zero id ends the list, whatever follows",
         WaveBuilder().chunk("fmt ", kFmt).raw({0, 0, 0, 0, 4, 0, 0, 0}).chunk("data", kData).bytes, kFmt, {}},
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
        {"data header at the very end with a size", WaveBuilder().chunk("fmt ", kFmt).raw({'d', 'a', 't', 'a', 5}).bytes,
         "Stream read error"},
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
            bool rightClass = std::string(c.message) == "Wave is invalid" ? dynamic_cast<const EWaveStreamError*>(&e) != nullptr
                                                                          : dynamic_cast<const EReadError*>(&e) != nullptr;
            EXPECT_TRUE(rightClass);
        }
        EXPECT_EQ(w.Size(), kData.size());
        EXPECT_EQ(w.FormatSize(), kFmt.size());
    }
}

TEST(Wave, PcmFormatsTheDevicePlays) {
    auto extensible = [](int tagInGuid) {
        auto f = makePcmFormat(2, 16, 48000);
        f[0] = 0xFE;
        f[1] = 0xFF;
        f.resize(40, 0);
        f[16] = 22;
        f[24] = static_cast<std::uint8_t>(tagInGuid);
        return f;
    };
    auto withTag = [](std::vector<std::uint8_t> f, std::size_t at, std::uint8_t v) {
        f[at] = v;
        return f;
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> block;
        bool ok;
    } cases[] = {
        {"8-bit mono 11025", makePcmFormat(1, 8, 11025), true},
        {"16-bit stereo 48000", makePcmFormat(2, 16, 48000), true},
        {"extensible PCM", extensible(1), true},
        {"extensible float", extensible(3), false},
        {"ADPCM tag", withTag(makePcmFormat(1, 16, 22050), 0, 2), false},
        {"three channels", withTag(makePcmFormat(1, 16, 22050), 2, 3), false},
        {"24 bits", withTag(makePcmFormat(1, 16, 22050), 14, 24), false},
        {"block align disagrees", withTag(makePcmFormat(2, 16, 22050), 12, 3), false},
        {"rate 0", makePcmFormat(1, 16, 0), false},
        {"too short", std::vector<std::uint8_t>(14, 1), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parsePcmFormat(c.block).has_value(), c.ok);
    }
    auto p = parsePcmFormat(makePcmFormat(2, 8, 11025));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->channels, 2);
    EXPECT_EQ(p->bitsPerSample, 8);
    EXPECT_EQ(p->samplesPerSec, 11025);
    EXPECT_EQ(p->blockAlign, 2);
}

} // namespace
