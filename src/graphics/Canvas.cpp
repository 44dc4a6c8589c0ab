// SPDX-License-Identifier: MIT
// Colour conversion and the text canvas of a surface. Text is drawn every frame, so fonts and the
// rendered masks of strings are kept in a cache shared by all canvases.
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
// there are too many of them, which only a screen of ever-changing texts would cause.
struct CanvasCache {
    std::map<FontKey, std::unique_ptr<tw::platform::Font>> fonts;
    std::map<std::pair<FontKey, std::string>, CachedText> texts;
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

const CachedText& textFor(const TFont& font, std::string_view text) {
    FontKey key = keyOf(font);
    auto id = std::make_pair(key, std::string(text));
    auto it = cache.texts.find(id);
    if (it != cache.texts.end()) return it->second;
    if (cache.texts.size() >= kMaxCachedTexts) cache.texts.clear();
    tw::platform::Font& f = fontFor(key);
    std::string utf8 = toUtf8(text);
    CachedText entry;
    entry.mask = f.render(utf8);
    entry.width = f.textWidth(utf8);
    return cache.texts.emplace(std::move(id), std::move(entry)).first->second;
}

// Solid fill of a rectangle, clipped to the surface.
void fillRect(TDirectDrawSurface& s, int l, int t, int r, int b, std::uint32_t pixel) {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, s.Width());
    b = std::min(b, s.Height());
    if (l >= r || t >= b) return;
    TDDSurfaceDesc desc;
    TRect area{l, t, r, b};
    if (!s.Lock(&area, desc)) return;
    auto* base = static_cast<std::uint8_t*>(desc.Bits);
    for (int y = 0; y < desc.Height; ++y) {
        auto* p = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * desc.Pitch);
        std::fill(p, p + desc.Width, pixel);
    }
    s.Unlock();
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
    const CachedText& t = textFor(Font, text);
    const tw::platform::TextMask& m = t.mask;
    if (Brush.Style == bsSolid) {
        const int height = fontFor(keyOf(Font)).lineHeight();
        fillRect(surface_, x, y, x + t.width, y + height, ColorToPixel(Brush.Color));
    }
    const int l = std::max(x, 0), tp = std::max(y, 0);
    const int r = std::min(x + m.width, surface_.Width()), b = std::min(y + m.height, surface_.Height());
    if (l >= r || tp >= b) return;
    TDDSurfaceDesc desc;
    TRect area{l, tp, r, b};
    if (!surface_.Lock(&area, desc)) return;
    const std::uint32_t ink = ColorToPixel(Font.Color);
    const std::uint32_t ir = (ink >> 16) & 0xFF, ig = (ink >> 8) & 0xFF, ib = ink & 0xFF;
    auto* base = static_cast<std::uint8_t*>(desc.Bits);
    for (int row = 0; row < desc.Height; ++row) {
        auto* dst = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(row) * desc.Pitch);
        const std::uint8_t* cov = m.coverage.data() +
                                  static_cast<std::size_t>(tp + row - y) * static_cast<std::size_t>(m.width) +
                                  static_cast<std::size_t>(l - x);
        for (int c = 0; c < desc.Width; ++c) {
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
    surface_.Unlock();
}

int TDirectDrawSurfaceCanvas::TextWidth(std::string_view text) {
    inUse_ = true;
    if (text.empty()) return 0;
    return textFor(Font, text).width;
}

int TDirectDrawSurfaceCanvas::TextHeight(std::string_view) {
    inUse_ = true;
    return fontFor(keyOf(Font)).lineHeight();
}

void TDirectDrawSurfaceCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    inUse_ = true;
    if (surface_.IsEmpty()) return;
    const int w = Pen.Style == psClear ? 0 : std::max(Pen.Width, 1);
    // The outline is a line of the pen's width centred on the border pixels (x1..x2-1, y1..y2-1).
    const int a = w / 2;
    const int ol = x1 - a, ot = y1 - a, orr = x2 - 1 + (w - a), ob = y2 - 1 + (w - a);
    const int il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    if (Brush.Style == bsSolid) fillRect(surface_, il, it, ir, ib, ColorToPixel(Brush.Color));
    if (w == 0) return;
    const std::uint32_t pen = ColorToPixel(Pen.Color);
    fillRect(surface_, ol, ot, orr, it, pen); // top band
    fillRect(surface_, ol, ib, orr, ob, pen); // bottom band
    fillRect(surface_, ol, it, il, ib, pen);  // left band
    fillRect(surface_, ir, it, orr, ib, pen); // right band
}

void TDirectDrawSurfaceCanvas::Release() { inUse_ = false; }
