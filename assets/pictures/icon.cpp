// SPDX-License-Identifier: MIT
// The desktop icon: a yellow tang of the game's own, in a tile of the game's sea with a few bubbles.
#include "Common.h"

#include <string>

namespace art {
namespace {

using namespace look;

Picture appIcon(int size) {
    const float s = static_cast<float>(size);
    Image img(size, size);
    const float inset = s * 0.04f, side = s - 2 * inset;
    const Path tile = Path().roundRect(inset, inset, side, side, s * 0.18f);
    img.fill(tile, linearStops({0, inset}, {0, s - inset}, {{0.0f, kShallow}, {0.55f, kMidWater}, {1.0f, kDeep}}));
    // Light from the surface, only inside the tile.
    img.fill(Path().polygon({{s * 0.30f, inset}, {s * 0.52f, inset}, {s * 0.80f, s}, {s * 0.46f, s}}),
             linear({0, inset}, hex(0xBFF6FF, 0.22f), {0, s * 0.85f}, hex(0xBFF6FF, 0.0f)), Blend::Atop);
    // Bubbles rising from the fish's mouth.
    const struct {
        float x, y, r;
    } bubbles[] = {{0.20f, 0.30f, 0.040f}, {0.27f, 0.19f, 0.030f}, {0.22f, 0.11f, 0.022f}};
    for (const auto& b : bubbles) {
        img.fill(circle(s * b.x, s * b.y, s * b.r), hex(0xCFF3FA, 0.35f));
        const Path ring = circle(s * b.x, s * b.y, s * b.r).add(circle(s * b.x, s * b.y, s * b.r * 0.8f));
        img.fill(ring, solid(hex(0xE8FBFF, 0.9f)), Blend::Over, FillRule::EvenOdd);
    }
    // The fish, facing left as it swims, its middle fin pattern.
    const Picture fish = runProgram("fish-at", {"1", std::to_string(static_cast<int>(s * 0.74f))});
    const int pw = fish.patternWidth, ph = fish.image.height();
    Image one(pw, ph);
    one.draw(fish.image, -pw, 0);
    img.draw(one, (size - pw) / 2 + size / 20, (size - ph) / 2 + size / 16);
    Picture p;
    p.image = img;
    p.keyed = false;
    return p;
}

const RegisterProgram kAppIcon("app-icon", [](const Args& a) { return appIcon(a.integer(0)); });

} // namespace
} // namespace art
