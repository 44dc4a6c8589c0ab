// SPDX-License-Identifier: MIT
// Colour values and the text drawing context of a surface: font, brush and pen, text output and
// width, and the outlined rectangle the options screen frames its selection with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Red in the low byte, green in the next, blue in the third. 0xFF0000nn is system colour nn.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080, clNavy = 0x800000,
                 clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF,
                 clLime = 0x00FF00, clYellow = 0x00FFFF, clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00,
                 clWhite = 0xFFFFFF, clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF,
                 clMedGray = 0xA4A0A0, clNone = 0x1FFFFFFF, clDefault = 0x20000000, clBtnFace = 0xFF00000F,
                 clWindow = 0xFF000005;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
// System colours become their current value; the result keeps the low 24 bits (red low).
TColor ColorToRGB(TColor color);
// 0x00RRGGBB device pixel of a colour value.
std::uint32_t ColorToPixel(TColor color);

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;
enum TBrushStyle : std::uint8_t { bsSolid, bsClear };
enum TPenStyle : std::uint8_t { psSolid, psClear };

struct TFont {
    std::string Name = "Arial";
    int Size = 8; // points at 96 dots per inch
    TFontStyles Style = 0;
    TColor Color = clBlack;
    // Em height in pixels: the size scaled from 72 to 96 dots per inch, rounded (16 pt is 21 px).
    int PixelHeight() const;
};

struct TBrush {
    TBrushStyle Style = bsSolid;
    TColor Color = clWhite;
};

struct TPen {
    TPenStyle Style = psSolid;
    TColor Color = clBlack;
    int Width = 1;
};

class TDirectDrawSurface;

class TDirectDrawSurfaceCanvas {
public:
    explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface& surface) : surface_(surface) {}

    TFont Font;
    TBrush Brush;
    TPen Pen;

    // Text of 8-bit characters (the game's Western code page) with its top-left corner at (x, y).
    // A solid brush fills the text's cell first; a clear brush leaves the background.
    void TextOut(int x, int y, std::string_view text);
    int TextWidth(std::string_view text);
    int TextHeight(std::string_view text);
    // Outline with the pen (its width grows inwards and outwards as a centred line does) and, with a
    // solid brush, the inside filled; right and bottom exclusive.
    void Rectangle(int x1, int y1, int x2, int y2);

    // Hands the drawing context back; the surface may then be drawn on or presented.
    void Release();
    bool InUse() const { return inUse_; }

private:
    TDirectDrawSurface& surface_;
    bool inUse_ = false;
};
