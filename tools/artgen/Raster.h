// SPDX-License-Identifier: MIT
// The drawing kit of the picture generator: colours, paths, paints and an anti-aliased RGBA image
// that paths are filled and stroked into. Everything is deterministic: same calls, same pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace art {

// Straight (not premultiplied) colour, each channel 0..1.
struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};
// 0xRRGGBB with an opacity.
Color hex(std::uint32_t rgb, float alpha = 1.0f);
Color mix(Color a, Color b, float t);
Color withAlpha(Color c, float alpha);
Color lighten(Color c, float amount); // towards white
Color darken(Color c, float amount);  // towards black

struct Vec {
    float x = 0, y = 0;
};

// x' = a x + c y + e, y' = b x + d y + f
struct Affine {
    float a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    static Affine translate(float x, float y);
    static Affine scale(float sx, float sy);
    static Affine rotate(float radians);
    Affine then(const Affine& next) const; // this first, then next
    Vec apply(Vec p) const;
};

// Closed contours of straight segments; curves are flattened as they are added.
class Path {
public:
    Path& moveTo(float x, float y);
    Path& lineTo(float x, float y);
    Path& quadTo(float cx, float cy, float x, float y);
    Path& cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
    Path& close();
    Path& ellipse(float cx, float cy, float rx, float ry);
    Path& rect(float x, float y, float w, float h);
    Path& roundRect(float x, float y, float w, float h, float r);
    Path& polygon(const std::vector<Vec>& points);
    Path& add(const Path& other);
    Path transformed(const Affine& m) const;

    const std::vector<std::vector<Vec>>& contours() const { return contours_; }

private:
    std::vector<std::vector<Vec>> contours_;
    Vec current_{};
};

// The colour a shape takes at a point (pixel centres are at x + 0.5).
using Paint = std::function<Color(float x, float y)>;
Paint solid(Color c);
Paint linear(Vec from, Color c0, Vec to, Color c1);
Paint radial(Vec centre, float radius, Color inner, Color outer);
// A gradient through several stops (positions 0..1, ascending) along from -> to.
Paint linearStops(Vec from, Vec to, std::vector<std::pair<float, Color>> stops);

enum class FillRule { NonZero, EvenOdd };
enum class Blend { Over, Atop, Erase };

class Image {
public:
    Image() = default;
    Image(int width, int height);

    int width() const { return w_; }
    int height() const { return h_; }

    // Premultiplied pixel access.
    Color& at(int x, int y) {
        return px_[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)];
    }
    const Color& at(int x, int y) const {
        return px_[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)];
    }

    // Over: paint on top. Atop: only where the image already has colour (keeps its alpha).
    // Erase: cut the shape out.
    void fill(const Path& path, const Paint& paint, Blend blend = Blend::Over, FillRule rule = FillRule::NonZero);
    void fill(const Path& path, Color c, Blend blend = Blend::Over) { fill(path, solid(c), blend); }
    // A polyline (closed or open) of the given width with round joins and caps.
    void stroke(const std::vector<Vec>& line, float width, const Paint& paint, bool closed = false,
                Blend blend = Blend::Over);
    void stroke(const std::vector<Vec>& line, float width, Color c, bool closed = false, Blend blend = Blend::Over) {
        stroke(line, width, solid(c), closed, blend);
    }
    // One pixel of a straight colour, with a coverage; outside the image nothing happens.
    void put(int x, int y, Color c, float cover = 1.0f, Blend blend = Blend::Over);
    // Every pixel, with a per-pixel paint (the whole image is the shape).
    void paintAll(const Paint& paint, Blend blend = Blend::Over);

    // Another image on top at an offset, with an opacity.
    void draw(const Image& src, int dx, int dy, float opacity = 1.0f, Blend blend = Blend::Over);
    // A scaled copy (box filter when shrinking, bilinear when growing).
    Image scaled(int width, int height) const;
    Image flippedX() const;
    // The image's own alpha, blurred, coloured: for shadows and glows.
    Image glow(float radius, Color c) const;

    // Coverage (0..1) of a path per pixel; exposed for tests and masks.
    std::vector<float> coverage(const Path& path, FillRule rule = FillRule::NonZero) const;

private:
    void blendPixel(Color& dst, Color src, float cover, Blend blend) const;

    int w_ = 0, h_ = 0;
    std::vector<Color> px_;
};

// Deterministic value noise in 0..1; `period` > 0 makes it repeat every period units in x.
float noise(float x, float y, std::uint32_t seed, int periodX = 0);
float fbm(float x, float y, std::uint32_t seed, int octaves, int periodX = 0);
// A deterministic pseudo-random generator for scattering details.
class Rng {
public:
    explicit Rng(std::uint32_t seed) : s_(seed * 2654435761u + 1u) {}
    std::uint32_t next();
    float uniform(float lo, float hi);
    int range(int lo, int hi); // inclusive

private:
    std::uint32_t s_;
};

inline constexpr float kPi = 3.14159265358979f;

} // namespace art
