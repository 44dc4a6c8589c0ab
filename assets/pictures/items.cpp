// SPDX-License-Identifier: MIT
// Things to pick up and the status display: treasure, the bonus cage with its float and rope, the
// bonus icons (also the status bar's indicators), the air gauge strip and the life icon.
#include "Common.h"

#include <cmath>
#include <string>

namespace art {
namespace {

using namespace look;

Image rimmed(const Image& img, Color rim) {
    Image halo = img.glow(1.0f, rim);
    Image out(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const float a = std::min(1.0f, halo.at(x, y).a * 2.2f);
            out.at(x, y) = {rim.r * a, rim.g * a, rim.b * a, a};
        }
    out.draw(img, 0, 0);
    return out;
}

void sparkle(Image& img, float x, float y, float r) {
    img.fill(Path().polygon({{x - r, y},
                             {x - r * 0.2f, y - r * 0.2f},
                             {x, y - r},
                             {x + r * 0.2f, y - r * 0.2f},
                             {x + r, y},
                             {x + r * 0.2f, y + r * 0.2f},
                             {x, y + r},
                             {x - r * 0.2f, y + r * 0.2f}}),
             hex(0xFFFFFF, 0.95f));
}

void coin(Image& img, float x, float y, float r) {
    img.fill(Path().ellipse(x, y, r, r * 0.45f), linear({x - r, y}, kGold, {x + r, y}, kGoldDark));
    img.fill(Path().ellipse(x, y - 1, r * 0.7f, r * 0.3f), lighten(kGold, 0.25f));
}

void gem(Image& img, float cx, float cy, float r, Color c) {
    Path g;
    g.polygon({{cx - r, cy - r * 0.3f},
               {cx - r * 0.5f, cy - r},
               {cx + r * 0.5f, cy - r},
               {cx + r, cy - r * 0.3f},
               {cx, cy + r}});
    img.fill(g, linear({cx - r, cy - r}, lighten(c, 0.5f), {cx + r, cy + r}, darken(c, 0.4f)));
    img.stroke({{cx - r, cy - r * 0.3f}, {cx + r, cy - r * 0.3f}}, 0.8f, lighten(c, 0.6f));
    img.stroke({{cx - r * 0.5f, cy - r}, {cx - r * 0.2f, cy - r * 0.3f}, {cx, cy + r}}, 0.7f, lighten(c, 0.3f));
    img.stroke({{cx + r * 0.5f, cy - r}, {cx + r * 0.2f, cy - r * 0.3f}, {cx, cy + r}}, 0.7f, darken(c, 0.2f));
}

// Treasure lying on the sand. 1 to 7 are worth 30 points, 8 (the chest) 50.
Picture treasure(const Args& a) {
    const int k = a.integer(0);
    Image img(k == 8 ? 56 : 40, k == 8 ? 48 : 36);
    const float w = static_cast<float>(img.width()), h = static_cast<float>(img.height());
    switch (k) {
    case 1: // a heap of gold coins
        for (int row = 0; row < 4; ++row)
            for (int i = 0; i <= 3 - row; ++i)
                coin(img, 8 + static_cast<float>(i) * 8 + static_cast<float>(row) * 4,
                     h - 5 - static_cast<float>(row) * 5, 6);
        sparkle(img, 26, 12, 4);
        break;
    case 2:
        gem(img, w / 2, h / 2 + 4, 12, hex(0xE0203A));
        sparkle(img, 14, 12, 4);
        break;
    case 3: { // a pearl in its shell
        Path shell;
        shell.moveTo(4, h - 6).cubicTo(4, 8, w - 4, 8, w - 4, h - 6).close();
        img.fill(shell, linear({0, 8}, hex(0xF0C8D8), {0, h}, hex(0xA87890)));
        for (int i = 1; i < 6; ++i)
            img.stroke({{w / 2, h - 6}, {4 + (w - 8) * static_cast<float>(i) / 6.0f, 12}}, 0.8f, hex(0x8A5A70, 0.6f));
        img.fill(Path().ellipse(w / 2, h - 6, w / 2 - 3, 3.5f), hex(0x8A5A70));
        img.fill(circle(w / 2, h - 11, 6), radial({w / 2 - 2, h - 13}, 8, hex(0xFFFFFF), hex(0xC8D0E0)));
        break;
    }
    case 4: { // a golden goblet
        Path cup;
        cup.moveTo(9, 5)
            .lineTo(31, 5)
            .quadTo(31, 20, 21, 22)
            .lineTo(21, 28)
            .lineTo(27, 33)
            .lineTo(13, 33)
            .lineTo(19, 28)
            .lineTo(19, 22)
            .quadTo(9, 20, 9, 5)
            .close();
        img.fill(cup, linear({9, 0}, lighten(kGold, 0.3f), {31, 0}, kGoldDark));
        gem(img, 20, 12, 3.5f, hex(0x2A6AE0));
        sparkle(img, 30, 6, 4);
        break;
    }
    case 5:
        gem(img, w / 2, h / 2 + 4, 12, hex(0x20C060));
        sparkle(img, 27, 10, 4);
        break;
    case 6: { // a necklace of pearls with a pendant
        std::vector<Vec> chain;
        for (int i = 0; i <= 12; ++i) {
            const float t = kPi * static_cast<float>(i) / 12.0f;
            chain.push_back({w / 2 - std::cos(t) * 15, 8 + std::sin(t) * 18});
        }
        for (const Vec v : chain)
            img.fill(circle(v.x, v.y, 2.4f), radial({v.x - 1, v.y - 1}, 3, hex(0xFFFFFF), hex(0xC8C8D8)));
        gem(img, w / 2, 29, 5, hex(0x9A30E0));
        break;
    }
    case 7: { // an old amphora
        Path jar;
        jar.moveTo(15, 3)
            .lineTo(25, 3)
            .lineTo(24, 8)
            .cubicTo(36, 12, 34, 28, 20, 34)
            .cubicTo(6, 28, 4, 12, 16, 8)
            .close();
        img.fill(jar, linear({6, 0}, hex(0xD08850), {34, 0}, hex(0x7A3E1C)));
        img.stroke({{16, 8}, {10, 14}}, 2, hex(0x8A4A24));
        img.stroke({{24, 8}, {30, 14}}, 2, hex(0x8A4A24));
        img.stroke({{10, 18}, {20, 20}, {30, 18}}, 1.2f, hex(0x3A1A08, 0.7f));
        coin(img, 30, 32, 5);
        break;
    }
    default: { // the chest
        img.fill(Path().roundRect(4, 18, 48, 28, 3), linear({0, 18}, hex(0x8A5426), {0, 46}, hex(0x4A2A10)));
        Path lid;
        lid.moveTo(4, 20).cubicTo(4, 4, 52, 4, 52, 20).close();
        img.fill(lid, linear({0, 6}, hex(0xA86A34), {0, 20}, hex(0x5A3414)));
        for (float x : {10.0f, 44.0f})
            img.fill(Path().rect(x - 2, 8, 4, 38), linear({x - 2, 0}, kGold, {x + 2, 0}, kGoldDark));
        img.fill(Path().rect(4, 19, 48, 3), kGoldDark);
        img.fill(Path().roundRect(24, 20, 8, 9, 2), kGold);
        img.fill(circle(28, 24, 1.5f), hex(0x2A1A08));
        for (int i = 0; i < 5; ++i) coin(img, 12 + static_cast<float>(i) * 8, 19 - static_cast<float>(i % 2) * 2, 4);
        sparkle(img, 40, 10, 5);
        sparkle(img, 14, 14, 3);
        break;
    }
    }
    Picture p;
    p.image = rimmed(img, hex(0x1A1004));
    return p;
}

// The bonus icons share one 50 x 46 cell, content centred, so the same picture works hung on the
// rope (drawn over the bonus cage at the same corner) and as an indicator in the status bar.
constexpr int kIconW = 50, kIconH = 46;
constexpr float kIconCx = 25, kIconCy = 23;

void iconDisc(Image& img, Color c) {
    img.fill(circle(kIconCx, kIconCy, 15), radial({kIconCx - 5, kIconCy - 6}, 20, lighten(c, 0.5f), darken(c, 0.2f)));
    img.stroke(Path().ellipse(kIconCx, kIconCy, 15, 15).contours().front(), 1.5f, darken(c, 0.5f), true);
}

Picture icon(const Args& a) {
    const std::string& kind = a.text(0);
    Image img(kIconW, kIconH);
    const TextLook numberLook{solid(hex(0xFFFFFF)), hex(0x4A2A00), 1.5f};
    if (kind == "10" || kind == "20" || kind == "50") {
        iconDisc(img, kind == "50" ? hex(0xF4C44E) : kind == "20" ? hex(0xC8D0DA) : hex(0xD08A4A));
        drawTextCentred(img, 25, 14, kind, Font{11, true}, numberLook);
    } else if (kind == "oxy") {
        iconDisc(img, hex(0x3AB0E8));
        img.fill(Path().roundRect(19, 12, 12, 22, 5), linear({19, 0}, hex(0xFFFFFF), {31, 0}, hex(0xA8C0D0)));
        img.fill(Path().rect(22, 8, 6, 5), hex(0x4A5058));
        drawTextCentred(img, 25, 17, "O2", Font{7, true}, TextLook{solid(hex(0x1A4A8A))});
    } else if (kind == "life") {
        iconDisc(img, hex(0xE04A5A));
        Path heart;
        heart.moveTo(25, 33).cubicTo(12, 24, 15, 11, 25, 17).cubicTo(35, 11, 38, 24, 25, 33).close();
        img.fill(heart, linear({0, 12}, hex(0xFFFFFF), {0, 33}, hex(0xFFD0D8)));
    } else if (kind == "supergun") {
        iconDisc(img, hex(0xE86A2A));
        for (int i = 0; i < 3; ++i) {
            const float y = 16 + static_cast<float>(i) * 7;
            img.fill(Path().rect(13, y - 1, 18, 2.4f), hex(0xFFFFFF));
            img.fill(Path().polygon({{30, y - 3}, {37, y + 0.2f}, {30, y + 3.4f}}), hex(0xFFFFFF));
        }
    } else if (kind == "net") {
        iconDisc(img, hex(0x2AA87A));
        Image mesh(kIconW, kIconH);
        for (int k = -30; k < 30; k += 5) {
            mesh.stroke({{kIconCx - 20, kIconCy + static_cast<float>(k) - 20},
                         {kIconCx + 20, kIconCy + static_cast<float>(k) + 20}},
                        1.2f, hex(0xFFFFFF));
            mesh.stroke({{kIconCx - 20, kIconCy + static_cast<float>(k) + 20},
                         {kIconCx + 20, kIconCy + static_cast<float>(k) - 20}},
                        1.2f, hex(0xFFFFFF));
        }
        Image clip(kIconW, kIconH);
        clip.fill(circle(kIconCx, kIconCy, 10), hex(0xFFFFFF));
        for (int y = 0; y < kIconH; ++y)
            for (int x = 0; x < kIconW; ++x) {
                const float m = clip.at(x, y).a;
                Color& c = mesh.at(x, y);
                c = {c.r * m, c.g * m, c.b * m, c.a * m};
            }
        img.draw(mesh, 0, 0);
        img.stroke(Path().ellipse(kIconCx, kIconCy, 10, 10).contours().front(), 1.8f, hex(0xF4C44E), true);
    } else if (kind == "engine") {
        iconDisc(img, hex(0x7A5AD8));
        img.fill(Path().roundRect(14, 18, 20, 10, 4), linear({0, 18}, hex(0xFFD65A), {0, 28}, hex(0xC86A0A)));
        img.fill(Path().roundRect(32, 16, 4, 14, 1), hex(0x2A3038));
        for (int i = 0; i < 3; ++i)
            img.stroke({{10, 19 + static_cast<float>(i) * 4}, {5, 19 + static_cast<float>(i) * 4}}, 1.5f,
                       hex(0xFFFFFF));
    }
    Picture p;
    p.image = rimmed(img, hex(0x06121E));
    return p;
}

// The cage a bonus hangs in; the rope meets it at x 25. Four patterns of a turning glint, the
// game shows the first.
Picture bonusCage(const Args&) {
    return strip(kIconW, kIconH, 4, [](Image& img, int f) {
        img.fill(circle(kIconCx, kIconCy, 20),
                 radial({kIconCx - 7, kIconCy - 8}, 26, hex(0xE8FCFF, 0.45f), hex(0x3AA8D0, 0.55f)));
        img.stroke(Path().ellipse(kIconCx, kIconCy, 20, 20).contours().front(), 2.0f, hex(0xF4C44E), true);
        img.fill(Path().roundRect(kIconCx - 3, 0, 6, 4, 1), hex(0xF4C44E));
        const float t = static_cast<float>(f) * kPi / 2;
        img.fill(Path().ellipse(kIconCx - 10 + std::cos(t) * 3, kIconCy - 11 + std::sin(t) * 2, 4, 2.5f),
                 hex(0xFFFFFF, 0.9f));
    });
}

// The float riding on the surface.
Picture buoy(const Args&) {
    Image img(50, 26);
    Path body;
    body.moveTo(13, 18).cubicTo(13, 2, 37, 2, 37, 18).close();
    img.fill(body, linear({13, 0}, hex(0xFF5A3A), {37, 0}, hex(0xB02A10)));
    img.fill(Path().rect(13, 10, 24, 4), hex(0xFFFFFF), Blend::Atop);
    img.fill(Path().ellipse(25, 19, 14, 4), hex(0xE8E8E8));
    img.fill(Path().rect(24, 0, 2, 6), hex(0x4A4A4A));
    img.fill(Path().ellipse(25, 23, 16, 2.2f), hex(0xCFF6FF, 0.7f));
    Picture p;
    p.image = rimmed(img, hex(0x3A0A04));
    p.matte = hex(0x6FB8D0);
    return p;
}

// One row of rope; the game stacks it from the float down to the bonus.
Picture rope(const Args&) {
    Image img(3, 1);
    img.put(0, 0, hex(0x8A6A3A));
    img.put(1, 0, hex(0xE8D2A0));
    img.put(2, 0, hex(0x8A6A3A));
    Picture p;
    p.image = img;
    return p;
}

// The air gauge: one pattern per column, red when low, turning to cyan when full.
Picture gauge(const Args& a) {
    const int w = a.integer(0), h = a.integer(1);
    Image img(w, h);
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    img.paintAll(
        linearStops({0, 0}, {fw, 0},
                    {{0.0f, hex(0xE02A2A)}, {0.25f, hex(0xF2A02A)}, {0.5f, hex(0x3AD0A0)}, {1.0f, hex(0x5AE8FF)}}));
    img.paintAll(linear({0, 0}, hex(0xFFFFFF, 0.45f), {0, fh * 0.5f}, hex(0xFFFFFF, 0.0f)));
    img.fill(Path().rect(0, fh - 2, fw, 2), hex(0x000000, 0.3f));
    Picture p;
    p.image = img;
    p.patternWidth = 1;
    p.keyed = false;
    return p;
}

// A small diver's helmet for each life left.
Picture lifeIcon(const Args&) {
    Image img(22, 22);
    img.fill(circle(11, 11, 9.5f), radial({8, 7}, 12, hex(0xFFE08A), hex(0xC8860A)));
    img.fill(Path().roundRect(5, 6, 12, 9, 3), hex(0x2A2F38));
    img.fill(Path().roundRect(6.5f, 7.5f, 9, 6, 2), linear({6, 7}, hex(0xE8FCFF), {15, 13}, hex(0x7FD8F0)));
    img.fill(Path().rect(9, 17, 4, 3), hex(0x4A5058));
    Picture p;
    p.image = rimmed(img, hex(0x1A1004));
    p.matte = hex(0x0A2440);
    return p;
}

const RegisterProgram kTreasure("treasure", treasure);
const RegisterProgram kIcon("bonus-icon", icon);
const RegisterProgram kCage("bonus-cage", bonusCage);
const RegisterProgram kBuoy("float", buoy);
const RegisterProgram kRope("rope", rope);
const RegisterProgram kGauge("air-gauge", gauge);
const RegisterProgram kLife("life", lifeIcon);

} // namespace
} // namespace art
