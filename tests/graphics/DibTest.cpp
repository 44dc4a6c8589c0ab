// SPDX-License-Identifier: MIT
// Bitmap payloads: layouts, palettes, pixel formats, run-length data, errors and sharing.
#include "DibBuilder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string loadError(const std::vector<std::uint8_t>& bytes) {
    try {
        loadDib(bytes);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Dib, RowStrideAndSize) {
    struct Case {
        int w, h, bc, stride;
        std::size_t size;
    };
    for (auto c : {Case{3, 2, 24, 12, 24}, Case{33, 1, 1, 8, 8}, Case{5, 3, 4, 4, 12}, Case{7, 2, 16, 16, 32},
                   Case{3, 1, 8, 4, 4}, Case{2, 2, 32, 8, 16}}) {
        TDIB dib;
        dib.SetSize(c.w, c.h, c.bc);
        EXPECT_EQ(dib.RowStride(), c.stride) << c.w << "x" << c.h << "x" << c.bc;
        EXPECT_EQ(dib.Size(), c.size) << c.w << "x" << c.h << "x" << c.bc;
    }
    TDIB empty;
    empty.SetSize(0, 5, 8);
    EXPECT_TRUE(empty.Empty());
}

TEST(Dib, NegativeHeightStoresTopLineFirst) {
    // Two 24-bit rows of one pixel: top red, bottom blue.
    std::vector<std::uint8_t> top = {0, 0, 255, 0}, bottom = {255, 0, 0, 0};
    TDIB down = loadDib(dibPayload({.width = 1, .height = -2}, top + bottom));
    TDIB up = loadDib(dibPayload({.width = 1, .height = 2}, bottom + top));
    EXPECT_EQ(down.Height(), 2);
    EXPECT_EQ(down.Image().pixels, up.Image().pixels);
    EXPECT_EQ(down.PixelRGB(0, 0), 0xFF0000u);
    EXPECT_EQ(down.PixelRGB(0, 1), 0x0000FFu);
}

TEST(Dib, PaletteCountRules) {
    // Count 0 on 8 bits reads all 256 entries; the pixel byte follows them.
    TDIB full = loadDib(dibPayload({.bitCount = 8}, rampPalette(256) + std::vector<std::uint8_t>{200, 0, 0, 0}));
    EXPECT_EQ(full.PixelRGB(0, 0), (600u % 256) << 16 | (400u % 256) << 8 | 200u);
    // Count 16 reads 16; the other entries are 0.
    TDIB part = loadDib(
        dibPayload({.bitCount = 8, .colorsUsed = 16}, rampPalette(16) + std::vector<std::uint8_t>{15, 0, 0, 0}));
    EXPECT_EQ(part.PixelRGB(0, 0), (45u << 16) | (30u << 8) | 15u);
    EXPECT_EQ(part.Palette()[16], TRGBQuad{});
    EXPECT_EQ(part.Palette()[255], TRGBQuad{});
    // A palette on a 24-bit image is stepped over: 5 entries, 20 bytes.
    TDIB rgb =
        loadDib(dibPayload({.bitCount = 24, .colorsUsed = 5}, rampPalette(5) + std::vector<std::uint8_t>{1, 2, 3, 0}));
    EXPECT_EQ(rgb.PixelRGB(0, 0), 0x030201u);
    // A count above 256 reads 256.
    TDIB capped = loadDib(
        dibPayload({.bitCount = 8, .colorsUsed = 1000}, rampPalette(256) + std::vector<std::uint8_t>{2, 0, 0, 0}));
    EXPECT_EQ(capped.PixelRGB(0, 0), 0x060402u);
}

TEST(Dib, ShortHeaderHasThreeBytePalette) {
    ByteWriter w;
    w.u32(12);
    w.u16(3); // width
    w.u16(1); // height
    w.u16(1);
    w.u16(1);                                                   // bit count
    w.bytes(std::vector<std::uint8_t>{10, 20, 30, 40, 50, 60}); // two 3-byte entries
    w.bytes(std::vector<std::uint8_t>{0b0100'0000, 0, 0, 0});
    TDIB dib = loadDib(w.take());
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_EQ(dib.PixelRGB(0, 0), 0x1E140Au);
    EXPECT_EQ(dib.PixelRGB(1, 0), 0x3C3228u);
    EXPECT_EQ(dib.Palette()[1].reserved, 0);
}

TEST(Dib, PixelLayoutsOfEveryBitCount) {
    // 1 bit: most significant first.
    TDIB one = loadDib(dibPayload({.width = 9, .bitCount = 1},
                                  rampPalette(2) + std::vector<std::uint8_t>{0b1000'0001, 0b1000'0000, 0, 0}));
    for (int x : {0, 7, 8}) EXPECT_EQ(one.PixelRGB(x, 0), 0x030201u) << x;
    EXPECT_EQ(one.PixelRGB(1, 0), 0u);
    // 4 bits: high nibble first.
    TDIB four =
        loadDib(dibPayload({.width = 3, .bitCount = 4}, rampPalette(16) + std::vector<std::uint8_t>{0x5A, 0x30, 0, 0}));
    EXPECT_EQ(four.PixelRGB(0, 0), 0x0F0A05u);
    EXPECT_EQ(four.PixelRGB(1, 0), (30u << 16) | (20u << 8) | 10u);
    EXPECT_EQ(four.PixelRGB(2, 0), 0x090603u);
    // 16 bits, 5-5-5 by default: 0x7C00 is full red, 0x0018 is blue 11000.
    TDIB rgb555 = loadDib(dibPayload({.width = 2, .bitCount = 16}, {0x00, 0x7C, 0x18, 0x00}));
    EXPECT_EQ(rgb555.PixelFormat(), kPixelFormat555);
    EXPECT_EQ(rgb555.PixelRGB(0, 0), 0xFF0000u);
    EXPECT_EQ(rgb555.PixelRGB(1, 0), 198u); // bits repeated: 11000110
    // 16 bits, 5-6-5 through bit masks: 0x07E0 is full green.
    ByteWriter masks;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) masks.u32(m);
    TDIB rgb565 = loadDib(dibPayload({.width = 2, .bitCount = 16, .compression = 3},
                                     masks.take() + std::vector<std::uint8_t>{0xE0, 0x07, 0x00, 0x04}));
    EXPECT_EQ(rgb565.PixelFormat(), kPixelFormat565);
    EXPECT_EQ(rgb565.PixelRGB(0, 0), 0x00FF00u);
    EXPECT_EQ(rgb565.PixelRGB(1, 0), 130u << 8); // 0x0400: green 100000 becomes 10000010
    // 32 bits: blue, green, red, unused.
    TDIB rgb32 = loadDib(dibPayload({.width = 1, .bitCount = 32}, {0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(rgb32.PixelRGB(0, 0), 0x332211u);
}

TEST(Dib, ErrorsHaveTheirTexts) {
    ByteWriter badMasks;
    for (std::uint32_t m : {0x0F00u, 0x00F0u, 0x000Fu}) badMasks.u32(m);
    const auto bad16 = badMasks.take();
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::string error;
    };
    const Case cases[] = {
        {"three bytes", {40, 0, 0}, "DIB is invalid"},
        {"header size 20", {20, 0, 0, 0}, "DIB is invalid"},
        {"header size 64", longHeaderPayload(64, {}, {}, {1, 2, 3, 0}), "DIB is invalid"},
        {"long header, 16 bits, masks 4-4-4", longHeaderPayload(124, {.bitCount = 16, .compression = 3}, {0x0F00, 0x00F0, 0x000F, 0}, {0, 0, 0, 0}), "PixelFormat in invalid"},
        {"long header cut short", std::vector<std::uint8_t>{124, 0, 0, 0} + std::vector<std::uint8_t>(60), "Stream read error"},
        {"header cut short", {40, 0, 0, 0, 1, 0}, "Stream read error"},
        {"bit count 2", dibPayload({.bitCount = 2}, rampPalette(4) + std::vector<std::uint8_t>{0, 0, 0, 0}), "Bitcount in invalid (2)"},
        {"bit count 0", dibPayload({.bitCount = 0}, rampPalette(1)), "Bitcount in invalid (0)"},
        {"16-bit masks 4-4-4", dibPayload({.bitCount = 16, .compression = 3}, bad16 + std::vector<std::uint8_t>{0, 0, 0, 0}), "PixelFormat in invalid"},
        {"24-bit with 5-6-5 masks", [] { ByteWriter w; for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) w.u32(m); return dibPayload({.bitCount = 24, .compression = 3}, w.take()); }(), "PixelFormat in invalid"},
        {"compression 4", dibPayload({.bitCount = 24, .compression = 4}, {0, 0, 0, 0}), "DIB is invalid"},
        {"RLE8 on 24 bits", dibPayload({.bitCount = 24, .compression = 1}, {}), "DIB is invalid"},
        {"pixels cut short", dibPayload({.width = 3, .height = 2}, std::vector<std::uint8_t>(23)), "Stream read error"},
        {"palette cut short", dibPayload({.bitCount = 8}, rampPalette(10)), "Stream read error"},
        {"lying width, few bytes", dibPayload({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF}, {1, 2, 3}), "Stream read error"},
        {"RLE data size past the end", dibPayload({.width = 4, .bitCount = 8, .compression = 1, .imageSize = 0xFFFFFFF0}, rampPalette(256)), "Stream read error"},
        {"huge run-length picture", dibPayload({.width = 100000, .height = 100000, .bitCount = 8, .compression = 1}, rampPalette(256)), "DIB cannot be made"},
        {"2 M pixels of run-length data in 10 bytes", dibPayload({.width = 2048, .height = 1024, .bitCount = 8, .compression = 1, .imageSize = 10}, rampPalette(256) + std::vector<std::uint8_t>(10)), "DIB cannot be made"},
        {"2 M pixels in 2048 bytes", dibPayload({.width = 2048, .height = 1024, .bitCount = 8, .compression = 1, .imageSize = 2048}, rampPalette(256) + std::vector<std::uint8_t>(2048)), "(no error)"},
        {"1 M pixels in no bytes", dibPayload({.width = 1024, .height = 1024, .bitCount = 4, .compression = 2}, rampPalette(16)), "(no error)"},
    };
    for (const auto& c : cases) EXPECT_EQ(loadError(c.bytes), c.error) << c.what;
}

TEST(Dib, FailedReadKeepsThePreviousImage) {
    TDIB dib = loadDib(dibPayload({.width = 1}, {1, 2, 3, 0}));
    std::vector<std::uint8_t> bad = {20, 0, 0, 0};
    ByteReader in(bad);
    EXPECT_THROW(dib.LoadFromPayload(in), EInvalidGraphic);
    EXPECT_EQ(dib.PixelRGB(0, 0), 0x030201u);
    // And no bytes at all give the empty picture.
    ByteReader none;
    dib.LoadFromPayload(none);
    EXPECT_TRUE(dib.Empty());
}

TEST(Dib, BitmapFileHeader) {
    TDIB dib = loadDib(dibPayload({.width = 1}, {1, 2, 3, 0}));
    ByteReader none;
    dib.LoadFromBitmapFile(none);
    EXPECT_EQ(dib.PixelRGB(0, 0), 0x030201u) << "no bytes leave the picture as it was";
    for (auto bytes : {std::vector<std::uint8_t>{'B', 'M', 0, 0, 0}, std::vector<std::uint8_t>(14, 'X')}) {
        ByteReader in(bytes);
        std::string error = "(no error)";
        try {
            dib.LoadFromBitmapFile(in);
        } catch (const EInvalidGraphic& e) {
            error = e.what();
        }
        EXPECT_EQ(error, "DIB is invalid");
    }
    auto file = std::vector<std::uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0} +
                dibPayload({.width = 1}, {9, 8, 7, 0});
    ByteReader in(file);
    dib.LoadFromBitmapFile(in);
    EXPECT_EQ(dib.PixelRGB(0, 0), 0x070809u);
}

// The longer headers (ImageMagick writes 124 bytes) give the same picture as the 40-byte one; their
// masks count only with bit-field compression, and a file's pixel offset skips a gap.
TEST(Dib, LongHeadersReadLikeTheShortOne) {
    const std::array<std::uint32_t, 4> argb = {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000};
    const std::array<std::uint32_t, 4> rgb565 = {0xF800, 0x07E0, 0x001F, 0};
    const std::vector<std::uint8_t> px24 = {1, 2, 3, 4, 5, 6, 0, 0}, px32 = {1, 2, 3, 0xFF, 4, 5, 6, 0x80};
    const std::vector<std::uint8_t> px16 = {0x1F, 0xF8, 0xE0, 0x07}, px8 = {1, 2, 0, 0};
    struct Case {
        const char* what;
        std::vector<std::uint8_t> longForm, shortForm;
    };
    ByteWriter masks565;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) masks565.u32(m);
    const Case cases[] = {
        {"108, 24 bits, masks ignored", longHeaderPayload(108, {.width = 2, .bitCount = 24}, rgb565, px24),
         dibPayload({.width = 2, .bitCount = 24}, px24)},
        {"124, 32 bits, bit fields with alpha",
         longHeaderPayload(124, {.width = 2, .bitCount = 32, .compression = 3}, argb, px32),
         dibPayload({.width = 2, .bitCount = 32}, px32)},
        {"124, 16 bits 5-6-5", longHeaderPayload(124, {.width = 2, .bitCount = 16, .compression = 3}, rgb565, px16),
         dibPayload({.width = 2, .bitCount = 16, .compression = 3}, masks565.take() + px16)},
        {"124, 16 bits without bit fields", longHeaderPayload(124, {.width = 2, .bitCount = 16}, rgb565, px16),
         dibPayload({.width = 2, .bitCount = 16}, px16)},
        {"56, 8 bits, 3 colours",
         longHeaderPayload(56, {.width = 2, .bitCount = 8, .colorsUsed = 3}, {}, rampPalette(3) + px8),
         dibPayload({.width = 2, .bitCount = 8, .colorsUsed = 3}, rampPalette(3) + px8)},
        {"52, top line first", longHeaderPayload(52, {.width = 2, .height = -2, .bitCount = 24}, {}, px24 + px8 + px8),
         dibPayload({.width = 2, .height = -2, .bitCount = 24}, px24 + px8 + px8)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TDIB a = loadDib(c.longForm), b = loadDib(c.shortForm);
        ASSERT_EQ(a.Width(), b.Width());
        ASSERT_EQ(a.Height(), b.Height());
        EXPECT_EQ(a.BitCount(), b.BitCount());
        EXPECT_EQ(a.PixelFormat(), b.PixelFormat());
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x) EXPECT_EQ(a.PixelRGB(x, y), b.PixelRGB(x, y)) << x << "," << y;
    }

    // A file whose pixels start 6 bytes after its palette (a colour profile between, say).
    auto withOffset = [](std::uint32_t offset, const std::vector<std::uint8_t>& body) {
        ByteWriter w;
        w.u16(0x4D42);
        w.u32(static_cast<std::uint32_t>(14 + body.size()));
        w.u32(0);
        w.u32(offset);
        return w.take() + body;
    };
    const auto header = longHeaderPayload(124, {.width = 2, .bitCount = 24}, {}, {});
    TDIB gap;
    auto file = withOffset(14 + 124 + 6, header + std::vector<std::uint8_t>{9, 9, 9, 9, 9, 9} + px24);
    ByteReader in(file);
    gap.LoadFromBitmapFile(in);
    EXPECT_EQ(gap.PixelRGB(0, 0), 0x030201u);
    EXPECT_EQ(gap.PixelRGB(1, 0), 0x060504u);
    // An offset that points inside the header, or past the end, is not followed / fails cleanly.
    file = withOffset(20, header + px24);
    ByteReader early(file);
    gap.LoadFromBitmapFile(early);
    EXPECT_EQ(gap.PixelRGB(1, 0), 0x060504u);
    file = withOffset(100000, header + px24);
    ByteReader past(file);
    EXPECT_THROW(gap.LoadFromBitmapFile(past), EReadError);
}

// 8-bit run-length data into a 4 x 3 picture whose palette entry i is (3i, 2i, i).
std::vector<std::uint8_t> rle8Payload(const std::vector<std::uint8_t>& data, int width = 4, int height = 3) {
    return dibPayload({.width = width,
                       .height = height,
                       .bitCount = 8,
                       .compression = 1,
                       .imageSize = static_cast<std::uint32_t>(data.size())},
                      rampPalette(256) + data);
}
TDIB rle8(const std::vector<std::uint8_t>& data, int width = 4, int height = 3) {
    return loadDib(rle8Payload(data, width, height));
}

// The palette index of each pixel, top line first.
std::vector<int> indices(const TDIB& dib) {
    std::vector<int> out;
    for (int y = 0; y < dib.Height(); ++y)
        for (int x = 0; x < dib.Width(); ++x) out.push_back(static_cast<int>(dib.PixelRGB(x, y) & 0xFF));
    return out;
}

TEST(Dib, RunLength8) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
        std::vector<int> pixels;
    };
    const Case cases[] = {
        {"runs and end of line", {2, 7, 2, 8, 0, 0, 1, 9, 0, 1}, {0, 0, 0, 0, 9, 0, 0, 0, 7, 7, 8, 8}},
        {"absolute run padded to 16 bits", {0, 3, 1, 2, 3, 0, 1, 4, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}},
        {"delta 5 right 3 up leaves the picture", {0, 2, 5, 3, 1, 9, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"delta 1 right 1 up", {0, 2, 1, 1, 1, 6, 0, 1}, {0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0}},
        {"run past the line end goes on in the line above", {6, 5, 0, 1}, {0, 0, 0, 0, 5, 5, 0, 0, 5, 5, 5, 5}},
        {"run past the top is dropped", {0, 0, 0, 0, 20, 3}, {3, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"no end mark", {1, 4}, {0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0}},
        {"absolute run cut short", {0, 5, 1, 2}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0}},
        {"no data", {}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(indices(rle8(c.data)), c.pixels) << c.what;
}

TEST(Dib, RunLength8DeltaMovesFiveRightThreeUp) {
    TDIB dib = rle8({0, 2, 5, 3, 1, 9, 0, 1}, 8, 5);
    EXPECT_EQ(dib.PixelRGB(5, 1) & 0xFF, 9u); // line 3 from the bottom of 5 is line 1 from the top
}

TEST(Dib, RunLength4) {
    // 5 x 2 picture, palette entry i is (3i, 2i, i).
    const std::vector<std::uint8_t> data = {3, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1};
    TDIB dib = loadDib(dibPayload({.width = 5,
                                   .height = 2,
                                   .bitCount = 4,
                                   .compression = 2,
                                   .imageSize = static_cast<std::uint32_t>(data.size())},
                                  rampPalette(16) + data));
    EXPECT_EQ(indices(dib), (std::vector<int>{10, 11, 12, 0, 0, 1, 2, 1, 0, 0}));
}

TEST(Dib, CopyingSharesUntilChanged) {
    TDIB a = loadDib(dibPayload({.width = 1}, {1, 2, 3, 0}));
    TDIB b = a;
    EXPECT_TRUE(a.SharesImageWith(b));
    b.ScanLineForWrite(0)[0] = 99;
    EXPECT_FALSE(a.SharesImageWith(b));
    EXPECT_EQ(a.PixelRGB(0, 0), 0x030201u);
    EXPECT_EQ(b.PixelRGB(0, 0), 0x030263u);
}

TEST(Dib, PaletteCacheSharesEqualPalettes) {
    auto& cache = TDIBPaletteCache::instance();
    const int before = cache.PaletteCount();
    {
        TDIB a =
            loadDib(dibPayload({.width = 1, .bitCount = 4}, rampPalette(16) + std::vector<std::uint8_t>{0, 0, 0, 0}));
        TDIB b =
            loadDib(dibPayload({.width = 2, .bitCount = 4}, rampPalette(16) + std::vector<std::uint8_t>{0, 0, 0, 0}));
        const TDIBPalette* pa = a.Image().platformPalette();
        ASSERT_NE(pa, nullptr);
        EXPECT_EQ(pa, b.Image().platformPalette());
        EXPECT_EQ(cache.References(pa), 2);
        EXPECT_EQ(pa->version, 0x300);
        EXPECT_EQ(pa->entries.size(), 16u);
        TDIBPaletteEntries other = a.Palette();
        other[3].red = 1;
        b.SetPalette(other);
        EXPECT_NE(b.Image().platformPalette(), pa);
        EXPECT_EQ(cache.References(pa), 1);
        EXPECT_EQ(cache.PaletteCount(), before + 2);
    }
    EXPECT_EQ(cache.PaletteCount(), before) << "the last reference destroys the palette";
}

TEST(Dib, SavedPayloadReadsBackTheSame) {
    ByteWriter masks;
    for (std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) masks.u32(m);
    const std::vector<std::vector<std::uint8_t>> payloads = {
        dibPayload({.width = 9, .height = 2, .bitCount = 1}, rampPalette(2) + std::vector<std::uint8_t>(8, 0xA5)),
        dibPayload({.width = 3, .height = -2, .bitCount = 4},
                   rampPalette(16) + std::vector<std::uint8_t>{0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}),
        rle8Payload({2, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1}),
        dibPayload({.width = 2, .bitCount = 16, .compression = 3},
                   masks.take() + std::vector<std::uint8_t>{1, 2, 3, 4}),
        dibPayload({.width = 1, .height = 2, .bitCount = 32}, {1, 2, 3, 0, 4, 5, 6, 0}),
    };
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        TDIB original = loadDib(payloads[i]);
        ByteWriter out;
        original.SaveToPayload(out);
        TDIB copy = loadDib(out.take());
        EXPECT_EQ(copy.BitCount(), original.BitCount()) << i;
        EXPECT_EQ(copy.PixelFormat(), original.PixelFormat()) << i;
        EXPECT_EQ(indices(copy), indices(original)) << i;
        for (int y = 0; y < copy.Height(); ++y)
            for (int x = 0; x < copy.Width(); ++x) EXPECT_EQ(copy.PixelRGB(x, y), original.PixelRGB(x, y)) << i;
    }
}

} // namespace
