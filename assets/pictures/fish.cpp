// SPDX-License-Identifier: MIT
// The thirteen kinds of fish (three fin patterns each, facing left, the way they swim) and the body
// a killed fish leaves. Kinds 10 to 13 are the big, tough ones and look it.
#include "Common.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace art {
namespace {

using namespace look;

struct FishLook {
    int w = 48, h = 30;
    float bodyLen = 0.72f;   // share of the width that is body; the rest is tail
    float bodyHeight = 0.7f; // share of the height
    Color top, belly, fin;
    Color stripe{0, 0, 0, 0};
    int stripes = 0;
    float stripeWidth = 3;
    bool stripeEdges = false; // dark edges on the stripes (clownfish)
    Color spot{0, 0, 0, 0};
    int spots = 0;
    float spotSize = 1.5f;
    float dorsal = 0.25f; // fin height as a share of the body height
    float dorsalStart = 0.25f, dorsalEnd = 0.7f;
    float anal = 0.18f;
    float tailFork = 0.45f;  // 0: round tail, 1: deep fork
    float tailSpread = 0.9f; // tail height as a share of the body height
    float snout = 0.0f;      // >0: pointed snout over the mouth (sharks, barracuda)
    float girthAt = 0.45f;   // where along the body it is deepest, as a share of its length
    float pinch = 0.18f;     // depth of the tail root, as a share of the body's
    float eyeSize = 0.13f;   // share of the body height
    bool teeth = false;
    Color lateral{0, 0, 0, 0};  // a band along the flank (sardine)
    Color rimColor{0, 0, 0, 0}; // the outline; unset, a dark shade of the back
    float rim = 2.2f;           // the outline's spread (see look::outline)
    std::uint32_t seed = 1;
};

void fishFrame(Image& img, const FishLook& f, int frame) {
    const float phase = static_cast<float>(frame) - 1.0f; // -1, 0, 1
    const float pad = 2;
    const float w = static_cast<float>(f.w), h = static_cast<float>(f.h);
    const float cy = h * 0.5f;
    const float x0 = pad, L = (w - 2 * pad) * f.bodyLen;
    const float hb = h * 0.5f * f.bodyHeight;
    const float xt = x0 + L; // where the tail starts
    const float pinch = f.pinch;
    const Color rimColor = f.rimColor.a > 0 ? f.rimColor : darken(mix(f.top, f.fin, 0.3f), 0.65f);

    // Fins behind the body first.
    Path dorsal;
    const float dx0 = x0 + L * f.dorsalStart, dx1 = x0 + L * f.dorsalEnd;
    const float topAt = cy - hb * 0.92f;
    const float finH = std::min(hb * f.dorsal * 1.6f, topAt - 1.5f) - phase * 0.5f;
    dorsal.moveTo(dx0, topAt + 2)
        .quadTo(dx0 + (dx1 - dx0) * 0.35f, topAt - finH * 0.85f, dx1 + (dx1 - dx0) * 0.45f, topAt - finH)
        .quadTo(dx1 + 1, topAt - finH * 0.3f, dx1 + 1, topAt + 4)
        .close();
    Path anal;
    const float ax0 = x0 + L * 0.55f, ax1 = x0 + L * 0.85f, botAt = cy + hb * 0.85f;
    const float analH = std::min(hb * f.anal * 2.0f, h - botAt - 1.5f);
    anal.moveTo(ax0, botAt - 2)
        .quadTo(ax0 + (ax1 - ax0) * 0.4f, botAt + analH + phase * 0.6f, ax1 + 2, botAt + hb * f.anal * 0.5f)
        .lineTo(ax1, botAt - 3)
        .close();
    // Tail: a fan whose tips swing with the phase.
    const float tw = w - pad - xt;
    const float th = hb * f.tailSpread + 1;
    const float swing = phase * th * 0.32f;
    Path tail;
    tail.moveTo(xt - 3, cy - hb * pinch * 1.5f)
        .quadTo(xt + tw * 0.55f, cy - th * 0.55f + swing * 0.5f, w - pad, cy - th + swing)
        .quadTo(w - pad - tw * f.tailFork * 0.9f, cy + swing * 0.6f, w - pad, cy + th + swing)
        .quadTo(xt + tw * 0.55f, cy + th * 0.55f + swing * 0.5f, xt - 3, cy + hb * pinch * 1.5f)
        .close();
    Path fins;
    fins.add(dorsal).add(anal).add(tail);
    const Paint finPaint = linear({xt, 0}, f.fin, {w, 0}, withAlpha(lighten(f.fin, 0.2f), 0.95f));
    img.fill(fins, finPaint);

    // Body.
    const float nose = cy + hb * 0.1f - f.snout * hb * 0.4f;
    Path body;
    body.moveTo(x0, nose)
        .cubicTo(x0 + L * (0.08f + f.snout * 0.2f), cy - hb * (0.9f - f.snout * 0.3f), x0 + L * f.girthAt,
                 cy - hb * 1.05f, xt, cy - hb * pinch)
        .lineTo(xt, cy + hb * pinch)
        .cubicTo(x0 + L * (f.girthAt + 0.05f), cy + hb * 1.05f, x0 + L * 0.12f, cy + hb * 0.95f,
                 x0 + f.snout * L * 0.12f, cy + hb * 0.25f)
        .close();
    // The body and its markings get a layer of their own, so stripes stay off the fins.
    Image finLayer = img;
    img = Image(img.width(), img.height());
    img.fill(body, linearStops({0, cy - hb}, {0, cy + hb},
                               {{0.0f, f.top}, {0.45f, mix(f.top, f.belly, 0.5f)}, {1.0f, f.belly}}));

    // Markings, kept inside the body.
    for (int i = 0; i < f.stripes; ++i) {
        const float sx = x0 + L * (0.25f + 0.6f * static_cast<float>(i) / static_cast<float>(std::max(1, f.stripes)));
        Path band;
        band.moveTo(sx - f.stripeWidth / 2, 0)
            .quadTo(sx + 3, cy, sx - f.stripeWidth / 2, h)
            .lineTo(sx + f.stripeWidth / 2, h)
            .quadTo(sx + 3 + f.stripeWidth, cy, sx + f.stripeWidth / 2, 0)
            .close();
        if (f.stripeEdges) {
            Path edge;
            edge.moveTo(sx - f.stripeWidth / 2 - 1.2f, 0)
                .quadTo(sx + 1.8f, cy, sx - f.stripeWidth / 2 - 1.2f, h)
                .lineTo(sx + f.stripeWidth / 2 + 1.2f, h)
                .quadTo(sx + 4.2f + f.stripeWidth, cy, sx + f.stripeWidth / 2 + 1.2f, 0)
                .close();
            img.fill(edge, hex(0x1A1410), Blend::Atop);
        }
        img.fill(band, f.stripe, Blend::Atop);
    }
    if (f.lateral.a > 0) {
        Path band;
        band.moveTo(x0 + L * 0.22f, cy - hb * 0.22f)
            .quadTo(x0 + L * 0.6f, cy - hb * 0.42f, xt + 2, cy - hb * 0.1f)
            .lineTo(xt + 2, cy + hb * 0.12f)
            .quadTo(x0 + L * 0.6f, cy + hb * 0.02f, x0 + L * 0.22f, cy + hb * 0.2f)
            .close();
        img.fill(band, f.lateral, Blend::Atop);
    }
    Rng rng(f.seed);
    for (int i = 0; i < f.spots; ++i) {
        const float sx = rng.uniform(x0 + L * 0.2f, xt - 2), sy = rng.uniform(cy - hb * 0.8f, cy + hb * 0.6f);
        img.fill(circle(sx, sy, f.spotSize * rng.uniform(0.7f, 1.2f)), f.spot, Blend::Atop);
    }
    // Light from above: a soft sheen on the back.
    img.fill(Path().ellipse(x0 + L * 0.45f, cy - hb * 0.45f, L * 0.32f, hb * 0.28f), withAlpha(hex(0xFFFFFF), 0.16f),
             Blend::Atop);

    finLayer.draw(img, 0, 0);
    img = finLayer;

    // Gills, pectoral fin, eye, mouth.
    const float gx = x0 + L * (0.27f + f.snout * 0.05f);
    img.stroke({{gx, cy - hb * 0.55f}, {gx + 2.5f, cy}, {gx, cy + hb * 0.5f}}, 1.0f,
               withAlpha(darken(f.top, 0.5f), 0.7f));
    const float px = gx + L * 0.06f, py = cy + hb * 0.2f;
    const float ang = 0.5f + phase * 0.35f;
    Path pect =
        Path()
            .ellipse(0, 0, L * 0.1f + 2, hb * 0.16f + 1)
            .transformed(Affine::translate(L * 0.1f, 0).then(Affine::rotate(ang)).then(Affine::translate(px, py)));
    img.fill(pect, withAlpha(lighten(f.fin, 0.15f), 0.9f));
    const float er = std::max(1.6f, hb * 2 * f.eyeSize);
    eye(img, x0 + L * (0.13f + f.snout * 0.12f), cy - hb * 0.28f, er);
    img.stroke({{x0 + 0.5f + f.snout * L * 0.1f, nose + 1.2f},
                {x0 + L * (0.07f + f.snout * 0.12f), nose + 1.8f + f.snout * 2}},
               1.0f, darken(f.belly, 0.55f));
    if (f.teeth) {
        for (int i = 0; i < 5; ++i) {
            const float tx = x0 + f.snout * L * 0.1f + 2 + static_cast<float>(i) * 3.2f;
            img.fill(Path().polygon({{tx, nose + 1.6f}, {tx + 1.6f, nose + 1.6f}, {tx + 0.8f, nose + 4.0f}}),
                     hex(0xF8F8F0));
        }
    }

    // A crisp dark rim so the fish reads against any water.
    outline(img, rimColor, f.rim);
}

Picture fish(const FishLook& f) {
    return strip(f.w, f.h, 3, [&](Image& img, int i) { fishFrame(img, f, i); });
}

// Round, spiny, spotted: the puffer.
Picture puffer() {
    const int W = 42, H = 40;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        // Puffed up nearly to its box, with short spikes: it is round, and all of it is fish.
        const float cx = 19, cy = 20, r = 15.5f + phase * 0.5f; // it breathes in and out
        Path spikes;
        for (int i = 0; i < 20; ++i) {
            const float a = 2 * kPi * (static_cast<float>(i) + 0.5f) / 20.0f;
            const float ca = std::cos(a), sa = std::sin(a);
            spikes.polygon({{cx + ca * (r - 2) - sa * 2, cy + sa * (r - 2) + ca * 2},
                            {cx + ca * (r + 3.2f), cy + sa * (r + 3.2f)},
                            {cx + ca * (r - 2) + sa * 2, cy + sa * (r - 2) - ca * 2}});
        }
        img.fill(spikes, hex(0x8A6A2E));
        Path tail;
        tail.moveTo(cx + r - 3, cy)
            .lineTo(41, cy - 7 + phase * 2)
            .lineTo(39, cy)
            .lineTo(41, cy + 7 + phase * 2)
            .close();
        // Warm and saturated, so it parts from the pale sand it often swims over.
        img.fill(tail, hex(0xEFA838));
        img.fill(circle(cx, cy, r), radial({cx - 4, cy - 6}, r * 1.6f, hex(0xFAD46A), hex(0xC8741E)));
        img.fill(Path().ellipse(cx, cy + r * 0.45f, r * 0.8f, r * 0.5f), hex(0xFFF4D6, 0.85f), Blend::Atop);
        Rng rng(44);
        for (int i = 0; i < 11; ++i)
            img.fill(circle(cx + rng.uniform(-r * 0.7f, r * 0.8f), cy + rng.uniform(-r * 0.8f, r * 0.2f),
                            rng.uniform(1.0f, 1.8f)),
                     hex(0x5A3A14), Blend::Atop);
        img.fill(Path().ellipse(cx + 5, cy + 5, 4, 2.5f).transformed(Affine::translate(0, 0)), hex(0xE8B04A, 0.9f));
        eye(img, cx - 7, cy - 4, 3.6f);
        img.fill(Path().ellipse(cx - r + 1, cy + 3, 2.2f, 1.6f), hex(0x7A3A1A));
        outline(img, hex(0x3A2808), 3.0f);
    });
}

// Walks sideways along the sea floor; the patterns move its legs.
Picture crab() {
    const int W = 52, H = 30;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const Color shell = hex(0xD9472B), dark = hex(0x7A1E10), light = hex(0xF7875A);
        const float cx = 26, cy = 15;
        // Legs, three a side, stepping in turn.
        for (int side = -1; side <= 1; side += 2) {
            for (int i = 0; i < 3; ++i) {
                const float lift = (i % 2 == 0 ? phase : -phase) * 2.0f;
                const float bx = cx + static_cast<float>(side) * (6 + static_cast<float>(i) * 4);
                const float kx = bx + static_cast<float>(side) * 6, ky = cy + 2 + lift;
                const float fx = kx + static_cast<float>(side) * 4, fy = 28 + std::min(0.0f, lift);
                img.stroke({{bx, cy + 3}, {kx, ky - 2}, {fx, fy}}, 2.2f, dark);
                img.stroke({{bx, cy + 3}, {kx, ky - 2}, {fx, fy}}, 1.2f, shell);
            }
        }
        // Claws.
        for (int side = -1; side <= 1; side += 2) {
            const float sx = static_cast<float>(side);
            const float ax = cx + sx * 13, ay = cy - 3;
            const float hx = cx + sx * 20, hy = cy - 9 - phase * sx * 1.5f;
            img.stroke({{ax, ay}, {hx, hy + 3}}, 3.0f, dark);
            img.fill(Path().ellipse(hx, hy, 5.5f, 4.2f), radial({hx - 1, hy - 2}, 6, light, shell));
            img.fill(Path().polygon({{hx + sx * 1, hy - 1}, {hx + sx * 7, hy - 3 - phase}, {hx + sx * 6, hy + 1}}),
                     Color{0, 0, 0, 1}, Blend::Erase);
        }
        // Shell.
        Path body;
        body.moveTo(cx - 14, cy + 3)
            .cubicTo(cx - 13, cy - 10, cx + 13, cy - 10, cx + 14, cy + 3)
            .cubicTo(cx + 8, cy + 8, cx - 8, cy + 8, cx - 14, cy + 3)
            .close();
        img.fill(body, radial({cx - 3, cy - 6}, 16, light, shell));
        Rng rng(7);
        for (int i = 0; i < 6; ++i)
            img.fill(circle(cx + rng.uniform(-9, 9), cy + rng.uniform(-5, 2), 1.1f), hex(0xFFB08A, 0.8f), Blend::Atop);
        // Eyes on stalks.
        for (int side = -1; side <= 1; side += 2) {
            const float ex = cx + static_cast<float>(side) * 4;
            img.stroke({{ex, cy - 5}, {ex, cy - 10}}, 1.5f, dark);
            img.fill(circle(ex, cy - 11, 2.2f), hex(0xFFFFFF));
            img.fill(circle(ex, cy - 11, 1.2f), hex(0x101010));
        }
        outline(img, hex(0x400C06));
    });
}

// The angelfish: a tall disc with swept-back sail fins that reach the tail, so fins and body make
// one bold triangle.
Picture angelfish() {
    const int W = 46, H = 50;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float h = static_cast<float>(H), cy = h / 2;
        const Color body = hex(0x3B3FC8), belly = hex(0x7A5AE0), fin = hex(0xFFD447), band = hex(0xFFE066);
        // Sail fins and the tail, behind the body.
        Path fins;
        for (int side = -1; side <= 1; side += 2) {
            const float sd = static_cast<float>(side);
            const float tipY = cy + sd * (cy - 1.5f) - phase * 0.8f;
            fins.moveTo(10, cy + sd * 11)
                .quadTo(16, cy + sd * 20, 33 + phase, tipY)
                .quadTo(36, cy + sd * 14, 35, cy + sd * 6)
                .lineTo(20, cy + sd * 4)
                .close();
        }
        const float swing = phase * 2.5f;
        fins.moveTo(31, cy - 3)
            .quadTo(38, cy - 9 + swing * 0.5f, 45, cy - 11 + swing)
            .quadTo(42, cy + swing * 0.6f, 45, cy + 11 + swing)
            .quadTo(38, cy + 9 + swing * 0.5f, 31, cy + 3)
            .close();
        img.fill(fins, linear({0, 0}, fin, {0, h}, darken(fin, 0.15f)));
        // Streaks along the sails.
        for (int side = -1; side <= 1; side += 2) {
            const float sd = static_cast<float>(side);
            img.stroke({{18, cy + sd * 10}, {30 + phase, cy + sd * (cy - 5)}}, 1.2f, hex(0xF29A1A, 0.8f));
        }
        // The disc, pointed at the snout.
        Path disc;
        disc.moveTo(1.5f, cy + 1)
            .cubicTo(4, cy - 12, 18, cy - 17, 28, cy - 11)
            .cubicTo(36, cy - 5, 36, cy + 5, 28, cy + 11)
            .cubicTo(18, cy + 17, 4, cy + 12, 1.5f, cy + 1)
            .close();
        Image markings(W, H);
        markings.fill(disc, linear({0, cy - 14}, body, {0, cy + 14}, belly));
        for (int i = 0; i < 3; ++i) {
            const float bx = 12 + static_cast<float>(i) * 8;
            markings.fill(Path().polygon({{bx - 1.5f, 0}, {bx + 1.5f, 0}, {bx + 2.7f, h}, {bx - 0.3f, h}}), band,
                          Blend::Atop);
        }
        markings.fill(Path().ellipse(17, cy - 6, 9, 3.5f), withAlpha(hex(0xFFFFFF), 0.16f), Blend::Atop);
        img.draw(markings, 0, 0);
        // Eye and mouth.
        eye(img, 7, cy - 3.5f, 3.0f);
        img.stroke({{2, cy + 2}, {5, cy + 2.5f}}, 1.0f, darken(belly, 0.55f));
        outline(img, hex(0x1A1440));
    });
}

// The shark: a stout great white, its fins kept close so the box is shark, not water: a swept dorsal,
// long pectorals, a crescent tail that beats.
Picture shark() {
    const int W = 168, H = 54;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f, swing = phase * 3.0f;
        const Color back = hex(0x6F8796), belly = hex(0xF2F4F4), fin = hex(0x566C7A);
        Path fins;
        fins.moveTo(50, 12).quadTo(62, 7, 70 + phase * 0.6f, 0.5f).quadTo(74, 8, 88, 12).close(); // dorsal
        fins.moveTo(110, 19).quadTo(116, 15, 119, 12.5f).quadTo(119, 16, 122, 20).close();        // second dorsal
        fins.moveTo(100, 41).quadTo(106, 45, 110, 49).quadTo(110, 44, 112, 39).close();           // pelvic
        fins.moveTo(121, 22)                                                                      // tail
            .quadTo(142, 11, 167, 0.5f + swing)
            .quadTo(153, 16 + swing * 0.5f, 148, 27 + swing * 0.4f)
            .quadTo(153, 38 + swing * 0.5f, 161, 52 + swing * 0.7f)
            .quadTo(140, 44, 121, 33)
            .close();
        img.fill(fins, linear({0, 0}, back, {0, static_cast<float>(H)}, fin));
        // The body, a torpedo: deep behind the head, a firm tail root.
        Path body;
        body.moveTo(0.5f, 25)
            .cubicTo(5, 17, 30, 10, 60, 10)
            .cubicTo(92, 10, 112, 17, 128, 22)
            .lineTo(128, 32)
            .cubicTo(110, 41, 82, 46, 56, 46)
            .cubicTo(28, 46, 9, 40, 0.5f, 25)
            .close();
        // Countershaded: a dark back, a white belly below a soft line.
        img.fill(body, linearStops({0, 7}, {0, 47},
                                   {{0.0f, darken(back, 0.1f)}, {0.55f, back}, {0.64f, belly}, {1.0f, belly}}));
        img.fill(Path().ellipse(54, 15, 36, 5), withAlpha(hex(0xFFFFFF), 0.14f), Blend::Atop);
        // Pectoral fin, swept back and down, moving with the tail beat.
        Path pect;
        pect.moveTo(42, 36).quadTo(56, 46, 74 - phase * 1.5f, 53.5f).quadTo(70, 44, 64, 38).close();
        img.fill(pect, linear({44, 37}, fin, {77, 53}, darken(fin, 0.2f)));
        // Gill slits, eye, mouth and teeth.
        for (int i = 0; i < 5; ++i) {
            const float gx = 34 + static_cast<float>(i) * 3.2f;
            img.stroke({{gx, 19}, {gx - 1.5f, 33}}, 1.2f, darken(back, 0.45f));
        }
        eye(img, 17, 19, 2.4f);
        img.stroke({{6, 31}, {13, 34}, {25, 34}}, 1.3f, hex(0x3A2A2A));
        for (int i = 0; i < 5; ++i) {
            const float tx = 10 + static_cast<float>(i) * 2.8f;
            img.fill(Path().polygon({{tx, 33}, {tx + 1.6f, 33.2f}, {tx + 0.9f, 35.6f}}), hex(0xFFFFFF));
        }
        outline(img, hex(0x1A2630));
    });
}

// A jellyfish: a wide bell that pulses and a dense skirt of thick tentacles, so that what touches
// the diver is the jellyfish and not the water beside it.
Picture jellyfish() {
    const int W = 44, H = 52;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float cx = static_cast<float>(W) / 2, top = 1.5f;
        // Contracted (phase 1) the bell is a little narrower and taller, relaxed it is wider and flatter.
        const float bw = 20.5f - (phase + 1) * 0.6f, rim = 21 + phase * 1.2f;
        const Color bellIn = hex(0xFFE0F4), bellOut = hex(0xD8489E), arm = hex(0xF27AC6), dark = hex(0x5A0E44);
        // Tentacles: seven thick ones of two lengths, waving with the pulse.
        for (int i = 0; i < 7; ++i) {
            const float tx = cx - bw * 0.84f + static_cast<float>(i) * bw * 1.68f / 6.0f;
            const float len = (i % 2 == 0 ? 30.0f : 26.0f) - phase;
            std::vector<Vec> t;
            for (int k = 0; k <= 10; ++k) {
                const float y = rim - 1 + static_cast<float>(k) * len / 10.0f;
                const float sway = std::sin(static_cast<float>(k) * 0.7f + static_cast<float>(i) * 0.9f + phase * 1.3f);
                t.push_back({tx + sway * 1.8f * static_cast<float>(k) / 10.0f, std::min(y, static_cast<float>(H) - 2)});
            }
            img.stroke(t, 3.4f - 0.15f * std::fabs(static_cast<float>(i) - 3.0f), hex(0xF9B2E2));
        }
        // Frilled mouth arms in the middle, broad at the top.
        for (int i = -1; i <= 1; i += 2) {
            const float ax = cx + static_cast<float>(i) * 3.5f;
            Path a;
            a.moveTo(ax - 4.5f, rim - 2)
                .quadTo(ax - 6 + phase * static_cast<float>(i), rim + 12, ax - 2 - static_cast<float>(i) * 2, rim + 24)
                .quadTo(ax, rim + 27, ax + 2 - static_cast<float>(i) * 2, rim + 24)
                .quadTo(ax + 6 + phase * static_cast<float>(i), rim + 12, ax + 4.5f, rim - 2)
                .close();
            img.fill(a, linear({0, rim}, arm, {0, rim + 26}, lighten(arm, 0.3f)));
            img.stroke({{ax, rim}, {ax - static_cast<float>(i) * 1.5f, rim + 22}}, 1.0f,
                       withAlpha(darken(arm, 0.25f), 0.8f));
        }
        // The bell, its edge scalloped.
        Path bell;
        bell.moveTo(cx - bw, rim).cubicTo(cx - bw, top - 2, cx + bw, top - 2, cx + bw, rim);
        const int lobes = 7;
        for (int i = lobes; i > 0; --i) {
            const float x1 = cx - bw + 2 * bw * static_cast<float>(i - 1) / lobes;
            const float xm = cx - bw + 2 * bw * (static_cast<float>(i) - 0.5f) / lobes;
            bell.quadTo(xm, rim + 3.5f, x1, rim);
        }
        bell.close();
        img.fill(bell, radial({cx - 5, top + 5}, rim * 1.2f, bellIn, bellOut));
        img.fill(Path().ellipse(cx, top + rim * 0.55f, bw * 0.5f, rim * 0.22f), hex(0xFF8FD0, 0.75f), Blend::Atop);
        img.fill(Path().ellipse(cx - bw * 0.4f, top + rim * 0.25f, 4, 2.5f), hex(0xFFFFFF, 0.75f), Blend::Atop);
        outline(img, dark, 2.2f);
    });
}

// The ray, seen from above: a broad warm disc with bright blue spots (it must not melt into the dark
// water), wing edges that ripple from the tips back, and a short, thick tail.
Picture ray() {
    const int W = 88, H = 56;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float h = static_cast<float>(H), cy = h / 2;
        const Color skin = hex(0xF0B25A), edge = hex(0xC2662A), blue = hex(0x2FB8FF), rimColor = hex(0x3A1606);
        // Tail under the disc: thick at the root, tapering, swinging a little.
        std::vector<Vec> top, bottom;
        for (int k = 0; k <= 8; ++k) {
            const float t = static_cast<float>(k) / 8.0f;
            const float x = 60 + t * 26, y = cy + std::sin(t * 3.0f + phase * 1.4f) * 2.2f * t;
            const float half = 6.5f - 4.2f * t;
            top.push_back({x, y - half});
            bottom.push_back({x, y + half});
        }
        // The outline runs out along the top and back along the bottom.
        top.insert(top.end(), bottom.rbegin(), bottom.rend());
        img.fill(Path().polygon(top), linear({60, 0}, edge, {86, 0}, darken(edge, 0.25f)));
        std::vector<Vec> ridge;
        for (int k = 0; k <= 8; ++k)
            ridge.push_back(
                {60 + static_cast<float>(k) * 3.1f,
                 (top[static_cast<std::size_t>(k)].y + top[top.size() - 1 - static_cast<std::size_t>(k)].y) / 2});
        img.stroke(ridge, 1.6f, blue);
        // The disc: the wing tips sway fore and aft as the wave runs through the wings.
        const float snout = 1.5f, rear = 70, tipX = 36 + phase * 3, tipY = 1.5f + std::fabs(phase) * 1.0f;
        Path disc;
        disc.moveTo(snout, cy)
            .cubicTo(snout + 2, cy - 9, tipX - 16, tipY + 5, tipX, tipY)
            .cubicTo(tipX + 9, tipY + 1, rear - 2, cy - 13, rear, cy - 5)
            .quadTo(rear + 2.5f, cy, rear, cy + 5)
            .cubicTo(rear - 2, cy + 13, tipX + 9, h - tipY - 1, tipX, h - tipY)
            .cubicTo(tipX - 16, h - tipY - 5, snout + 2, cy + 9, snout, cy)
            .close();
        // Pelvic fins either side of the tail root.
        for (int side = -1; side <= 1; side += 2)
            disc.add(Path().ellipse(66, cy + static_cast<float>(side) * 7, 7, 4.5f));
        // Raised wings catch the light from above, lowered ones fall into shadow.
        const Color centre = lighten(skin, 0.25f - phase * 0.1f);
        img.fill(disc, radial({30, cy - 2}, 40, centre, edge));
        // Spots on a jittered grid, so they spread evenly over the wings.
        Rng rng(10);
        for (int gx = 0; gx < 6; ++gx)
            for (int gy = 0; gy < 5; ++gy) {
                const float sx = 24 + static_cast<float>(gx) * 8 + rng.uniform(-2.5f, 2.5f);
                const float sy = 9 + static_cast<float>(gy) * 9.5f + rng.uniform(-2.5f, 2.5f);
                if (std::fabs(sy - cy) < 3) continue; // keep the back ridge clear
                const float r = rng.uniform(1.2f, 1.9f);
                img.fill(circle(sx, sy, r + 0.6f), hex(0x0E3A6A, 0.85f), Blend::Atop);
                img.fill(circle(sx, sy, r), blue, Blend::Atop);
            }
        // Back ridge, eyes on top behind the snout, breathing holes behind them.
        img.stroke({{12, cy}, {rear - 2, cy}}, 2.0f, withAlpha(darken(skin, 0.2f), 0.6f));
        for (int side = -1; side <= 1; side += 2) {
            const float ey = cy + static_cast<float>(side) * 6.5f;
            img.fill(Path().ellipse(15, ey, 4.2f, 3.2f), darken(skin, 0.15f));
            eye(img, 14.5f, ey, 2.6f);
            img.fill(Path().ellipse(21, ey + static_cast<float>(side) * 0.5f, 1.6f, 1.0f), hex(0x4A2008));
        }
        outline(img, rimColor, 3.0f);
    });
}

FishLook kind(int k) {
    FishLook f;
    switch (k) {
    case 1: // yellow tang
        f.w = 46, f.h = 36, f.bodyLen = 0.7f, f.bodyHeight = 0.72f;
        f.top = hex(0xFFD21F), f.belly = hex(0xFFE985), f.fin = hex(0xF2B705);
        f.dorsal = 0.3f, f.anal = 0.3f, f.tailFork = 0.2f, f.seed = 11;
        break;
    case 2: // clownfish
        f.w = 44, f.h = 28, f.top = hex(0xFF7A1A), f.belly = hex(0xFFA24A), f.fin = hex(0xF06A10);
        f.stripe = hex(0xFFFFFF), f.stripes = 3, f.stripeWidth = 3.5f, f.stripeEdges = true, f.tailFork = 0.05f;
        f.seed = 12;
        break;
    case 3: // blue mackerel: a bright blue back over a silver belly, so it stands out from the deep blue
        f.w = 58, f.h = 22, f.bodyLen = 0.76f, f.bodyHeight = 0.72f;
        f.top = hex(0x3C95F0), f.belly = hex(0xF0F6FA), f.fin = hex(0x4A9AE8);
        f.stripe = hex(0x0C2A5C, 0.9f), f.stripes = 5, f.stripeWidth = 1.6f, f.dorsal = 0.35f, f.tailFork = 0.8f;
        f.rimColor = hex(0x081A36), f.seed = 13;
        break;
    case 5: // sardine: bright silver with a gold band and warm fins, a firm dark rim; small, but it shows
        f.w = 44, f.h = 20, f.bodyLen = 0.76f, f.bodyHeight = 0.68f;
        f.top = hex(0x4FB6E8), f.belly = hex(0xFFFFFF), f.fin = hex(0xFFB02E), f.lateral = hex(0xFFD23C);
        f.spot = hex(0x14324A), f.spots = 3, f.spotSize = 1.1f, f.tailFork = 0.6f, f.tailSpread = 1.0f;
        f.dorsal = 0.3f, f.anal = 0.25f, f.eyeSize = 0.17f, f.rimColor = hex(0x0A1626), f.rim = 3.0f, f.seed = 15;
        break;
    case 6: // small red fish with a veil tail
        f.w = 38, f.h = 24, f.bodyLen = 0.6f, f.bodyHeight = 0.6f;
        f.top = hex(0xE0305A), f.belly = hex(0xFF9AB0), f.fin = hex(0xFF5C8A);
        f.tailSpread = 1.6f, f.tailFork = 0.1f, f.dorsal = 0.45f, f.seed = 16;
        break;
    case 11: // barracuda: long, silver, barred, toothy
        f.w = 126, f.h = 28, f.bodyLen = 0.8f, f.bodyHeight = 0.76f, f.girthAt = 0.62f, f.pinch = 0.34f;
        f.top = hex(0x4E6E7E), f.belly = hex(0xE6EEF0), f.fin = hex(0x5E7E8C);
        f.stripe = hex(0x22323C, 0.75f), f.stripes = 8, f.stripeWidth = 3.0f;
        f.dorsal = 0.5f, f.dorsalStart = 0.5f, f.dorsalEnd = 0.62f, f.anal = 0.4f, f.tailFork = 0.55f, f.snout = 0.45f;
        f.teeth = true, f.eyeSize = 0.16f, f.seed = 21;
        break;
    case 12: // grouper: bulky, mottled, wide mouth
        f.w = 116, f.h = 66, f.bodyLen = 0.76f, f.bodyHeight = 0.74f;
        f.top = hex(0x5E6B2E), f.belly = hex(0xC9B77A), f.fin = hex(0x4A5524);
        f.spot = hex(0x2E3410, 0.8f), f.spots = 38, f.spotSize = 2.6f, f.dorsal = 0.22f, f.dorsalStart = 0.2f,
        f.dorsalEnd = 0.8f, f.anal = 0.25f, f.tailFork = 0.0f, f.teeth = true, f.eyeSize = 0.09f, f.rim = 3.0f,
        f.seed = 22;
        break;
    default: break;
    }
    return f;
}

Picture enemy(int k) {
    switch (k) {
    case 4: return puffer();
    case 7: return crab();
    case 8: return angelfish();
    case 9: return jellyfish();
    case 10: return ray();
    case 13: return shark();
    default: return fish(kind(k));
    }
}

// A killed fish: pale, belly up, a cross for an eye, sinking.
Picture deadFish() {
    FishLook f;
    f.w = 46, f.h = 28, f.top = hex(0x8C9A8E), f.belly = hex(0xD8DED2), f.fin = hex(0x7C8A7C), f.seed = 30;
    Image img(f.w, f.h);
    fishFrame(img, f, 1);
    // Upside down.
    Image flipped(f.w, f.h);
    for (int y = 0; y < f.h; ++y)
        for (int x = 0; x < f.w; ++x) flipped.at(x, f.h - 1 - y) = img.at(x, y);
    const float fw = static_cast<float>(f.w), fh = static_cast<float>(f.h);
    const float ex = 2 + (fw - 4) * f.bodyLen * 0.13f, ey = fh - 1 - (fh * 0.5f - fh * 0.5f * f.bodyHeight * 0.28f);
    flipped.fill(circle(ex, ey, 3.2f), hex(0xE8E8E0));
    flipped.stroke({{ex - 2, ey - 2}, {ex + 2, ey + 2}}, 1.2f, hex(0x202020));
    flipped.stroke({{ex + 2, ey - 2}, {ex - 2, ey + 2}}, 1.2f, hex(0x202020));
    Picture p;
    p.image = flipped;
    return p;
}

// A fish of one of the drawn kinds at another width, its proportions kept: the desktop icon's fish.
Picture fishAt(int k, int width) {
    FishLook f = kind(k);
    if (k < 1 || k > 13 || k == 4 || k == 7 || k == 8 || k == 9 || k == 10 || k == 13 || width < 8)
        throw std::runtime_error("fish-at: kind " + std::to_string(k) + " is not a drawn fish, or too narrow");
    const float s = static_cast<float>(width) / static_cast<float>(f.w);
    f.w = width;
    f.h = std::max(1, static_cast<int>(std::lround(static_cast<float>(f.h) * s)));
    f.stripeWidth *= s;
    f.spotSize *= s;
    return fish(f);
}

const RegisterProgram kEnemy("enemy", [](const Args& a) { return enemy(a.integer(0)); });
const RegisterProgram kFishAt("fish-at", [](const Args& a) { return fishAt(a.integer(0), a.integer(1)); });
const RegisterProgram kDeadFish("dead-fish", [](const Args&) { return deadFish(); });

} // namespace
} // namespace art
