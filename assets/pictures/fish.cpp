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
    float eyeSize = 0.13f;   // share of the body height
    bool teeth = false;
    bool gillSlits = false;
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
    const float pinch = 0.18f;
    const Color outline = darken(mix(f.top, f.fin, 0.3f), 0.65f);

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
        .cubicTo(x0 + L * (0.08f + f.snout * 0.2f), cy - hb * (0.9f - f.snout * 0.3f), x0 + L * 0.45f, cy - hb * 1.05f,
                 xt, cy - hb * pinch)
        .lineTo(xt, cy + hb * pinch)
        .cubicTo(x0 + L * 0.5f, cy + hb * 1.05f, x0 + L * 0.12f, cy + hb * 0.95f, x0 + f.snout * L * 0.12f,
                 cy + hb * 0.25f)
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
    if (f.gillSlits) {
        for (int i = 0; i < 4; ++i) {
            const float sx = gx + static_cast<float>(i) * L * 0.025f;
            img.stroke({{sx, cy - hb * 0.35f}, {sx - 1.5f, cy + hb * 0.2f}}, 1.1f, darken(f.top, 0.5f));
        }
    } else {
        img.stroke({{gx, cy - hb * 0.55f}, {gx + 2.5f, cy}, {gx, cy + hb * 0.5f}}, 1.0f,
                   withAlpha(darken(f.top, 0.5f), 0.7f));
    }
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
    Image silhouette = img.glow(1.2f, outline);
    Image rimmed(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            Color s = silhouette.at(x, y);
            const float a = std::min(1.0f, s.a * 2.2f);
            rimmed.at(x, y) = {outline.r * a, outline.g * a, outline.b * a, a};
        }
    rimmed.draw(img, 0, 0);
    img = rimmed;
}

Picture fish(const FishLook& f) {
    return strip(f.w, f.h, 3, [&](Image& img, int i) { fishFrame(img, f, i); });
}

// Round, spiny, spotted: the puffer.
Picture puffer() {
    const int W = 42, H = 40;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float cx = 19, cy = 20, r = 13.5f + phase * 0.6f; // it breathes in and out
        Path spikes;
        for (int i = 0; i < 18; ++i) {
            const float a = 2 * kPi * static_cast<float>(i) / 18.0f;
            const float ca = std::cos(a), sa = std::sin(a);
            spikes.polygon({{cx + ca * (r - 2) - sa * 2, cy + sa * (r - 2) + ca * 2},
                            {cx + ca * (r + 4.5f), cy + sa * (r + 4.5f)},
                            {cx + ca * (r - 2) + sa * 2, cy + sa * (r - 2) - ca * 2}});
        }
        img.fill(spikes, hex(0x8A6A2E));
        Path tail;
        tail.moveTo(cx + r - 3, cy)
            .lineTo(40, cy - 6 + phase * 2)
            .lineTo(38, cy)
            .lineTo(40, cy + 6 + phase * 2)
            .close();
        img.fill(tail, hex(0xE2B44C));
        img.fill(circle(cx, cy, r), radial({cx - 4, cy - 6}, r * 1.6f, hex(0xF6DC8A), hex(0xB98A34)));
        img.fill(Path().ellipse(cx, cy + r * 0.45f, r * 0.8f, r * 0.5f), hex(0xFFF4D6, 0.85f), Blend::Atop);
        Rng rng(44);
        for (int i = 0; i < 11; ++i)
            img.fill(circle(cx + rng.uniform(-r * 0.7f, r * 0.8f), cy + rng.uniform(-r * 0.8f, r * 0.2f),
                            rng.uniform(1.0f, 1.8f)),
                     hex(0x5A3A14), Blend::Atop);
        img.fill(Path().ellipse(cx + 5, cy + 5, 4, 2.5f).transformed(Affine::translate(0, 0)), hex(0xE8B04A, 0.9f));
        eye(img, cx - 7, cy - 4, 3.6f);
        img.fill(Path().ellipse(cx - r + 1, cy + 3, 2.2f, 1.6f), hex(0x7A3A1A));
        Image rim = img.glow(1.0f, hex(0x3A2808));
        Image out(img.width(), img.height());
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const float a = std::min(1.0f, rim.at(x, y).a * 2.2f);
                out.at(x, y) = {0.23f * a, 0.16f * a, 0.03f * a, a};
            }
        out.draw(img, 0, 0);
        img = out;
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
        Image rim = img.glow(1.0f, hex(0x400C06));
        Image out(img.width(), img.height());
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const float a = std::min(1.0f, rim.at(x, y).a * 2.2f);
                out.at(x, y) = {0.25f * a, 0.05f * a, 0.02f * a, a};
            }
        out.draw(img, 0, 0);
        img = out;
    });
}

// A glowing jellyfish: the bell pulses, the tentacles trail.
Picture jellyfish() {
    const int W = 42, H = 56;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float cx = 21, top = 4, bw = 16 - phase * 2.0f, bh = 17 + phase * 1.5f;
        img.draw(Image(W, H), 0, 0);
        for (int i = 0; i < 5; ++i) {
            const float tx = cx - bw * 0.7f + static_cast<float>(i) * bw * 0.35f;
            std::vector<Vec> t;
            for (int k = 0; k <= 10; ++k) {
                const float y = top + bh - 2 + static_cast<float>(k) * 3.3f;
                t.push_back({tx + std::sin(static_cast<float>(k) * 0.8f + static_cast<float>(i) + phase) * 2.2f, y});
            }
            img.stroke(t, 1.6f, hex(0xF6A6E0, 0.95f));
        }
        Path arms;
        arms.moveTo(cx - 5, top + bh - 2)
            .quadTo(cx - 8, top + bh + 14, cx - 3, top + bh + 24)
            .lineTo(cx + 3, top + bh + 24)
            .quadTo(cx + 8, top + bh + 14, cx + 5, top + bh - 2)
            .close();
        img.fill(arms, hex(0xE472C4, 0.95f));
        Path bell;
        bell.moveTo(cx - bw, top + bh)
            .cubicTo(cx - bw, top - 3, cx + bw, top - 3, cx + bw, top + bh)
            .quadTo(cx + bw * 0.5f, top + bh - 3, cx, top + bh)
            .quadTo(cx - bw * 0.5f, top + bh - 3, cx - bw, top + bh)
            .close();
        img.fill(bell, radial({cx - 3, top + 5}, bh * 1.3f, hex(0xFFE2F6), hex(0xD14FB0)));
        img.fill(Path().ellipse(cx, top + bh * 0.55f, bw * 0.45f, bh * 0.25f), hex(0xFF9AD8, 0.8f), Blend::Atop);
        img.fill(Path().ellipse(cx - bw * 0.35f, top + bh * 0.3f, 3, 2), hex(0xFFFFFF, 0.8f), Blend::Atop);
        Image glow = img.glow(4, hex(0xFF7AD0, 0.6f));
        glow.draw(img, 0, 0);
        img = glow;
    });
}

// The ray: wide wings that beat, a long whip tail.
Picture ray() {
    const int W = 100, H = 56;
    return strip(W, H, 3, [&](Image& img, int frame) {
        const float phase = static_cast<float>(frame) - 1.0f;
        const float cx = 34, cy = 28;
        std::vector<Vec> tail;
        for (int k = 0; k <= 12; ++k) {
            const float x = cx + 18 + static_cast<float>(k) * 3.8f;
            tail.push_back(
                {x, cy + std::sin(static_cast<float>(k) * 0.5f + phase) * 2.0f * static_cast<float>(k) / 12.0f});
        }
        img.stroke(tail, 2.0f, hex(0x1C2E4A));
        const float wing = 22 - phase * 5; // wing tips rise and fall
        Path body;
        body.moveTo(cx - 26, cy + 1)
            .cubicTo(cx - 18, cy - 8, cx - 6, cy - wing, cx + 6, cy - wing - 3)
            .cubicTo(cx + 10, cy - wing * 0.5f, cx + 20, cy - 5, cx + 24, cy)
            .cubicTo(cx + 20, cy + 5, cx + 10, cy + wing * 0.5f, cx + 6, cy + wing + 3)
            .cubicTo(cx - 6, cy + wing, cx - 18, cy + 8, cx - 26, cy + 1)
            .close();
        img.fill(body, radial({cx - 4, cy - 4}, 34, hex(0x3A6FA8), hex(0x14294A)));
        Rng rng(10);
        for (int i = 0; i < 16; ++i)
            img.fill(
                circle(cx + rng.uniform(-14, 16), cy + rng.uniform(-wing * 0.6f, wing * 0.6f), rng.uniform(1.0f, 1.8f)),
                hex(0xBFE4FF, 0.8f), Blend::Atop);
        img.stroke({{cx - 24, cy + 1}, {cx + 22, cy}}, 1.0f, hex(0x0C1A30, 0.6f));
        // Head lobes and eyes.
        img.fill(Path().ellipse(cx - 22, cy - 3, 4, 2.5f), hex(0x2A5688));
        img.fill(Path().ellipse(cx - 22, cy + 4, 4, 2.5f), hex(0x2A5688));
        eye(img, cx - 16, cy - 4, 2.6f);
        eye(img, cx - 16, cy + 5, 2.6f);
        Image rim = img.glow(1.2f, hex(0x081426));
        Image out(img.width(), img.height());
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const float a = std::min(1.0f, rim.at(x, y).a * 2.2f);
                out.at(x, y) = {0.03f * a, 0.08f * a, 0.15f * a, a};
            }
        out.draw(img, 0, 0);
        img = out;
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
    case 3: // blue mackerel
        f.w = 58, f.h = 22, f.bodyLen = 0.76f, f.bodyHeight = 0.62f;
        f.top = hex(0x1F5FBF), f.belly = hex(0xDDE8F0), f.fin = hex(0x2E6FB8);
        f.stripe = hex(0x0C2A5C, 0.9f), f.stripes = 5, f.stripeWidth = 1.6f, f.dorsal = 0.35f, f.tailFork = 0.8f;
        f.seed = 13;
        break;
    case 5: // sardine: a vivid blue back and yellow fins, so the small fish shows against the grey rock
        f.w = 34, f.h = 16, f.bodyLen = 0.74f, f.bodyHeight = 0.6f;
        f.top = hex(0x1E9BF0), f.belly = hex(0xFFFFFF), f.fin = hex(0xFFC83C);
        f.spot = hex(0x14324A), f.spots = 3, f.spotSize = 0.9f, f.tailFork = 0.75f, f.dorsal = 0.2f, f.seed = 15;
        break;
    case 6: // small red fish with a veil tail
        f.w = 38, f.h = 24, f.bodyLen = 0.6f, f.bodyHeight = 0.6f;
        f.top = hex(0xE0305A), f.belly = hex(0xFF9AB0), f.fin = hex(0xFF5C8A);
        f.tailSpread = 1.6f, f.tailFork = 0.1f, f.dorsal = 0.45f, f.seed = 16;
        break;
    case 8: // angelfish: tall, striped, long fins
        f.w = 48, f.h = 56, f.bodyLen = 0.68f, f.bodyHeight = 0.5f;
        f.top = hex(0x3B3FC8), f.belly = hex(0x7A5AE0), f.fin = hex(0xFFD447);
        f.stripe = hex(0xFFE066), f.stripes = 4, f.stripeWidth = 2.2f;
        f.dorsal = 1.1f, f.dorsalStart = 0.2f, f.dorsalEnd = 0.75f, f.anal = 1.1f, f.tailFork = 0.1f, f.seed = 18;
        break;
    case 11: // barracuda: long, silver, barred, toothy
        f.w = 128, f.h = 34, f.bodyLen = 0.8f, f.bodyHeight = 0.55f;
        f.top = hex(0x4E6E7E), f.belly = hex(0xE6EEF0), f.fin = hex(0x5E7E8C);
        f.stripe = hex(0x22323C, 0.75f), f.stripes = 8, f.stripeWidth = 3.0f;
        f.dorsal = 0.5f, f.dorsalStart = 0.5f, f.dorsalEnd = 0.62f, f.anal = 0.4f, f.tailFork = 0.7f, f.snout = 0.6f;
        f.teeth = true, f.eyeSize = 0.16f, f.seed = 21;
        break;
    case 12: // grouper: bulky, mottled, wide mouth
        f.w = 116, f.h = 66, f.bodyLen = 0.76f, f.bodyHeight = 0.74f;
        f.top = hex(0x5E6B2E), f.belly = hex(0xC9B77A), f.fin = hex(0x4A5524);
        f.spot = hex(0x2E3410, 0.8f), f.spots = 38, f.spotSize = 2.6f, f.dorsal = 0.22f, f.dorsalStart = 0.2f,
        f.dorsalEnd = 0.8f, f.anal = 0.25f, f.tailFork = 0.0f, f.teeth = true, f.eyeSize = 0.09f, f.seed = 22;
        break;
    case 13: // shark
        f.w = 180, f.h = 78, f.bodyLen = 0.74f, f.bodyHeight = 0.52f;
        f.top = hex(0x5D7281), f.belly = hex(0xEDEFF0), f.fin = hex(0x4E6270);
        f.dorsal = 1.25f, f.dorsalStart = 0.38f, f.dorsalEnd = 0.52f, f.anal = 0.5f, f.tailFork = 0.85f,
        f.tailSpread = 1.25f, f.snout = 1.0f, f.teeth = true, f.gillSlits = true, f.eyeSize = 0.07f, f.seed = 23;
        break;
    default: break;
    }
    return f;
}

Picture enemy(int k) {
    switch (k) {
    case 4: return puffer();
    case 7: return crab();
    case 9: return jellyfish();
    case 10: return ray();
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
    if (k < 1 || k > 13 || k == 4 || k == 7 || k == 9 || k == 10 || width < 8)
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
