// SPDX-License-Identifier: MIT
// Fonts for text on surfaces: a family name resolved through fontconfig, rasterised by SDL_ttf into
// coverage masks (one byte of ink per pixel) that the caller colours and blends itself.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tw::platform {

class FontError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Coverage of rendered text: 0 = no ink, 255 = full ink; rows top to bottom, width bytes a row.
// The top row is the top of the font's line (ascent above the baseline).
struct TextMask {
    int width = 0, height = 0;
    std::vector<std::uint8_t> coverage;
};

enum FontStyle : unsigned { fontBold = 1, fontItalic = 2, fontUnderline = 4, fontStrikeOut = 8 };

// The file of the installed font that best matches family and style ("Arial" gives a metric-compatible
// face such as Liberation Sans). Throws FontError when fontconfig finds nothing.
std::string findFontFile(const std::string& family, bool bold, bool italic);

class Font {
public:
    // pixelHeight is the em height in pixels. Throws FontError when no font can be opened.
    Font(const std::string& family, int pixelHeight, unsigned style);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Text is UTF-8. An empty text is 0 wide and renders to an empty mask.
    int textWidth(std::string_view text) const;
    TextMask render(std::string_view text) const;
    int lineHeight() const; // ascent + descent
    int ascent() const;
    const std::string& file() const { return file_; }

private:
    void* font_ = nullptr; // TTF_Font
    std::string file_;
};

} // namespace tw::platform
