// SPDX-License-Identifier: MIT
// Device-independent bitmaps: TDIB and its reference-counted TDIBSharedImage, the reader of the
// bitmap payload (every bit count and compression), run-length decoding, and the palette cache.
#pragma once

#include "core/ByteStream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// "DIB is invalid", "Bitcount in invalid (%d)", "PixelFormat in invalid", "Bitmap image is not valid",
// "DIB cannot be made".
class EInvalidGraphic : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A palette entry as stored: blue, green, red, reserved.
struct TRGBQuad {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    bool operator==(const TRGBQuad&) const = default;
};
using TDIBPaletteEntries = std::array<TRGBQuad, 256>;

// Colour value (red in the low byte) to a palette entry, reserved 0.
TRGBQuad colorToRGBQuad(std::uint32_t color);

struct TDIBPixelFormat {
    std::uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
    bool operator==(const TDIBPixelFormat&) const = default;
};
inline constexpr TDIBPixelFormat kPixelFormat555{0x7C00, 0x03E0, 0x001F};
inline constexpr TDIBPixelFormat kPixelFormat565{0xF800, 0x07E0, 0x001F};
inline constexpr TDIBPixelFormat kPixelFormat888{0xFF0000, 0x00FF00, 0x0000FF};

// The platform palette of images of 8 bits or less: one per distinct palette, shared through a
// process-wide cache.
struct TDIBPalette {
    std::uint16_t version = 0x300;
    std::vector<TRGBQuad> entries;
};

class TDIBPaletteCache {
public:
    static TDIBPaletteCache& instance();
    // A palette equal to `entries[0..count)`: an existing one with one more reference, or a new one.
    const TDIBPalette* Acquire(const TRGBQuad* entries, int count);
    // Drops one reference; the palette is destroyed with the last.
    void Release(const TDIBPalette* palette);
    int PaletteCount() const { return static_cast<int>(slots_.size()); }
    int References(const TDIBPalette* palette) const;

private:
    struct Slot {
        std::uint32_t checksum = 0;
        int count = 0;
        int references = 0;
        std::unique_ptr<TDIBPalette> palette;
    };
    std::vector<Slot> slots_;
};

enum class TDIBCompression : std::uint32_t { None = 0, RLE8 = 1, RLE4 = 2, BitFields = 3 };

class TDIBSharedImage {
public:
    TDIBSharedImage() = default;
    ~TDIBSharedImage();
    TDIBSharedImage(const TDIBSharedImage& other); // a private copy (takes its own palette reference)
    TDIBSharedImage& operator=(const TDIBSharedImage&) = delete;

    int bitCount = 0;
    int width = 0, height = 0; // height is always positive here
    int rowStride = 0;         // ((bitCount * width + 31) / 32) * 4
    std::size_t size = 0;      // rowStride * height
    TDIBPaletteEntries palette{};
    TDIBPixelFormat pixelFormat{};
    TDIBCompression compression = TDIBCompression::None; // RLE8/RLE4: `pixels` is undecoded data
    bool inPlainMemory = true;
    std::vector<std::uint8_t> pixels; // bottom line first

    bool compressed() const { return compression == TDIBCompression::RLE8 || compression == TDIBCompression::RLE4; }
    // Decodes run-length data in place of the buffer (no-op otherwise).
    void Decompress();
    // Takes a palette reference for images of 8 bits or less (no-op above).
    void AcquirePalette();
    const TDIBPalette* platformPalette() const { return platformPalette_; }

private:
    const TDIBPalette* platformPalette_ = nullptr;
};

// The largest picture we are willing to hold (16 M pixels, e.g. 4096 x 4096), so that a lying
// run-length header cannot make us reserve gigabytes for it and for the surfaces made from it.
inline constexpr std::uint64_t kMaxDIBPixels = 16u * 1024u * 1024u;

class TDIB {
public:
    TDIB();
    TDIB(const TDIB& other) = default; // shares the image
    TDIB& operator=(const TDIB& other) = default;

    // The bitmap layout of a "TDIB" payload (no file header): the 12- and 40-byte headers, and the
    // longer ones with the colour masks inside (52, 56, 108 and 124 bytes; the last two are what
    // most paint programs write today). `pixelOffset`, when it lies beyond the palette, is where
    // the pixels start, counted from the header's first byte. On an error the previous image stays.
    void LoadFromPayload(ByteReader& in, std::size_t pixelOffset = 0);
    // A bitmap file: 14-byte header starting "BM" (its pixel offset honoured), then the same
    // layout. No bytes at all: unchanged.
    void LoadFromBitmapFile(ByteReader& in);
    // Writes the payload layout: 40-byte header, the palette (8 bits or less), uncompressed pixels.
    void SaveToPayload(ByteWriter& out) const;

    // A new empty image of this size and bit count, keeping the palette and pixel format.
    // Width or height 0 or less gives the empty picture.
    void SetSize(int width, int height, int bitCount);
    void SetPalette(const TDIBPaletteEntries& palette);
    void SetPixelFormat(const TDIBPixelFormat& format);

    bool Empty() const { return image_->width <= 0 || image_->height <= 0; }
    int Width() const { return image_->width; }
    int Height() const { return image_->height; }
    int BitCount() const { return image_->bitCount; }
    int RowStride() const { return image_->rowStride; }
    std::size_t Size() const { return image_->size; }
    const TDIBPaletteEntries& Palette() const { return image_->palette; }
    const TDIBPixelFormat& PixelFormat() const { return image_->pixelFormat; }
    const TDIBSharedImage& Image() const { return *image_; }
    bool SharesImageWith(const TDIB& other) const { return image_ == other.image_; }

    // Row y (0 = top line) of the decoded pixels.
    const std::uint8_t* ScanLine(int y) const;
    std::uint8_t* ScanLineForWrite(int y); // makes the image private first
    // Colour of a pixel as 0x00RRGGBB.
    std::uint32_t PixelRGB(int x, int y) const;
    // The rectangle's pixels as 0x00RRGGBB into dest (pitch in pixels); the rectangle must lie inside.
    void CopyRectRGB(int left, int top, int width, int height, std::uint32_t* dest, int destPitch) const;

private:
    const TDIBSharedImage& decoded() const;
    void makePrivate();

    std::shared_ptr<TDIBSharedImage> image_;
};
