// SPDX-License-Identifier: MIT
// PNG reading and writing through libpng's simplified interface.
#include "platform/Png.h"

#include <png.h>

#include <cstring>

namespace tw::platform {

namespace {

PngImage finishRead(png_image& image, const std::string& what) {
    image.format = PNG_FORMAT_BGRA; // bytes B, G, R, A: one little-endian 0xAARRGGBB word a pixel
    PngImage out;
    if (image.width > 32768 || image.height > 32768) {
        png_image_free(&image);
        throw PngError(what + ": picture too large (" + std::to_string(image.width) + " x " +
                       std::to_string(image.height) + ")");
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        std::string msg = image.message;
        png_image_free(&image);
        throw PngError(what + ": " + msg);
    }
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        const png_byte* p = buffer.data() + i * 4;
        out.pixels[i] = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    return out;
}

} // namespace

PngImage readPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw PngError("Cannot read PNG \"" + path + "\": " + image.message);
    return finishRead(image, "Cannot read PNG \"" + path + "\"");
}

PngImage readPngFromMemory(const std::uint8_t* data, std::size_t size) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        throw PngError(std::string("Cannot read PNG data: ") + image.message);
    return finishRead(image, "Cannot read PNG data");
}

void writePng(const std::string& path, const std::uint32_t* pixels, int width, int height, int pitchInPixels,
              bool withAlpha) {
    if (width <= 0 || height <= 0) throw PngError("Cannot write PNG \"" + path + "\": empty picture");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const std::size_t channels = withAlpha ? 4 : 3;
    std::vector<png_byte> buffer(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * channels);
    png_byte* d = buffer.data();
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * pitchInPixels;
        for (int x = 0; x < width; ++x) {
            std::uint32_t v = row[x];
            *d++ = static_cast<png_byte>((v >> 16) & 0xFF);
            *d++ = static_cast<png_byte>((v >> 8) & 0xFF);
            *d++ = static_cast<png_byte>(v & 0xFF);
            if (withAlpha) *d++ = static_cast<png_byte>(v >> 24);
        }
    }
    if (!png_image_write_to_file(&image, path.c_str(), 0, buffer.data(), 0, nullptr))
        throw PngError("Cannot write PNG \"" + path + "\": " + image.message);
}

} // namespace tw::platform
