// SPDX-License-Identifier: MIT
// Bitmaps written by another encoder (ImageMagick; see tests/fixtures/graphics/independent/make.sh)
// decode to the pixels that encoder itself decodes from them.
#include "graphics/DIB.h"
#include "platform/Png.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

const std::string kDir = std::string(TW_FIXTURES_DIR) + "/graphics/independent/";

TEST(IndependentBitmaps, DecodeLikeTheirEncoder) {
    struct Case {
        const char* name;
        int bitCount;
    };
    for (auto c :
         {Case{"pal1", 1}, Case{"pal4", 4}, Case{"pal8", 8}, Case{"pal8-rle", 8}, Case{"pal8-core", 8},
          Case{"rgb555", 16}, Case{"rgb565", 16}, Case{"rgb24", 24}, Case{"rgb24-core", 24}, Case{"rgb32", 32}}) {
        SCOPED_TRACE(c.name);
        std::ifstream in(kDir + c.name + ".bmp", std::ios::binary);
        ASSERT_TRUE(in) << "missing fixture";
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ByteReader reader(bytes);
        TDIB dib;
        dib.LoadFromBitmapFile(reader);
        EXPECT_EQ(dib.BitCount(), c.bitCount);
        const auto expected = tw::platform::readPng(kDir + c.name + ".png");
        ASSERT_EQ(dib.Width(), expected.width);
        ASSERT_EQ(dib.Height(), expected.height);
        int wrong = 0;
        for (int y = 0; y < dib.Height(); ++y)
            for (int x = 0; x < dib.Width(); ++x) {
                const std::uint32_t want = expected.pixels[static_cast<std::size_t>(y * expected.width + x)] & 0xFFFFFF;
                if (dib.PixelRGB(x, y) != want && wrong++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << dib.PixelRGB(x, y)
                                  << " != " << want;
            }
        EXPECT_EQ(wrong, 0);
    }
}

} // namespace
