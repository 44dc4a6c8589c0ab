// SPDX-License-Identifier: MIT
// Reading, decoding and converting device-independent bitmaps; the palette cache.
#include "graphics/DIB.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

bool validBitCount(int bc) { return bc == 1 || bc == 4 || bc == 8 || bc == 16 || bc == 24 || bc == 32; }

std::uint64_t strideFor(int bitCount, std::int64_t width) {
    return ((static_cast<std::uint64_t>(bitCount) * static_cast<std::uint64_t>(width) + 31) / 32) * 4;
}

// Fills in the size fields; "DIB cannot be made" past `maxPixels`. Width or height 0 or less: empty.
void setDimensions(TDIBSharedImage& img, std::int64_t width, std::int64_t height, std::uint64_t maxPixels) {
    if (width <= 0 || height <= 0) {
        img.width = img.height = img.rowStride = 0;
        img.size = 0;
        return;
    }
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > maxPixels)
        throw EInvalidGraphic("DIB cannot be made");
    const std::uint64_t stride = strideFor(img.bitCount, width);
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(height);
    img.rowStride = static_cast<int>(stride);
    img.size = static_cast<std::size_t>(stride * static_cast<std::uint64_t>(height));
}

// Size fields and a zeroed buffer.
void allocate(TDIBSharedImage& img, std::int64_t width, std::int64_t height) {
    setDimensions(img, width, height, kMaxDIBPixels);
    img.pixels.assign(img.size, 0);
}

// Run-length data can claim a large picture in a few bytes, and the picture (and later its
// surfaces) would be reserved for it. Beyond 1 M pixels a run-length picture must bring at least
// one byte of data per 1024 pixels; a real encoder needs more than one per 256.
std::uint64_t maxRunLengthPixels(std::uint64_t dataBytes) {
    return std::min<std::uint64_t>(kMaxDIBPixels, std::max<std::uint64_t>(1u << 20, dataBytes * 1024));
}

// Channel of a 16-bit pixel scaled to 8 bits by repeating its bits (5 bits abcde become abcdeabc),
// so that 0 stays 0, the top value becomes 255, and the result matches common decoders.
std::uint32_t scaleChannel(std::uint32_t value, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    std::uint32_t c = (value & mask) >> shift;
    if (bits >= 8) return c >> (bits - 8);
    std::uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) out |= (c << (8 - bits)) >> filled;
    return out & 0xFF;
}

std::uint32_t quadToRGB(const TRGBQuad& q) {
    return (static_cast<std::uint32_t>(q.red) << 16) | (static_cast<std::uint32_t>(q.green) << 8) | q.blue;
}

// Run-length decoding. Pixels are addressed from the start of the buffer (line * stride + column),
// as the format intends; so a run past a line's end goes on into the line above, a run or delta
// that leaves the buffer writes nothing more, and decoding stops once the position is above the top
// line, at the end-of-bitmap mark, or where the data runs out. Pixels never written stay index 0.
void decodeRLE(const std::vector<std::uint8_t>& data, TDIBSharedImage& out, bool fourBit) {
    const std::uint64_t size = out.size;
    const std::uint64_t stride = static_cast<std::uint64_t>(out.rowStride);
    std::uint8_t* px = out.pixels.data();
    std::uint64_t x = 0, y = 0;
    std::size_t p = 0;
    const std::size_t n = data.size();
    auto put = [&](std::uint8_t v) {
        if (fourBit) {
            std::uint64_t byte = y * stride + x / 2;
            if (byte < size) {
                if (x % 2 == 0)
                    px[byte] = static_cast<std::uint8_t>((px[byte] & 0x0F) | (v << 4));
                else
                    px[byte] = static_cast<std::uint8_t>((px[byte] & 0xF0) | (v & 0x0F));
            }
        } else {
            std::uint64_t byte = y * stride + x;
            if (byte < size) px[byte] = v;
        }
        ++x;
    };
    while (y < static_cast<std::uint64_t>(out.height) && p + 2 <= n) {
        std::uint8_t count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(fourBit ? static_cast<std::uint8_t>((i % 2 == 0) ? (value >> 4) : (value & 0x0F)) : value);
        } else if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (p + 2 > n) break;
            x += data[p];
            y += data[p + 1];
            p += 2;
        } else {
            std::size_t bytes = fourBit ? (static_cast<std::size_t>(value) + 1) / 2 : value;
            bool truncated = p + bytes > n;
            for (int i = 0; i < value; ++i) {
                std::size_t at = p + (fourBit ? static_cast<std::size_t>(i / 2) : static_cast<std::size_t>(i));
                if (at >= n) break;
                std::uint8_t b = data[at];
                put(fourBit ? static_cast<std::uint8_t>((i % 2 == 0) ? (b >> 4) : (b & 0x0F)) : b);
            }
            if (truncated) break;
            p += bytes;
        }
        if (p % 2 == 1) ++p; // absolute runs are padded to 16 bits
    }
}

std::shared_ptr<TDIBSharedImage> emptyImage() {
    static const std::shared_ptr<TDIBSharedImage> empty = std::make_shared<TDIBSharedImage>();
    return empty;
}

} // namespace

TRGBQuad colorToRGBQuad(std::uint32_t color) {
    return TRGBQuad{static_cast<std::uint8_t>((color >> 16) & 0xFF), static_cast<std::uint8_t>((color >> 8) & 0xFF),
                    static_cast<std::uint8_t>(color & 0xFF), 0};
}

// ---- palette cache ----

TDIBPaletteCache& TDIBPaletteCache::instance() {
    // Never destroyed: images held by other long-lived objects may release palettes during exit.
    static TDIBPaletteCache* cache = new TDIBPaletteCache;
    return *cache;
}

const TDIBPalette* TDIBPaletteCache::Acquire(const TRGBQuad* entries, int count) {
    std::uint32_t checksum = static_cast<std::uint32_t>(count);
    for (int i = 0; i < count; ++i)
        checksum += static_cast<std::uint32_t>(entries[i].blue + entries[i].green + entries[i].red);
    for (auto& slot : slots_) {
        if (slot.checksum != checksum || slot.count != count) continue;
        if (!std::equal(entries, entries + count, slot.palette->entries.begin())) continue;
        ++slot.references;
        return slot.palette.get();
    }
    Slot slot;
    slot.checksum = checksum;
    slot.count = count;
    slot.references = 1;
    slot.palette = std::make_unique<TDIBPalette>();
    slot.palette->entries.assign(entries, entries + count);
    slots_.push_back(std::move(slot));
    return slots_.back().palette.get();
}

void TDIBPaletteCache::Release(const TDIBPalette* palette) {
    for (auto it = slots_.begin(); it != slots_.end(); ++it) {
        if (it->palette.get() != palette) continue;
        if (--it->references == 0) slots_.erase(it);
        return;
    }
}

int TDIBPaletteCache::References(const TDIBPalette* palette) const {
    for (const auto& slot : slots_)
        if (slot.palette.get() == palette) return slot.references;
    return 0;
}

// ---- shared image ----

TDIBSharedImage::~TDIBSharedImage() {
    if (platformPalette_) TDIBPaletteCache::instance().Release(platformPalette_);
}

TDIBSharedImage::TDIBSharedImage(const TDIBSharedImage& o)
    : bitCount(o.bitCount), width(o.width), height(o.height), rowStride(o.rowStride), size(o.size), palette(o.palette),
      pixelFormat(o.pixelFormat), compression(o.compression), inPlainMemory(o.inPlainMemory), pixels(o.pixels) {
    if (o.platformPalette_) AcquirePalette();
}

void TDIBSharedImage::AcquirePalette() {
    if (platformPalette_) {
        TDIBPaletteCache::instance().Release(platformPalette_);
        platformPalette_ = nullptr;
    }
    if (bitCount >= 1 && bitCount <= 8)
        platformPalette_ = TDIBPaletteCache::instance().Acquire(palette.data(), 1 << bitCount);
}

void TDIBSharedImage::Decompress() {
    if (!compressed()) return;
    std::vector<std::uint8_t> data = std::move(pixels);
    pixels.assign(size, 0);
    decodeRLE(data, *this, compression == TDIBCompression::RLE4);
    compression = TDIBCompression::None;
}

// ---- TDIB ----

TDIB::TDIB() : image_(emptyImage()) {}

void TDIB::LoadFromPayload(ByteReader& in, std::size_t pixelOffset) {
    auto img = std::make_shared<TDIBSharedImage>();
    if (in.atEnd()) {
        image_ = img;
        return;
    }
    const std::size_t start = in.position();
    if (in.remaining() < 4) throw EInvalidGraphic("DIB is invalid");
    const std::uint32_t headerSize = in.u32();
    const bool knownSize = headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
                           headerSize == 108 || headerSize == 124;
    if (!knownSize) throw EInvalidGraphic("DIB is invalid");

    std::int64_t width = 0, height = 0;
    int bitCount = 0;
    std::uint32_t compression = 0, imageSize = 0, colorsUsed = 0;
    if (headerSize >= 40) {
        width = in.i32();
        height = in.i32();
        in.u16(); // planes
        bitCount = in.u16();
        compression = in.u32();
        imageSize = in.u32();
        in.u32(); // resolution
        in.u32();
        colorsUsed = in.u32();
        in.u32(); // important colours
    } else {
        width = in.u16();
        height = in.u16();
        in.u16(); // planes
        bitCount = in.u16();
    }

    TDIBPixelFormat format = bitCount == 16 ? kPixelFormat555 : kPixelFormat888;
    if (headerSize >= 52) {
        // The longer headers carry the masks themselves (then alpha, colour space, gamma and
        // the colour profile, none of which a picture on this display uses); they count only
        // with bit-field compression.
        TDIBPixelFormat inHeader;
        inHeader.redMask = in.u32();
        inHeader.greenMask = in.u32();
        inHeader.blueMask = in.u32();
        in.skip(headerSize - 52);
        if (compression == 3) format = inHeader;
    } else if (compression == 3) {
        format.redMask = in.u32();
        format.greenMask = in.u32();
        format.blueMask = in.u32();
    }

    std::uint32_t paletteCount = colorsUsed;
    if (paletteCount == 0 && bitCount <= 8) paletteCount = 1u << bitCount;
    paletteCount = std::min<std::uint32_t>(paletteCount, 256);
    for (std::uint32_t i = 0; i < paletteCount; ++i) {
        auto& e = img->palette[i];
        e.blue = in.u8();
        e.green = in.u8();
        e.red = in.u8();
        e.reserved = headerSize >= 40 ? in.u8() : 0;
    }
    // Some writers leave a gap before the pixels; the file header says where they start.
    if (pixelOffset > in.position() - start) in.skip(pixelOffset - (in.position() - start));

    if (!validBitCount(bitCount)) throw EInvalidGraphic("Bitcount in invalid (" + std::to_string(bitCount) + ")");
    bool formatOk =
        bitCount == 16 ? (format == kPixelFormat555 || format == kPixelFormat565) : format == kPixelFormat888;
    if (!formatOk) throw EInvalidGraphic("PixelFormat in invalid");
    if (compression > 3) throw EInvalidGraphic("DIB is invalid");
    // A run-length compression only makes sense for its own bit count; anything else would be
    // decoded into pixels of another size.
    if ((compression == 1 && bitCount != 8) || (compression == 2 && bitCount != 4))
        throw EInvalidGraphic("DIB is invalid");

    img->bitCount = bitCount;
    img->pixelFormat = format;
    const bool topDown = height < 0;
    const std::int64_t absHeight = topDown ? -height : height;

    if (compression == 0 || compression == 3) {
        // Check the bytes are there before allocating anything for them.
        std::uint64_t need =
            width > 0 && absHeight > 0 ? strideFor(bitCount, width) * static_cast<std::uint64_t>(absHeight) : 0;
        if (need > in.remaining()) throw EReadError("Stream read error");
        allocate(*img, width, absHeight);
        if (img->size > 0) {
            auto data = in.bytes(img->size);
            if (!topDown) {
                std::memcpy(img->pixels.data(), data.data(), img->size);
            } else {
                const std::size_t stride = static_cast<std::size_t>(img->rowStride);
                for (int i = 0; i < img->height; ++i)
                    std::memcpy(img->pixels.data() + static_cast<std::size_t>(img->height - 1 - i) * stride,
                                data.data() + static_cast<std::size_t>(i) * stride, stride);
            }
        }
    } else {
        auto data = in.bytes(imageSize);
        // Only the data is kept; the picture's buffer is made when it is decoded.
        setDimensions(*img, width, absHeight, maxRunLengthPixels(imageSize));
        if (img->size > 0) {
            img->pixels.assign(data.begin(), data.end());
            img->compression = static_cast<TDIBCompression>(compression);
        }
    }
    img->AcquirePalette();
    image_ = std::move(img);
}

void TDIB::LoadFromBitmapFile(ByteReader& in) {
    if (in.atEnd()) return;
    if (in.remaining() < 14) throw EInvalidGraphic("DIB is invalid");
    if (in.u16() != 0x4D42) throw EInvalidGraphic("DIB is invalid");
    in.skip(8); // file size, reserved
    const std::uint32_t pixelsAt = in.u32();
    LoadFromPayload(in, pixelsAt > 14 ? pixelsAt - 14 : 0);
}

void TDIB::SaveToPayload(ByteWriter& out) const {
    if (Empty()) return;
    const TDIBSharedImage& img = decoded();
    const bool masks = img.bitCount == 16 && img.pixelFormat == kPixelFormat565;
    const int paletteCount = img.bitCount <= 8 ? 1 << img.bitCount : 0;
    out.u32(40);
    out.i32(img.width);
    out.i32(img.height);
    out.u16(1);
    out.u16(static_cast<std::uint16_t>(img.bitCount));
    out.u32(masks ? 3 : 0);
    out.u32(static_cast<std::uint32_t>(img.size));
    out.u32(0);
    out.u32(0);
    out.u32(static_cast<std::uint32_t>(paletteCount));
    out.u32(0);
    if (masks) {
        out.u32(img.pixelFormat.redMask);
        out.u32(img.pixelFormat.greenMask);
        out.u32(img.pixelFormat.blueMask);
    }
    for (int i = 0; i < paletteCount; ++i) {
        const auto& e = img.palette[static_cast<std::size_t>(i)];
        out.u8(e.blue);
        out.u8(e.green);
        out.u8(e.red);
        out.u8(e.reserved);
    }
    out.bytes(img.pixels);
}

void TDIB::makePrivate() {
    if (image_.use_count() > 1) image_ = std::make_shared<TDIBSharedImage>(*image_);
}

void TDIB::SetSize(int width, int height, int bitCount) {
    if (!validBitCount(bitCount)) throw EInvalidGraphic("Bitcount in invalid (" + std::to_string(bitCount) + ")");
    auto img = std::make_shared<TDIBSharedImage>();
    img->bitCount = bitCount;
    img->palette = image_->palette;
    img->pixelFormat = image_->pixelFormat;
    if (bitCount == 16 && !(img->pixelFormat == kPixelFormat555 || img->pixelFormat == kPixelFormat565))
        img->pixelFormat = kPixelFormat555;
    if (bitCount != 16) img->pixelFormat = kPixelFormat888;
    allocate(*img, width, height);
    img->AcquirePalette();
    image_ = std::move(img);
}

void TDIB::SetPalette(const TDIBPaletteEntries& palette) {
    makePrivate();
    image_->palette = palette;
    image_->AcquirePalette();
}

void TDIB::SetPixelFormat(const TDIBPixelFormat& format) {
    if (image_->bitCount == 16 ? !(format == kPixelFormat555 || format == kPixelFormat565)
                               : !(format == kPixelFormat888))
        throw EInvalidGraphic("PixelFormat in invalid");
    makePrivate();
    image_->pixelFormat = format;
}

const TDIBSharedImage& TDIB::decoded() const {
    // Decoding changes how the pixels are held, not what they are, so sharers see the same picture.
    if (image_->compressed()) image_->Decompress();
    return *image_;
}

const std::uint8_t* TDIB::ScanLine(int y) const {
    const TDIBSharedImage& img = decoded();
    return img.pixels.data() + static_cast<std::size_t>(img.height - 1 - y) * static_cast<std::size_t>(img.rowStride);
}

std::uint8_t* TDIB::ScanLineForWrite(int y) {
    decoded();
    makePrivate();
    return image_->pixels.data() +
           static_cast<std::size_t>(image_->height - 1 - y) * static_cast<std::size_t>(image_->rowStride);
}

std::uint32_t TDIB::PixelRGB(int x, int y) const {
    std::uint32_t out = 0;
    CopyRectRGB(x, y, 1, 1, &out, 1);
    return out;
}

void TDIB::CopyRectRGB(int left, int top, int width, int height, std::uint32_t* dest, int destPitch) const {
    const TDIBSharedImage& img = decoded();
    std::array<std::uint32_t, 256> pal{};
    if (img.bitCount <= 8)
        for (std::size_t i = 0; i < 256; ++i) pal[i] = quadToRGB(img.palette[i]);
    const auto fmt = img.pixelFormat;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* src = ScanLine(top + row);
        std::uint32_t* d = dest + static_cast<std::ptrdiff_t>(row) * destPitch;
        for (int col = 0; col < width; ++col) {
            const int x = left + col;
            const std::size_t ux = static_cast<std::size_t>(x);
            switch (img.bitCount) {
            case 1: d[col] = pal[(src[ux / 8] >> (7 - ux % 8)) & 1]; break;
            case 4: d[col] = pal[(ux % 2 == 0) ? (src[ux / 2] >> 4) : (src[ux / 2] & 0x0F)]; break;
            case 8: d[col] = pal[src[ux]]; break;
            case 16: {
                std::uint32_t v = static_cast<std::uint32_t>(src[ux * 2] | (src[ux * 2 + 1] << 8));
                d[col] = (scaleChannel(v, fmt.redMask) << 16) | (scaleChannel(v, fmt.greenMask) << 8) |
                         scaleChannel(v, fmt.blueMask);
                break;
            }
            case 24: {
                const std::uint8_t* p = src + ux * 3;
                d[col] = (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
                break;
            }
            default: {
                const std::uint8_t* p = src + ux * 4;
                d[col] = (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
                break;
            }
            }
        }
    }
}
