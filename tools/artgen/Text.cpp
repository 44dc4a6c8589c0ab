// SPDX-License-Identifier: MIT
// Renders white text on a black surface through the game's canvas and reads the grey levels back as
// coverage; colour, outline, shadow and glow are then laid on with the picture kit.
#include "Text.h"

#include "graphics/Surface.h"

#include <algorithm>
#include <string>

namespace art {

namespace {

TFont canvasFont(Font font) {
    TFont f;
    f.Name = "Arial";
    f.Size = font.points;
    f.Style = font.bold ? fsBold : 0;
    f.Color = clWhite;
    return f;
}

} // namespace

int textWidth(std::string_view text, Font font) {
    TDirectDrawSurface s;
    s.SetSize(1, 1);
    auto& canvas = s.Canvas();
    canvas.Font = canvasFont(font);
    const int w = canvas.TextWidth(text);
    canvas.Release();
    return w;
}

int textHeight(Font font) {
    TDirectDrawSurface s;
    s.SetSize(1, 1);
    auto& canvas = s.Canvas();
    canvas.Font = canvasFont(font);
    const int h = canvas.TextHeight("Ag");
    canvas.Release();
    return h;
}

Image textMask(std::string_view text, Font font) {
    const int w = std::max(1, textWidth(text, font)), h = std::max(1, textHeight(font));
    TDirectDrawSurface s;
    s.SetSize(w, h);
    s.Fill(0);
    auto& canvas = s.Canvas();
    canvas.Font = canvasFont(font);
    canvas.Brush.Style = bsClear;
    canvas.TextOut(0, 0, text);
    canvas.Release();
    Image mask(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = s.Pixel(x, y);
            const std::uint32_t m = std::max({(p >> 16) & 0xFFu, (p >> 8) & 0xFFu, p & 0xFFu});
            const float a = static_cast<float>(m) / 255.0f;
            mask.at(x, y) = {a, a, a, a};
        }
    }
    return mask;
}

void drawText(Image& dst, int x, int y, std::string_view text, Font font, const TextLook& look) {
    const Image mask = textMask(text, font);
    const int pad = 12;
    Image padded(mask.width() + 2 * pad, mask.height() + 2 * pad);
    padded.draw(mask, pad, pad);
    if (look.glow.a > 0) dst.draw(padded.glow(look.glowRadius, look.glow), x - pad, y - pad);
    if (look.shadow.a > 0) {
        Image shadow = padded.glow(1.5f, look.shadow);
        dst.draw(shadow, x - pad + look.shadowOffset, y - pad + look.shadowOffset);
    }
    if (look.outline.a > 0) {
        // A hard-edged outline: the blurred coverage pushed up, so it stays a crisp band.
        Image soft = padded.glow(look.outlineWidth * 2, Color{1, 1, 1, 1});
        Image ring(padded.width(), padded.height());
        for (int yy = 0; yy < ring.height(); ++yy)
            for (int xx = 0; xx < ring.width(); ++xx) {
                const float a = std::clamp(soft.at(xx, yy).a * 4.0f, 0.0f, 1.0f) * look.outline.a;
                ring.at(xx, yy) = {look.outline.r * a, look.outline.g * a, look.outline.b * a, a};
            }
        dst.draw(ring, x - pad, y - pad);
    }
    for (int yy = 0; yy < mask.height(); ++yy) {
        for (int xx = 0; xx < mask.width(); ++xx) {
            const int tx = x + xx, ty = y + yy;
            if (tx < 0 || ty < 0 || tx >= dst.width() || ty >= dst.height()) continue;
            const float a = mask.at(xx, yy).a;
            if (a <= 0) continue;
            dst.put(tx, ty, look.fill(static_cast<float>(tx) + 0.5f, static_cast<float>(ty) + 0.5f), a);
        }
    }
}

void drawTextCentred(Image& dst, int cx, int y, std::string_view text, Font font, const TextLook& look) {
    drawText(dst, cx - textWidth(text, font) / 2, y, text, font, look);
}

} // namespace art
