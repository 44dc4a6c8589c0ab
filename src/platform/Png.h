// SPDX-License-Identifier: MIT
// PNG files: reading any PNG into 0xAARRGGBB pixels and writing pixels back out.
// The collection tool, the screenshot writer and the tests use it; only this file knows libpng.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::platform {

class PngError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PngImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, rows top to bottom, width pixels a row
};

// Any colour type and bit depth is expanded to 8-bit RGBA; throws PngError with the path in the text.
PngImage readPng(const std::string& path);
PngImage readPngFromMemory(const std::uint8_t* data, std::size_t size);

// pixels are 0xAARRGGBB (alpha ignored unless withAlpha, then written as RGBA); throws PngError.
void writePng(const std::string& path, const std::uint32_t* pixels, int width, int height, int pitchInPixels,
              bool withAlpha);

} // namespace tw::platform
