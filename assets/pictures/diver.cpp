// SPDX-License-Identifier: MIT
// The diver (four kicking patterns, facing right), the two ways it dies, the hand engine it holds,
// its harpoon with the trailing line, and the net.
#include "Common.h"

#include <cmath>

namespace art {
namespace {

using namespace look;

// Where the game expects things on the diver: bubbles leave the top edge at x 80 (the back of the
// head), the hand engine is held at (113, 5), the harpoon leaves the right edge 15 pixels down. The
// box is the diver's collision box, so the diver fills it: a chunky body, fins kept close.
constexpr int kHeroW = 116, kHeroH = 36;

struct DiverLook {
    Color suit = hex(0x34466C);
    Color stripe = hex(0x3FD8EC);
    Color tank = hex(0xF2B705);
    Color skin = hex(0xE7B08A);
    Color glass = hex(0x9FE6FF);
    Color fins = hex(0xF05A28);
    bool deadEyes = false;
};

void diver(Image& img, float kick, const DiverLook& d) {
    const float hipX = 52, hipY = 19;
    // Two legs kicking in opposition; the far leg is darker, and a little higher so both show at rest.
    for (int leg = 0; leg < 2; ++leg) {
        const float s = (leg == 0 ? 1.0f : -1.0f) * kick, rest = leg == 0 ? -2.5f : 2.5f;
        const Color c = leg == 0 ? darken(d.suit, 0.35f) : d.suit;
        const Vec hip{hipX, hipY - 1 + static_cast<float>(leg) * 2};
        // Knees a little bent and dropped, so the legs read as legs even when they are together.
        const Vec knee{32, hipY + rest * 0.8f + s * 3 + 2.5f}, ankle{15, hipY + rest + s * 5.5f};
        img.stroke({hip, knee}, 10.5f, c);
        img.stroke({knee, ankle}, 8.0f, c);
        if (leg == 1) img.stroke({{hipX - 6, hipY + 2}, knee, ankle}, 1.6f, d.stripe);
        // Fin: a broad blade that lags behind the ankle's motion.
        const Color fc = leg == 0 ? darken(d.fins, 0.3f) : d.fins;
        const float tip = ankle.y + s * 4.5f;
        Path fin;
        fin.moveTo(ankle.x + 4, ankle.y - 4.5f)
            .quadTo(ankle.x - 5, ankle.y - 5 + s * 1.5f, 0.5f, tip - 6.5f)
            .lineTo(0.5f, tip + 6.5f)
            .quadTo(ankle.x - 5, ankle.y + 5 + s * 1.5f, ankle.x + 4, ankle.y + 4.5f)
            .close();
        img.fill(fin, fc);
        img.stroke({{ankle.x, ankle.y}, {2.5f, tip}}, 1.0f, darken(fc, 0.35f));
    }
    // Air tank on the back, its top on the box's edge.
    img.fill(Path().roundRect(46, 0.8f, 38, 11, 5.5f),
             linear({0, 1}, lighten(d.tank, 0.45f), {0, 12}, darken(d.tank, 0.3f)));
    img.fill(Path().rect(54, 0.8f, 2.5f, 11), darken(d.tank, 0.4f));
    img.fill(Path().rect(83, 3.5f, 3.5f, 5), hex(0x8A96A0));
    // Torso.
    Path torso;
    torso.moveTo(44, 20)
        .cubicTo(46, 9, 70, 7, 86, 9.5f)
        .cubicTo(94, 12, 94, 24, 84, 27)
        .cubicTo(68, 30, 48, 29, 44, 20)
        .close();
    img.fill(torso, linear({0, 8}, lighten(d.suit, 0.3f), {0, 29}, darken(d.suit, 0.3f)));
    img.stroke({{48, 20}, {66, 22.5f}, {88, 19}}, 2.4f, d.stripe);
    // Weight belt.
    img.fill(Path().roundRect(52, 16, 5, 13, 1.5f), hex(0x3A3A3A));
    img.fill(Path().rect(53, 20.5f, 3, 4), hex(0xB8BEC4));
    // The far arm behind the head, reaching forward to where the hand engine is held.
    img.stroke({{84, 13}, {97, 17}, {110, 15.5f}}, 6.0f, darken(d.suit, 0.35f));
    // Head: hood, mask, regulator, hose.
    img.stroke({{83, 5}, {86, 1.2f}, {93, 1.5f}}, 1.6f, hex(0x2A2A2A));
    img.fill(circle(89, 9, 8.2f), darken(d.suit, 0.55f));
    img.fill(Path().roundRect(92, 3.5f, 9.5f, 8, 2.5f), hex(0x2A2F38));
    img.fill(Path().roundRect(93.5f, 4.8f, 7, 5.6f, 1.8f), linear({94, 5}, lighten(d.glass, 0.5f), {101, 10}, d.glass));
    if (d.deadEyes) {
        img.stroke({{95.5f, 6}, {98.5f, 9.3f}}, 1.0f, hex(0x202020));
        img.stroke({{98.5f, 6}, {95.5f, 9.3f}}, 1.0f, hex(0x202020));
    } else {
        img.fill(circle(98, 7.6f, 1.2f), hex(0x1A2A3A));
        img.fill(Path().polygon({{94.3f, 5.6f}, {96.8f, 5.6f}, {94.3f, 7.8f}}), hex(0xFFFFFF, 0.8f));
    }
    img.fill(Path().ellipse(95.5f, 13.5f, 2.8f, 2.3f), d.skin);
    img.fill(circle(95.5f, 14.5f, 2.2f), hex(0x50565E));
    // The gun, then the near arm holding it.
    img.fill(Path().rect(94, 15.5f, 19, 4), linear({0, 15}, hex(0xC8D0D8), {0, 20}, hex(0x4A5058)));
    img.fill(Path().polygon({{111.5f, 14}, {116, 17.5f}, {111.5f, 21}}), hex(0xF0F4F8));
    img.fill(Path().roundRect(101, 19, 4, 7, 1), hex(0x2A2A2A));
    img.fill(circle(110.5f, 15.5f, 3.2f), hex(0x1A1F28));
    img.stroke({{82, 17}, {95, 24.5f}, {107.5f, 21}}, 6.5f, d.suit);
    img.stroke({{86, 20}, {95, 24.5f}, {104, 22.2f}}, 1.4f, d.stripe);
    img.fill(circle(108, 21, 3.5f), hex(0x222831));
    // Rim for a clean silhouette.
    outline(img, hex(0x05080C));
}

Picture hero() {
    return strip(kHeroW, kHeroH, 4,
                 [](Image& img, int frame) { diver(img, std::sin(static_cast<float>(frame) * kPi / 2), DiverLook{}); });
}

// Samples src turned by `angle` about its centre into an image of the given size.
Image turned(const Image& src, float angle, int w, int h) {
    Image out(w, h);
    const float cs = std::cos(angle), sn = std::sin(angle);
    const float scx = static_cast<float>(src.width()) / 2, scy = static_cast<float>(src.height()) / 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float dx = static_cast<float>(x) + 0.5f - static_cast<float>(w) / 2,
                        dy = static_cast<float>(y) + 0.5f - static_cast<float>(h) / 2;
            const float sx = cs * dx + sn * dy + scx - 0.5f, sy = -sn * dx + cs * dy + scy - 0.5f;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            const float tx = sx - static_cast<float>(ix), ty = sy - static_cast<float>(iy);
            auto px = [&](int xx, int yy) {
                return (xx < 0 || yy < 0 || xx >= src.width() || yy >= src.height()) ? Color{0, 0, 0, 0}
                                                                                     : src.at(xx, yy);
            };
            out.at(x, y) = mix(mix(px(ix, iy), px(ix + 1, iy), tx), mix(px(ix, iy + 1), px(ix + 1, iy + 1), tx), ty);
        }
    return out;
}

// Killed by a fish: limp, tipped forward, bleeding a little into the water.
Picture heroKilledByFish() {
    DiverLook d;
    d.deadEyes = true;
    d.suit = hex(0x2A1E26);
    Image body(kHeroW, kHeroH);
    diver(body, 0.4f, d);
    Image img = turned(body, 0.35f, 124, 70);
    Rng rng(5);
    for (int i = 0; i < 7; ++i)
        img.fill(circle(rng.uniform(50, 100), rng.uniform(30, 60), rng.uniform(2, 5)), hex(0xB0182A, 0.55f));
    Picture p;
    p.image = img;
    return p;
}

// Out of air: pale and still, head back, the last bubbles.
Picture heroOutOfAir() {
    DiverLook d;
    d.deadEyes = true;
    d.suit = hex(0x4A5A6E);
    d.skin = hex(0xB8C8D8);
    d.tank = hex(0xA89A5A);
    d.fins = hex(0x9A6A5A);
    Image body(kHeroW, kHeroH);
    diver(body, -0.3f, d);
    Image img = turned(body, -0.3f, 124, 70);
    for (int i = 0; i < 4; ++i) {
        const float r = 2.0f + static_cast<float>(i);
        const float x = 84 + static_cast<float>(i) * 4, y = 14 - static_cast<float>(i) * 3.5f + 6;
        img.fill(circle(x, y, r), hex(0xCFF4FF, 0.35f));
        img.stroke({{x - r, y}, {x, y - r}}, 0.8f, hex(0xFFFFFF, 0.9f));
    }
    Picture p;
    p.image = img;
    return p;
}

// The hand engine: a bright scooter with its propeller toward the diver.
Picture handEngine() {
    Image img(46, 26);
    const float cy = 13;
    img.fill(Path().roundRect(0, cy - 11, 9, 22, 3), hex(0x2A3038));
    for (int i = 0; i < 3; ++i) img.stroke({{4.5f, cy - 9}, {4.5f, cy + 9}}, 1.0f, hex(0x6A747E));
    img.fill(Path().ellipse(5, cy, 3, 8), hex(0xC8D2DA, 0.8f));
    Path hull;
    hull.moveTo(8, cy - 8)
        .lineTo(32, cy - 8)
        .cubicTo(42, cy - 8, 45, cy - 3, 45, cy)
        .cubicTo(45, cy + 3, 42, cy + 8, 32, cy + 8)
        .lineTo(8, cy + 8)
        .close();
    img.fill(hull,
             linearStops({0, cy - 8}, {0, cy + 8}, {{0, hex(0xFFD65A)}, {0.45f, hex(0xF29A1A)}, {1, hex(0x9A4A08)}}));
    img.fill(Path().rect(20, cy - 8, 3, 16), hex(0x3A3A3A, 0.8f));
    img.fill(Path().ellipse(39, cy - 1, 3.5f, 3), hex(0xFFF6C8));
    img.fill(Path().roundRect(13, cy + 6, 10, 5, 2), hex(0x2A2A2A));
    Image rim = img.glow(1.0f, hex(0x201004));
    Image out(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const float a = std::min(1.0f, rim.at(x, y).a * 2.2f);
            out.at(x, y) = {0.12f * a, 0.06f * a, 0.01f * a, a};
        }
    out.draw(img, 0, 0);
    Picture p;
    p.image = out;
    return p;
}

// The harpoon: a steel shaft with a barbed head.
Picture harpoon() {
    Image img(30, 6);
    img.fill(Path().rect(0, 2, 22, 2), linear({0, 2}, hex(0xE8EEF2), {0, 4}, hex(0x6A7480)));
    img.fill(Path().polygon({{20, 0}, {30, 3}, {20, 6}, {22, 3}}), hex(0xF4F8FA));
    img.fill(Path().polygon({{0, 0.5f}, {5, 2}, {5, 4}, {0, 5.5f}}), hex(0xE04A2A));
    Picture p;
    p.image = img;
    return p;
}

// The line trailing 72 pixels behind the harpoon; the two patterns ripple differently.
Picture tail() {
    return strip(72, 5, 2, [](Image& img, int frame) {
        std::vector<Vec> line;
        for (int x = 0; x <= 72; x += 3) {
            const float amp = static_cast<float>(x) / 72.0f * 0.4f + (1.0f - static_cast<float>(x) / 72.0f) * 1.6f;
            line.push_back({static_cast<float>(x),
                            2.5f + std::sin(static_cast<float>(x) * 0.22f + static_cast<float>(frame) * kPi) * amp});
        }
        img.stroke(line, 1.3f, hex(0xE9E2C8));
    });
}

// The net, opening over four patterns, tall enough to sweep the water above and below the diver.
Picture net() {
    const int W = 64, H = 188;
    return strip(W, H, 4, [&](Image& img, int frame) {
        const float open = 0.3f + 0.7f * static_cast<float>(frame) / 3.0f;
        const float cx = 30, cy = static_cast<float>(H) / 2;
        const float rx = 8 + 20 * open, ry = 20 + 70 * open;
        Path shape = Path().ellipse(cx, cy, rx, ry);
        Image mesh(W, H);
        mesh.fill(shape, hex(0xBFEFFF, 0.10f));
        const float step = 7;
        for (float k = -200; k < 200; k += step) {
            mesh.stroke({{cx - 40, cy + k - 40}, {cx + 40, cy + k + 40}}, 0.9f, hex(0xE8F6FF, 0.9f));
            mesh.stroke({{cx - 40, cy + k + 40}, {cx + 40, cy + k - 40}}, 0.9f, hex(0xE8F6FF, 0.9f));
        }
        Image clip(W, H);
        clip.fill(shape, hex(0xFFFFFF));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const float a = clip.at(x, y).a;
                Color& c = mesh.at(x, y);
                c = {c.r * a, c.g * a, c.b * a, c.a * a};
            }
        img.draw(mesh, 0, 0);
        std::vector<Vec> rim;
        for (int i = 0; i < 48; ++i) {
            const float t = 2 * kPi * static_cast<float>(i) / 48.0f;
            rim.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
        }
        img.stroke(rim, 2.2f, hex(0xF2C14E), true);
        // Lead weights around the rim.
        for (int i = 0; i < 8; ++i) {
            const float t = 2 * kPi * (static_cast<float>(i) + 0.5f) / 8.0f;
            img.fill(circle(cx + rx * std::cos(t), cy + ry * std::sin(t), 2.4f), hex(0x5A6068));
        }
    });
}

const RegisterProgram kHero("hero", [](const Args&) { return hero(); });
const RegisterProgram kKilled("hero-killed", [](const Args&) { return heroKilledByFish(); });
const RegisterProgram kNoAir("hero-no-air", [](const Args&) { return heroOutOfAir(); });
const RegisterProgram kEngine("hand-engine", [](const Args&) { return handEngine(); });
const RegisterProgram kHarpoon("harpoon", [](const Args&) { return harpoon(); });
const RegisterProgram kTail("harpoon-line", [](const Args&) { return tail(); });
const RegisterProgram kNet("net", [](const Args&) { return net(); });

} // namespace
} // namespace art
