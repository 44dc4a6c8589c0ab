// SPDX-License-Identifier: MIT
// The sea itself: the water behind everything, the cave ceiling pieces, the sea floor pieces,
// bubbles and the three plants.
#include "Common.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

namespace art {
namespace {

using namespace look;

// Every ceiling piece hangs at least this far: the cave's roof runs unbroken over the whole chain.
constexpr int kRoofDepth = 40;
// One rock texture for the whole ceiling, so that groups join.
constexpr std::uint32_t kCeilingSeed = 41;

// The open sea from the surface down: sky glimpse, surface ripples, light shafts, far rocks, motes.
Image sea(int w, int h, int surfaceY, std::uint32_t seed) {
    Image img(w, h);
    const float sy = static_cast<float>(surfaceY);
    img.paintAll(linearStops({0, sy}, {0, static_cast<float>(h)},
                             {{0.0f, kShallow}, {0.25f, kMidWater}, {0.65f, kDeep}, {1.0f, kAbyss}}));
    img.fill(Path().rect(0, 0, static_cast<float>(w), sy), linear({0, 0}, hex(0x9ADCF0), {0, sy}, hex(0xCFF3FA)));
    // Surface: a bright band with ripples.
    Path surface;
    surface.moveTo(0, sy);
    for (int x = 0; x <= w; x += 4) {
        const float fx = static_cast<float>(x);
        surface.lineTo(fx, sy + 2 + std::sin(fx * 0.09f) * 1.5f + std::sin(fx * 0.023f + 1) * 1.5f);
    }
    surface.lineTo(static_cast<float>(w), sy + 9).lineTo(0, sy + 9).close();
    img.fill(surface, linear({0, sy}, hex(0xB8F0FA, 0.95f), {0, sy + 9}, withAlpha(kShallow, 0.0f)));
    // Light shafts fanning down from above.
    for (int i = 0; i < 7; ++i) {
        const float x = static_cast<float>(w) * (static_cast<float>(i) + 0.3f) / 7.0f;
        const float spread = 40 + static_cast<float>(i % 3) * 22;
        Path ray;
        ray.polygon({{x, sy},
                     {x + 26 + static_cast<float>(i % 2) * 12, sy},
                     {x + spread + 170, static_cast<float>(h)},
                     {x + 120, static_cast<float>(h)}});
        img.fill(ray,
                 linear({0, sy}, hex(0xBFF6FF, 0.13f), {0, sy + static_cast<float>(h) * 0.8f}, hex(0xBFF6FF, 0.0f)));
    }
    // Far rocks, faint in the blue.
    Path far;
    far.moveTo(0, static_cast<float>(h));
    for (int x = 0; x <= w; x += 8) {
        const float fx = static_cast<float>(x);
        far.lineTo(fx, static_cast<float>(h) - 150 -
                           90 * fbm(fx * 0.006f, 0.5f, seed, 4,
                                    w / 8 > 0 ? static_cast<int>(static_cast<float>(w) * 0.006f) : 0));
    }
    far.lineTo(static_cast<float>(w), static_cast<float>(h)).close();
    img.fill(far, linear({0, static_cast<float>(h) - 260}, hex(0x0C3D5E, 0.7f), {0, static_cast<float>(h)},
                         hex(0x061A30, 0.9f)));
    // Drifting motes.
    Rng rng(seed);
    for (int i = 0; i < w * h / 2200; ++i) {
        const float x = rng.uniform(0, static_cast<float>(w)), y = rng.uniform(sy + 12, static_cast<float>(h));
        img.fill(circle(x, y, rng.uniform(0.5f, 1.3f)), hex(0xCFF6FF, rng.uniform(0.15f, 0.45f)));
    }
    return img;
}

// The far side of the cave, behind the near rock the diver meets: a dark overhang that darkens the
// water under the surface towards the right, where the near rock comes in out of the gloom.
void farCave(Image& img, float fromX, float surfaceY) {
    const float w = static_cast<float>(img.width());
    Path rock;
    rock.moveTo(fromX, surfaceY);
    for (float x = fromX; x <= w; x += 6) {
        const float t = (x - fromX) / (w - fromX);
        const float depth = 40 + 150 * std::sqrt(t) + 26 * (fbm(x * 0.03f, 1.5f, 77, 3) - 0.5f);
        rock.lineTo(x, surfaceY + depth);
    }
    rock.lineTo(w, surfaceY).close();
    img.fill(rock, [=](float x, float y) {
        const float t = std::clamp((x - fromX) / 220.0f, 0.0f, 1.0f);
        const Color c = mix(rockPaint(41, mix(kRockDark, kDeep, 0.6f), 0.03f)(x, y), kDeep, 0.35f);
        const float fadeDown = std::clamp(1.0f - (y - surfaceY) / 200.0f, 0.35f, 1.0f);
        return withAlpha(c, t * t * (3 - 2 * t) * 0.85f * fadeDown);
    });
}

Picture background(const Args& a) {
    Picture p;
    p.image = sea(a.integer(0), a.integer(1), a.integer(2), 3);
    if (a.size() > 3) farCave(p.image, static_cast<float>(a.integer(3)), static_cast<float>(a.integer(2)));
    p.keyed = false;
    return p;
}

// The cave's roof and the rock hanging from it. Each ceiling piece is one column of a group (a plain
// stretch of roof or a hanging rock of several columns) and fills its whole rectangle, because the
// diver collides with all of it. The game lays the groups side by side in any order, so every group
// shades as one mass and fades to the same rock at both of its edges: any two groups join without a
// seam. The undersides, and the sides of the columns within a group that face open water, get a dark
// rim and a lit edge, so a stepped group reads as one rock and its depth is plain to see.
//   ceiling PIECE GROUP [start|end]
// GROUP lists the columns of the group as WIDTHxHEIGHT,...; PIECE is this column's place, from 1.
struct Column {
    int width = 0, height = 0;
};

std::vector<Column> groupColumns(const std::string& list) {
    std::vector<Column> columns;
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const std::string one = list.substr(at, comma - at);
        const std::size_t x = one.find('x');
        Column c;
        try {
            if (x == std::string::npos) throw std::invalid_argument(one);
            c.width = std::stoi(one.substr(0, x));
            c.height = std::stoi(one.substr(x + 1));
        } catch (const std::exception&) {
            throw std::runtime_error("a ceiling column is WIDTHxHEIGHT, not '" + one + "'");
        }
        if (c.width <= 0 || c.height < kRoofDepth)
            throw std::runtime_error("a ceiling column is at least 1 wide and " + std::to_string(kRoofDepth) +
                                     " deep, not '" + one + "'");
        columns.push_back(c);
        at = comma + 1;
    }
    return columns;
}

Picture ceiling(const Args& a) {
    const std::vector<Column> columns = groupColumns(a.text(1));
    const int piece = a.integer(0);
    if (piece < 1 || piece > static_cast<int>(columns.size()))
        throw std::runtime_error("ceiling piece " + std::to_string(piece) + " is not in its group");
    const auto index = static_cast<std::size_t>(piece - 1);
    const int w = columns[index].width, h = columns[index].height;
    int groupX = 0, groupW = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i < index) groupX += columns[i].width;
        groupW += columns[i].width;
    }
    // Beside the group's ends lies any other group: those sides join it unrimmed, and the groups end
    // in shallow columns so that no deep side is left bare.
    const int leftH = index > 0 ? columns[index - 1].height : h;
    const int rightH = index + 1 < columns.size() ? columns[index + 1].height : h;
    const std::string edge = a.size() > 2 ? a.text(2) : "";
    if (!edge.empty() && edge != "start" && edge != "end")
        throw std::runtime_error("a ceiling edge is start or end, not '" + edge + "'");

    const float fw = static_cast<float>(w), fh = static_cast<float>(h), gx = static_cast<float>(groupX),
                gw = static_cast<float>(groupW);
    const Paint rock = rockPaint(kCeilingSeed, mix(kRock, hex(0x2E5A6A), 0.3f), 0.045f);
    const Paint moss = [](float x, float y) {
        const float m = fbm(x * 0.03f, y * 0.03f, kCeilingSeed + 99, 3);
        return withAlpha(mix(kMoss, hex(0x6FA85A), fbm(x * 0.2f, y * 0.2f, kCeilingSeed + 5, 2)),
                         std::clamp((m - 0.6f) * 4.0f, 0.0f, 0.5f));
    };
    Image img(w, h);
    img.paintAll([=](float x, float y) {
        auto at = [&](float ux) {
            const Color m = moss(ux, y);
            return mix(rock(ux, y), withAlpha(m, 1.0f), m.a);
        };
        // The rock at u and at u - gw, crossfaded over the group: both of its ends show the rock
        // around 0, so the rock runs on unbroken into whatever group lies beside it.
        const float u = gx + x, t = u / gw;
        return mix(at(u), at(u - gw), t * t * (3 - 2 * t));
    });
    // The deeper the rock hangs, the less of the surface's light reaches it.
    img.paintAll(linear({0, 0}, hex(0x000000, 0.0f), {0, 170}, hex(0x050A14, 0.5f)));

    // Faces towards open water: a dark rim, then a lit edge inside it.
    const Color rim = hex(0x070B14, 0.9f), lit = hex(0x8FD0DC, 0.35f);
    img.fill(Path().rect(0, fh - 3, fw, 3), rim);
    img.fill(Path().rect(0, fh - 7, fw, 4), linear({0, fh - 7}, hex(0x000000, 0.0f), {0, fh - 3}, lit));
    if (leftH < h) {
        const float top = static_cast<float>(leftH);
        img.fill(Path().rect(0, top, 2, fh - top), rim);
        img.fill(Path().rect(2, top, 3, fh - top - 3), linear({2, 0}, lit, {5, 0}, hex(0x000000, 0.0f)));
    }
    if (rightH < h) {
        const float top = static_cast<float>(rightH);
        img.fill(Path().rect(fw - 2, top, 2, fh - top), rim);
        img.fill(Path().rect(fw - 5, top, 3, fh - top - 3), linear({fw - 5, 0}, hex(0x000000, 0.0f), {fw - 2, 0}, lit));
    }
    // The cave's mouth (start) or its exit (end): the whole rock face towards open water catches light.
    if (!edge.empty()) {
        const bool left = edge == "start";
        img.fill(Path().rect(left ? 0.0f : fw - 3, 0, 3, fh), rim);
        img.fill(
            Path().rect(left ? 3.0f : fw - 9, 0, 6, fh - 3),
            linear({left ? 3.0f : fw - 3, 0}, hex(0x9FE0EA, 0.5f), {left ? 9.0f : fw - 9, 0}, hex(0x9FE0EA, 0.0f)));
    }
    // Barnacles and weed along the undersides.
    Rng rng(kCeilingSeed + static_cast<std::uint32_t>(groupX * 31 + h));
    for (int i = 0; i < std::max(1, w / 9); ++i) {
        const float x = rng.uniform(2, std::max(2.5f, fw - 2));
        if (rng.range(0, 2) == 0) {
            std::vector<Vec> weed;
            const float len = rng.uniform(5, 14);
            for (int k = 0; k <= 6; ++k)
                weed.push_back({x + std::sin(static_cast<float>(k) * 0.9f + x) * 1.2f,
                                fh - 3 - len * static_cast<float>(k) / 6.0f});
            img.stroke(weed, 1.8f, mix(kMoss, hex(0x7FC46A), rng.uniform(0, 0.5f)));
        } else {
            const float y = rng.uniform(fh - 12, fh - 6), r = rng.uniform(1.3f, 2.4f);
            img.fill(circle(x, y, r), hex(0xC9C3B0));
            img.fill(circle(x, y, r * 0.45f), hex(0x3A3A40));
        }
    }
    Picture p;
    p.image = img;
    p.keyed = false; // solid all over
    return p;
}

// The profile of the sea floor: the sand line is at `edge` at both ends, so any pieces join.
float floorProfile(float x, float w, float edge, std::uint32_t seed) {
    const float t = x / w;
    const float hump = std::sin(t * kPi) * (fbm(x * 0.02f, 3.0f, seed, 3) - 0.45f) * 40;
    return edge + hump;
}

Picture seaFloor(const Args& a) {
    const int w = a.integer(0), h = a.integer(1);
    const auto seed = static_cast<std::uint32_t>(a.integer(2));
    const float fw = static_cast<float>(w), fh = static_cast<float>(h), edge = 44;
    Image img(w, h);
    Rng rng(seed);
    // Rocks sitting in the sand, behind it.
    for (int i = 0; i < 2 + rng.range(0, 2); ++i) {
        const float cx = rng.uniform(30, fw - 30), rw = rng.uniform(18, 40), rh = rng.uniform(16, 34);
        Path rock;
        rock.moveTo(cx - rw, edge + 14)
            .cubicTo(cx - rw, edge - rh, cx + rw * 0.3f, edge - rh * 1.2f, cx + rw, edge + 14)
            .close();
        img.fill(rock, rockPaint(seed + static_cast<std::uint32_t>(i), mix(kRock, kMoss, 0.25f), 0.08f));
        img.fill(rock, linear({cx, edge - rh}, hex(0xBFE8F0, 0.25f), {cx, edge + 10}, hex(0x000000, 0.3f)),
                 Blend::Atop);
    }
    // Sand.
    Path sand;
    sand.moveTo(0, fh);
    for (int x = 0; x <= w; x += 3)
        sand.lineTo(static_cast<float>(x), floorProfile(static_cast<float>(x), fw, edge, seed));
    sand.lineTo(fw, floorProfile(fw, fw, edge, seed)).lineTo(fw, fh).close();
    img.fill(sand, [=](float x, float y) {
        const float n = fbm(x * 0.07f, y * 0.07f, seed + 50, 4);
        const float ripple = 0.5f + 0.5f * std::sin(x * 0.18f + y * 0.5f + n * 6);
        Color c = mix(kSand, kSandDark, std::clamp((y - edge) / (fh - edge), 0.0f, 1.0f) * 0.7f);
        c = mix(c, darken(c, 0.25f), ripple * 0.35f + n * 0.2f);
        return c;
    });
    // The lit crest of the sand.
    std::vector<Vec> crest;
    for (int x = 0; x <= w; x += 3)
        crest.push_back({static_cast<float>(x), floorProfile(static_cast<float>(x), fw, edge, seed) + 1});
    img.stroke(crest, 2.0f, hex(0xF4DFA8, 0.8f));
    // Pebbles and shells.
    for (int i = 0; i < w / 12; ++i) {
        const float x = rng.uniform(4, fw - 4);
        const float y = rng.uniform(floorProfile(x, fw, edge, seed) + 6, fh - 4);
        if (rng.range(0, 3) == 0) {
            Path shell;
            shell.moveTo(x - 3, y + 1).quadTo(x, y - 4, x + 3, y + 1).close();
            img.fill(shell, hex(0xF2E2D0));
            img.stroke({{x, y - 2}, {x, y + 1}}, 0.6f, hex(0xB89A80));
        } else {
            img.fill(Path().ellipse(x, y, rng.uniform(1.2f, 3.0f), rng.uniform(1.0f, 2.0f)),
                     mix(kSandDark, kRockLight, rng.uniform(0, 1)));
        }
    }
    // Deep shade towards the bottom of the screen.
    img.fill(Path().rect(0, fh - 30, fw, 30), linear({0, fh - 30}, hex(0x000000, 0.0f), {0, fh}, hex(0x0A1424, 0.5f)),
             Blend::Atop);
    Picture p;
    p.image = img;
    return p;
}

// A bubble: clear, with a rim and a glint.
Picture bubble(const Args& a) {
    const int d = a.integer(0);
    const float r = static_cast<float>(d) / 2 - 0.5f, c = static_cast<float>(d) / 2;
    Image img(d, d);
    img.fill(circle(c, c, r),
             radial({c - r * 0.3f, c - r * 0.3f}, r * 1.4f, hex(0xE8FCFF, 0.55f), hex(0x7FD8F0, 0.75f)));
    img.stroke(Path().ellipse(c, c, r - 0.5f, r - 0.5f).contours().front(), 1.0f, hex(0xE8FCFF), true);
    img.fill(circle(c - r * 0.35f, c - r * 0.35f, std::max(0.8f, r * 0.25f)), hex(0xFFFFFF));
    Picture p;
    p.image = img;
    return p;
}

// Plants. kelp: tall swaying ribbons; fan: a still sea fan; grass: a clump that sways.
void kelp(Image& img, float sway) {
    const float w = static_cast<float>(img.width()), h = static_cast<float>(img.height());
    for (int s = 0; s < 3; ++s) {
        const float base = w * (0.3f + 0.2f * static_cast<float>(s));
        const float height = h * (0.95f - 0.15f * static_cast<float>(s % 2));
        std::vector<Vec> stem;
        for (int k = 0; k <= 16; ++k) {
            const float t = static_cast<float>(k) / 16.0f;
            stem.push_back(
                {base + std::sin(t * 3.0f + static_cast<float>(s)) * 3 + sway * t * t * 7, h - 1 - t * height});
        }
        const Color c = mix(hex(0x2F7A3A), hex(0x8CC84A), static_cast<float>(s) * 0.3f);
        img.stroke(stem, 3.0f, c);
        for (std::size_t k = 2; k < stem.size(); k += 2) {
            const float dir = (k % 4 == 0) ? 1.0f : -1.0f;
            Path leaf = Path()
                            .ellipse(0, 0, 6, 2.2f)
                            .transformed(Affine::translate(5, 0)
                                             .then(Affine::rotate(-0.5f * dir + sway * 0.15f))
                                             .then(Affine::scale(dir, 1))
                                             .then(Affine::translate(stem[k].x, stem[k].y)));
            img.fill(leaf, lighten(c, 0.15f));
        }
    }
}

Picture algae(const Args& a) {
    const std::string& kind = a.text(0);
    Picture p;
    if (kind == "kelp") {
        p = strip(40, 80, 3, [](Image& img, int f) { kelp(img, static_cast<float>(f) - 1.0f); });
    } else if (kind == "fan") {
        Image img(54, 53);
        Rng rng(9);
        std::vector<std::pair<Vec, Vec>> branches;
        std::function<void(Vec, float, float, int)> grow = [&](Vec from, float angle, float len, int depth) {
            const Vec to{from.x + std::cos(angle) * len, from.y + std::sin(angle) * len};
            img.stroke({from, to}, std::max(0.9f, 3.2f - static_cast<float>(depth) * 0.7f),
                       mix(hex(0xB0304A), hex(0xF07A8A), static_cast<float>(depth) / 4.0f));
            if (depth < 4) {
                grow(to, angle - rng.uniform(0.25f, 0.5f), len * 0.72f, depth + 1);
                grow(to, angle + rng.uniform(0.25f, 0.5f), len * 0.72f, depth + 1);
            }
        };
        grow({27, 52}, -kPi / 2, 16, 0);
        p.image = img;
    } else {
        p = strip(36, 104, 4, [](Image& img, int f) {
            const float sway = std::sin(static_cast<float>(f) * kPi / 2);
            for (int s = 0; s < 7; ++s) {
                const float base = 6 + static_cast<float>(s) * 4;
                const float height = 60 + static_cast<float>((s * 37) % 40);
                std::vector<Vec> blade;
                for (int k = 0; k <= 10; ++k) {
                    const float t = static_cast<float>(k) / 10.0f;
                    blade.push_back(
                        {base + (static_cast<float>(s) - 3) * t * 2.5f + sway * t * t * 6, 103 - t * height});
                }
                img.stroke(blade, 2.4f - static_cast<float>(s % 2) * 0.6f,
                           mix(hex(0x1F6E5A), hex(0x6FD0A0), static_cast<float>(s % 3) * 0.35f));
            }
        });
    }
    return p;
}

const RegisterProgram kBack("sea", background);
const RegisterProgram kCeiling("ceiling", ceiling);
const RegisterProgram kFloor("sea-floor", seaFloor);
const RegisterProgram kBubble("bubble", bubble);
const RegisterProgram kAlgae("plant", algae);

} // namespace

// Shared with the menu pictures.
Image seaImage(int w, int h, int surfaceY, std::uint32_t seed) { return sea(w, h, surfaceY, seed); }

} // namespace art
