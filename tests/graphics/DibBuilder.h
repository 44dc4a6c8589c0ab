// SPDX-License-Identifier: MIT
// Builds bitmap payloads byte by byte for the tests, so each case shows exactly what the file holds.
#pragma once

#include "core/ByteStream.h"
#include "graphics/DIB.h"

#include <array>
#include <cstdint>
#include <vector>

struct DibHeader {
    std::int32_t width = 1, height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0, imageSize = 0, colorsUsed = 0;
};

inline std::vector<std::uint8_t> dibPayload(const DibHeader& h, const std::vector<std::uint8_t>& afterHeader) {
    ByteWriter w;
    w.u32(40);
    w.i32(h.width);
    w.i32(h.height);
    w.u16(1);
    w.u16(h.bitCount);
    w.u32(h.compression);
    w.u32(h.imageSize);
    w.u32(0);
    w.u32(0);
    w.u32(h.colorsUsed);
    w.u32(0);
    w.bytes(afterHeader);
    return w.take();
}

// The same header in one of the longer forms paint programs write (52, 56, 108 or 124 bytes),
// with red, green, blue and alpha masks inside; the fields after them are zeros.
inline std::vector<std::uint8_t> longHeaderPayload(std::uint32_t size, const DibHeader& h,
                                                   std::array<std::uint32_t, 4> masks,
                                                   const std::vector<std::uint8_t>& afterHeader) {
    auto out = dibPayload(h, {});
    out[0] = static_cast<std::uint8_t>(size);
    ByteWriter w;
    for (std::uint32_t m : masks) w.u32(m);
    auto m = w.take();
    m.resize(size - 40, 0);
    out.insert(out.end(), m.begin(), m.end());
    out.insert(out.end(), afterHeader.begin(), afterHeader.end());
    return out;
}

// n palette entries: entry i is (blue i, green 2i, red 3i).
inline std::vector<std::uint8_t> rampPalette(int n) {
    std::vector<std::uint8_t> p;
    for (int i = 0; i < n; ++i) {
        p.push_back(static_cast<std::uint8_t>(i));
        p.push_back(static_cast<std::uint8_t>(2 * i));
        p.push_back(static_cast<std::uint8_t>(3 * i));
        p.push_back(0);
    }
    return p;
}

inline std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline TDIB loadDib(const std::vector<std::uint8_t>& bytes) {
    ByteReader in(bytes);
    TDIB dib;
    dib.LoadFromPayload(in);
    return dib;
}
