// SPDX-License-Identifier: MIT
// Colour conversion and the text canvas of a surface. Text is drawn every frame, so fonts and the
// rendered masks of strings are kept in a cache shared by all canvases; each text or rectangle is a
// paint of the surface, holding everything it draws with, so a repeated frame is not drawn again.
#include "graphics/Canvas.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <tuple>

#include "graphics/Surface.h"
#include "platform/Font.h"

namespace {

// The usual desktop values of the system colours, by index.
constexpr std::array<TColor, 31> kSystemColors = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
    RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
    RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(0, 120, 215),
    RGB(240, 240, 240)};

// The code page's 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<char16_t, 32> kCp1252High = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                                  0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

std::string toUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        char32_t cp = b;
        if (b >= 0x80 && b < 0xA0) cp = kCp1252High[b - 0x80u];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

using FontKey = std::tuple<std::string, int, unsigned>; // family, em pixels, style

struct CachedText {
    tw::platform::TextMask mask;
    int width = 0;
};

// Fonts stay open for the run (the game uses two sizes); rendered strings are dropped in bulk when
// there are too many of them, which only a screen of ever-changing texts would cause. A paint not yet
// landed keeps its string.
struct CanvasCache {
    std::map<FontKey, std::unique_ptr<tw::platform::Font>> fonts;
    std::map<std::pair<FontKey, std::string>, std::shared_ptr<const CachedText>> texts;
};
CanvasCache cache;
constexpr std::size_t kMaxCachedTexts = 512;

FontKey keyOf(const TFont& font) { return {font.Name, font.PixelHeight(), static_cast<unsigned>(font.Style)}; }

tw::platform::Font& fontFor(const FontKey& key) {
    auto it = cache.fonts.find(key);
    if (it == cache.fonts.end())
        it = cache.fonts
                 .emplace(key,
                          std::make_unique<tw::platform::Font>(std::get<0>(key), std::get<1>(key), std::get<2>(key)))
                 .first;
    return *it->second;
}

const std::shared_ptr<const CachedText>& textFor(const TFont& font, std::string_view text) {
    FontKey key = keyOf(font);
    auto id = std::make_pair(key, std::string(text));
    auto it = cache.texts.find(id);
    if (it != cache.texts.end()) return it->second;
    if (cache.texts.size() >= kMaxCachedTexts) cache.texts.clear();
    tw::platform::Font& f = fontFor(key);
    std::string utf8 = toUtf8(text);
    auto entry = std::make_shared<CachedText>();
    entry->mask = f.render(utf8);
    entry->width = f.textWidth(utf8);
    return cache.texts.emplace(std::move(id), std::move(entry)).first->second;
}

// The pixels a paint is handed.
struct Pixels {
    std::uint32_t* data;
    int width, height;
    std::uint32_t* row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * width; }
};

// Solid fill of a rectangle, clipped to the pixels.
void fillRect(const Pixels& p, int l, int t, int r, int b, std::uint32_t pixel) {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, p.width);
    b = std::min(b, p.height);
    for (int y = t; y < b && l < r; ++y) std::fill(p.row(y) + l, p.row(y) + r, pixel);
}

// The text's coverage mask blended in the ink's colour, its top-left corner at (x, y).
void blendText(const Pixels& p, int x, int y, const tw::platform::TextMask& m, std::uint32_t ink) {
    const int l = std::max(x, 0), tp = std::max(y, 0);
    const int r = std::min(x + m.width, p.width), b = std::min(y + m.height, p.height);
    if (l >= r || tp >= b) return;
    const std::uint32_t ir = (ink >> 16) & 0xFF, ig = (ink >> 8) & 0xFF, ib = ink & 0xFF;
    for (int row = tp; row < b; ++row) {
        std::uint32_t* dst = p.row(row) + l;
        const std::uint8_t* cov = m.coverage.data() +
                                  static_cast<std::size_t>(row - y) * static_cast<std::size_t>(m.width) +
                                  static_cast<std::size_t>(l - x);
        for (int c = 0; c < r - l; ++c) {
            const std::uint32_t a = cov[c];
            if (a == 0) continue;
            if (a == 255) {
                dst[c] = ink;
                continue;
            }
            const std::uint32_t d = dst[c];
            const std::uint32_t dr = (d >> 16) & 0xFF, dg = (d >> 8) & 0xFF, db = d & 0xFF;
            const std::uint32_t nr = (ir * a + dr * (255 - a) + 127) / 255;
            const std::uint32_t ng = (ig * a + dg * (255 - a) + 127) / 255;
            const std::uint32_t nb = (ib * a + db * (255 - a) + 127) / 255;
            dst[c] = (nr << 16) | (ng << 8) | nb;
        }
    }
}

int int32(std::int64_t v) { return static_cast<int>(v); }
std::uint32_t pixel32(std::int64_t v) { return static_cast<std::uint32_t>(v); }

// values: x, y, solid brush, ink, brush colour, cell height; object: the rendered text.
void paintText(const TDirectDrawSurface::TPaint& paint, std::uint32_t* pixels, int width, int height) {
    const auto& v = paint.values;
    const auto* text = static_cast<const CachedText*>(paint.object.get());
    const Pixels p{pixels, width, height};
    const int x = int32(v[0]), y = int32(v[1]);
    if (v[2] != 0) fillRect(p, x, y, x + text->width, y + int32(v[5]), pixel32(v[4]));
    blendText(p, x, y, text->mask, pixel32(v[3]));
}

// values: x1, y1, x2, y2, pen width (0: no pen), pen colour, solid brush, brush colour.
void paintRectangle(const TDirectDrawSurface::TPaint& paint, std::uint32_t* pixels, int width, int height) {
    const auto& v = paint.values;
    const Pixels p{pixels, width, height};
    const int x1 = int32(v[0]), y1 = int32(v[1]), x2 = int32(v[2]), y2 = int32(v[3]), w = int32(v[4]);
    // The outline is a line of the pen's width centred on the border pixels (x1..x2-1, y1..y2-1).
    const int a = w / 2;
    const int ol = x1 - a, ot = y1 - a, orr = x2 - 1 + (w - a), ob = y2 - 1 + (w - a);
    const int il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    if (v[6] != 0) fillRect(p, il, it, ir, ib, pixel32(v[7]));
    if (w == 0) return;
    const std::uint32_t pen = pixel32(v[5]);
    fillRect(p, ol, ot, orr, it, pen); // top band
    fillRect(p, ol, ib, orr, ob, pen); // bottom band
    fillRect(p, ol, it, il, ib, pen);  // left band
    fillRect(p, ir, it, orr, ib, pen); // right band
}

} // namespace

TColor ColorToRGB(TColor color) {
    if ((color & 0xFF000000u) == 0xFF000000u) {
        const std::uint32_t index = color & 0xFFu;
        return index < kSystemColors.size() ? kSystemColors[index] : 0;
    }
    return color & 0x00FFFFFFu;
}

std::uint32_t ColorToPixel(TColor color) {
    const TColor c = ColorToRGB(color);
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

int TFont::PixelHeight() const {
    // Points at 96 dots per inch, rounded to the nearest pixel as the desktop does (16 -> 21, 38 -> 51).
    const int size = std::abs(Size);
    return (size * 96 + 36) / 72;
}

void TDirectDrawSurfaceCanvas::TextOut(int x, int y, std::string_view text) {
    inUse_ = true;
    if (text.empty() || surface_.IsEmpty()) return;
    const bool solid = Brush.Style == bsSolid;
    const int cellHeight = solid ? fontFor(keyOf(Font)).lineHeight() : 0;
    // The rendered text stands for the font and the string: the cache hands out one per pair.
    surface_.Paint({paintText,
                    {x, y, solid, ColorToPixel(Font.Color), solid ? ColorToPixel(Brush.Color) : 0, cellHeight},
                    textFor(Font, text)});
}

int TDirectDrawSurfaceCanvas::TextWidth(std::string_view text) {
    inUse_ = true;
    if (text.empty()) return 0;
    return textFor(Font, text)->width;
}

int TDirectDrawSurfaceCanvas::TextHeight(std::string_view) {
    inUse_ = true;
    return fontFor(keyOf(Font)).lineHeight();
}

void TDirectDrawSurfaceCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    inUse_ = true;
    if (surface_.IsEmpty()) return;
    const int w = Pen.Style == psClear ? 0 : std::max(Pen.Width, 1);
    const bool solid = Brush.Style == bsSolid;
    surface_.Paint(
        {paintRectangle,
         {x1, y1, x2, y2, w, w > 0 ? ColorToPixel(Pen.Color) : 0, solid, solid ? ColorToPixel(Brush.Color) : 0},
         nullptr});
}

void TDirectDrawSurfaceCanvas::Release() { inUse_ = false; }
