// SPDX-License-Identifier: MIT
// The palette and small drawing helpers shared by the picture programs: one underwater look.
#pragma once

#include "Picture.h"
#include "Text.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace art::look {

// Water, from the surface down.
inline const Color kSurface = hex(0x6FD3E0);
inline const Color kShallow = hex(0x1E7C9A);
inline const Color kMidWater = hex(0x0F4C72);
inline const Color kDeep = hex(0x08233F);
inline const Color kAbyss = hex(0x040F22);
// Sand and rock.
inline const Color kSand = hex(0xD8B877);
inline const Color kSandDark = hex(0x9C7A46);
inline const Color kRock = hex(0x4B5060);
inline const Color kRockDark = hex(0x262836);
inline const Color kRockLight = hex(0x8C93A3);
inline const Color kMoss = hex(0x3E7B55);
// Interface.
inline const Color kPanel = hex(0x0A2440);
inline const Color kPanelEdge = hex(0x5FC2D6);
inline const Color kGold = hex(0xF4C44E);
inline const Color kGoldDark = hex(0xA8741C);
inline const Color kTextDim = hex(0x7FA9C9);
inline const Color kTextBright = hex(0xFFFFFF);
inline const Color kLightBlue = hex(0x99CCFF); // the colour the game writes its own texts in

// A picture of `count` patterns side by side, each drawn by `frame(image, originX, index)`.
template <class F>
Picture strip(int patternW, int patternH, int count, F frame) {
    Picture p;
    p.image = Image(patternW * count, patternH);
    for (int i = 0; i < count; ++i) {
        Image one(patternW, patternH);
        frame(one, i);
        p.image.draw(one, i * patternW, 0);
    }
    p.patternWidth = patternW;
    p.patternHeight = patternH;
    return p;
}

inline Path circle(float cx, float cy, float r) { return Path().ellipse(cx, cy, r, r); }

// A crisp dark rim around everything drawn, so a sprite reads against water, rock and sand alike.
// A higher `spread` widens the rim (2.2 gives about one pixel, 4 nearly two).
inline void outline(Image& img, Color rim, float spread = 2.2f) {
    const Image halo = img.glow(1.0f, rim);
    Image out(img.width(), img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const float a = std::min(1.0f, halo.at(x, y).a * spread);
            out.at(x, y) = {rim.r * a, rim.g * a, rim.b * a, a};
        }
    out.draw(img, 0, 0);
    img = out;
}

// A fish eye: white, dark pupil looking forward (left), a glint.
inline void eye(Image& img, float x, float y, float r, Color iris = hex(0x111111)) {
    img.fill(circle(x, y, r), hex(0xF4F4EC));
    img.fill(circle(x - r * 0.25f, y, r * 0.62f), iris);
    img.fill(circle(x - r * 0.45f, y - r * 0.3f, r * 0.22f), hex(0xFFFFFF, 0.9f));
}

// Textured rock: big lumps lit from above, finer grain, and a few thin dark cracks.
inline Paint rockPaint(std::uint32_t seed, Color base, float scale = 0.05f, int periodX = 0) {
    return [=](float x, float y) {
        const float lumps = fbm(x * scale * 0.5f, y * scale * 0.5f, seed + 3, 3, periodX);
        const float grain = fbm(x * scale * 2.0f, y * scale * 2.0f, seed, 3, periodX > 0 ? periodX * 4 : 0);
        const float crack =
            std::fabs(noise(x * scale * 1.6f, y * scale * 1.6f, seed + 7, periodX > 0 ? periodX * 2 : 0) - 0.5f);
        Color c = mix(darken(base, 0.6f), lighten(base, 0.4f), lumps * 0.75f + grain * 0.25f);
        if (crack < 0.018f) c = darken(c, 0.35f * (1.0f - crack / 0.018f));
        return c;
    };
}

} // namespace art::look

namespace art {
// The open sea from the surface (at surfaceY) down; drawn by the scenery programs.
Image seaImage(int w, int h, int surfaceY, std::uint32_t seed);
} // namespace art
