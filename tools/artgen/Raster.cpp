// SPDX-License-Identifier: MIT
// Scanline filling with sub-row sampling and exact horizontal coverage, strokes built from
// segment quads and round caps, compositing, scaling, blur and value noise.
#include "Raster.h"

#include <algorithm>
#include <cmath>

namespace art {

namespace {

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Sub-rows sampled per pixel row: enough to keep near-horizontal edges free of visible steps.
constexpr int kSubRows = 8;

} // namespace

Color hex(std::uint32_t rgb, float alpha) {
    return {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
            static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}

Color mix(Color a, Color b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color withAlpha(Color c, float alpha) { return {c.r, c.g, c.b, alpha}; }
Color lighten(Color c, float amount) { return mix(c, Color{1, 1, 1, c.a}, amount); }
Color darken(Color c, float amount) { return mix(c, Color{0, 0, 0, c.a}, amount); }

Affine Affine::translate(float x, float y) { return {1, 0, 0, 1, x, y}; }
Affine Affine::scale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }
Affine Affine::rotate(float r) { return {std::cos(r), std::sin(r), -std::sin(r), std::cos(r), 0, 0}; }

Affine Affine::then(const Affine& n) const {
    return {n.a * a + n.c * b, n.b * a + n.d * b,       n.a * c + n.c * d,
            n.b * c + n.d * d, n.a * e + n.c * f + n.e, n.b * e + n.d * f + n.f};
}

Vec Affine::apply(Vec p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }

Path& Path::moveTo(float x, float y) {
    contours_.push_back({{x, y}});
    current_ = {x, y};
    return *this;
}

Path& Path::lineTo(float x, float y) {
    if (contours_.empty()) contours_.push_back({current_});
    contours_.back().push_back({x, y});
    current_ = {x, y};
    return *this;
}

Path& Path::quadTo(float cx, float cy, float x, float y) {
    const Vec p0 = current_;
    const int steps = 16;
    for (int i = 1; i <= steps; ++i) {
        const float t = static_cast<float>(i) / steps, u = 1 - t;
        lineTo(u * u * p0.x + 2 * u * t * cx + t * t * x, u * u * p0.y + 2 * u * t * cy + t * t * y);
    }
    return *this;
}

Path& Path::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    const Vec p0 = current_;
    const int steps = 24;
    for (int i = 1; i <= steps; ++i) {
        const float t = static_cast<float>(i) / steps, u = 1 - t;
        const float k0 = u * u * u, k1 = 3 * u * u * t, k2 = 3 * u * t * t, k3 = t * t * t;
        lineTo(k0 * p0.x + k1 * c1x + k2 * c2x + k3 * x, k0 * p0.y + k1 * c1y + k2 * c2y + k3 * y);
    }
    return *this;
}

Path& Path::close() {
    if (!contours_.empty() && !contours_.back().empty()) current_ = contours_.back().front();
    return *this;
}

Path& Path::ellipse(float cx, float cy, float rx, float ry) {
    const int steps = std::clamp(static_cast<int>((rx + ry) * 1.5f), 24, 256);
    std::vector<Vec> pts;
    for (int i = 0; i < steps; ++i) {
        const float t = 2 * kPi * static_cast<float>(i) / static_cast<float>(steps);
        pts.push_back({cx + rx * std::cos(t), cy + ry * std::sin(t)});
    }
    contours_.push_back(pts);
    return *this;
}

Path& Path::rect(float x, float y, float w, float h) {
    contours_.push_back({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
    return *this;
}

Path& Path::roundRect(float x, float y, float w, float h, float r) {
    r = std::min({r, w / 2, h / 2});
    std::vector<Vec> pts;
    const Vec centres[4] = {{x + w - r, y + r}, {x + w - r, y + h - r}, {x + r, y + h - r}, {x + r, y + r}};
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i <= 8; ++i) {
            const float t = (static_cast<float>(c) - 1.0f + static_cast<float>(i) / 8.0f) * kPi / 2;
            pts.push_back({centres[c].x + r * std::cos(t), centres[c].y + r * std::sin(t)});
        }
    }
    contours_.push_back(pts);
    return *this;
}

Path& Path::polygon(const std::vector<Vec>& points) {
    contours_.push_back(points);
    return *this;
}

Path& Path::add(const Path& other) {
    contours_.insert(contours_.end(), other.contours_.begin(), other.contours_.end());
    return *this;
}

Path Path::transformed(const Affine& m) const {
    Path p;
    for (const auto& c : contours_) {
        std::vector<Vec> out;
        out.reserve(c.size());
        for (Vec v : c) out.push_back(m.apply(v));
        p.contours_.push_back(std::move(out));
    }
    return p;
}

Paint solid(Color c) {
    return [c](float, float) { return c; };
}

Paint linear(Vec from, Color c0, Vec to, Color c1) {
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    return [=](float x, float y) { return mix(c0, c1, clamp01(((x - from.x) * dx + (y - from.y) * dy) / len2)); };
}

Paint radial(Vec centre, float radius, Color inner, Color outer) {
    return [=](float x, float y) {
        const float d = std::hypot(x - centre.x, y - centre.y) / std::max(radius, 1e-3f);
        return mix(inner, outer, clamp01(d));
    };
}

Paint linearStops(Vec from, Vec to, std::vector<std::pair<float, Color>> stops) {
    const float dx = to.x - from.x, dy = to.y - from.y;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    return [=](float x, float y) {
        const float t = clamp01(((x - from.x) * dx + (y - from.y) * dy) / len2);
        if (t <= stops.front().first) return stops.front().second;
        for (std::size_t i = 1; i < stops.size(); ++i) {
            if (t <= stops[i].first) {
                const float span = std::max(stops[i].first - stops[i - 1].first, 1e-6f);
                return mix(stops[i - 1].second, stops[i].second, (t - stops[i - 1].first) / span);
            }
        }
        return stops.back().second;
    };
}

Image::Image(int width, int height)
    : w_(std::max(width, 0)), h_(std::max(height, 0)),
      px_(static_cast<std::size_t>(w_) * static_cast<std::size_t>(h_), Color{0, 0, 0, 0}) {}

std::vector<float> Image::coverage(const Path& path, FillRule rule) const {
    std::vector<float> cover(px_.size(), 0.0f);
    struct Edge {
        float x0, y0, x1, y1;
        int dir;
    };
    std::vector<Edge> edges;
    float minY = 1e9f, maxY = -1e9f;
    for (const auto& c : path.contours()) {
        if (c.size() < 3) continue;
        for (std::size_t i = 0; i < c.size(); ++i) {
            Vec a = c[i], b = c[(i + 1) % c.size()];
            if (a.y == b.y) continue;
            int dir = 1;
            if (a.y > b.y) {
                std::swap(a, b);
                dir = -1;
            }
            edges.push_back({a.x, a.y, b.x, b.y, dir});
            minY = std::min(minY, a.y);
            maxY = std::max(maxY, b.y);
        }
    }
    if (edges.empty()) return cover;
    const int row0 = std::max(0, static_cast<int>(std::floor(minY)));
    const int row1 = std::min(h_ - 1, static_cast<int>(std::ceil(maxY)));
    std::vector<std::pair<float, int>> xs;
    const float w = 1.0f / kSubRows;
    for (int row = row0; row <= row1; ++row) {
        float* line = cover.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(w_);
        for (int s = 0; s < kSubRows; ++s) {
            const float sy = static_cast<float>(row) + (static_cast<float>(s) + 0.5f) * w;
            xs.clear();
            for (const Edge& e : edges) {
                if (sy < e.y0 || sy >= e.y1) continue;
                xs.push_back({e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
            }
            if (xs.size() < 2) continue;
            std::sort(xs.begin(), xs.end(), [](const auto& p, const auto& q) { return p.first < q.first; });
            int winding = 0;
            for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
                winding += xs[i].second;
                const bool inside = rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
                if (!inside) continue;
                float a = std::max(xs[i].first, 0.0f), b = std::min(xs[i + 1].first, static_cast<float>(w_));
                if (b <= a) continue;
                const int ia = static_cast<int>(a), ib = static_cast<int>(b);
                if (ia == ib) {
                    line[ia] += (b - a) * w;
                    continue;
                }
                line[ia] += (static_cast<float>(ia + 1) - a) * w;
                for (int x = ia + 1; x < ib; ++x) line[x] += w;
                if (ib < w_) line[ib] += (b - static_cast<float>(ib)) * w;
            }
        }
    }
    for (float& c : cover) c = std::min(c, 1.0f);
    return cover;
}

void Image::blendPixel(Color& dst, Color src, float cover, Blend blend) const {
    const float a = clamp01(src.a * cover);
    if (a <= 0) return;
    switch (blend) {
    case Blend::Over:
        dst.r = src.r * a + dst.r * (1 - a);
        dst.g = src.g * a + dst.g * (1 - a);
        dst.b = src.b * a + dst.b * (1 - a);
        dst.a = a + dst.a * (1 - a);
        break;
    case Blend::Atop: {
        const float k = a; // painted only where the destination has alpha; its alpha stays
        dst.r = src.r * k * dst.a + dst.r * (1 - k);
        dst.g = src.g * k * dst.a + dst.g * (1 - k);
        dst.b = src.b * k * dst.a + dst.b * (1 - k);
        break;
    }
    case Blend::Erase:
        dst.r *= 1 - a;
        dst.g *= 1 - a;
        dst.b *= 1 - a;
        dst.a *= 1 - a;
        break;
    }
}

void Image::fill(const Path& path, const Paint& paint, Blend blend, FillRule rule) {
    const std::vector<float> cover = coverage(path, rule);
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            const float c =
                cover[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) + static_cast<std::size_t>(x)];
            if (c <= 0) continue;
            blendPixel(at(x, y), paint(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), c, blend);
        }
    }
}

void Image::stroke(const std::vector<Vec>& line, float width, const Paint& paint, bool closed, Blend blend) {
    if (line.empty()) return;
    const float r = width / 2;
    Path p;
    const std::size_t n = line.size();
    const std::size_t segs = closed ? n : n - 1;
    for (std::size_t i = 0; i < segs; ++i) {
        const Vec a = line[i], b = line[(i + 1) % n];
        const float dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        if (len < 1e-4f) continue;
        const float nx = -dy / len * r, ny = dx / len * r;
        std::vector<Vec> quad = {
            {a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
        // Same turning direction for every piece, so overlapping pieces unite under the non-zero rule.
        const float area =
            (quad[1].x - quad[0].x) * (quad[2].y - quad[0].y) - (quad[2].x - quad[0].x) * (quad[1].y - quad[0].y);
        if (area < 0) std::reverse(quad.begin(), quad.end());
        p.polygon(quad);
    }
    for (const Vec v : line) {
        Path dot;
        dot.ellipse(v.x, v.y, r, r);
        auto pts = dot.contours().front();
        p.polygon(pts); // ellipses run clockwise on screen, like the quads above after the fix-up
    }
    fill(p, paint, blend);
}

void Image::put(int x, int y, Color c, float cover, Blend blend) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    blendPixel(at(x, y), c, cover, blend);
}

void Image::paintAll(const Paint& paint, Blend blend) {
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x)
            blendPixel(at(x, y), paint(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f), 1.0f, blend);
}

void Image::draw(const Image& src, int dx, int dy, float opacity, Blend blend) {
    for (int y = 0; y < src.h_; ++y) {
        const int ty = y + dy;
        if (ty < 0 || ty >= h_) continue;
        for (int x = 0; x < src.w_; ++x) {
            const int tx = x + dx;
            if (tx < 0 || tx >= w_) continue;
            const Color s = src.at(x, y);
            if (s.a <= 0) continue;
            // Source is premultiplied: undo it for the blend, which multiplies again.
            const Color straight{s.r / s.a, s.g / s.a, s.b / s.a, s.a};
            blendPixel(at(tx, ty), straight, opacity, blend);
        }
    }
}

Image Image::scaled(int width, int height) const {
    Image out(width, height);
    if (w_ == 0 || h_ == 0) return out;
    const float sx = static_cast<float>(w_) / static_cast<float>(width);
    const float sy = static_cast<float>(h_) / static_cast<float>(height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Color acc{0, 0, 0, 0};
            if (sx > 1 || sy > 1) {
                const int x0 = static_cast<int>(static_cast<float>(x) * sx),
                          x1 = std::max(x0 + 1, static_cast<int>(static_cast<float>(x + 1) * sx));
                const int y0 = static_cast<int>(static_cast<float>(y) * sy),
                          y1 = std::max(y0 + 1, static_cast<int>(static_cast<float>(y + 1) * sy));
                int n = 0;
                for (int yy = y0; yy < std::min(y1, h_); ++yy)
                    for (int xx = x0; xx < std::min(x1, w_); ++xx, ++n) {
                        const Color& c = at(xx, yy);
                        acc.r += c.r, acc.g += c.g, acc.b += c.b, acc.a += c.a;
                    }
                if (n > 0)
                    acc = {acc.r / static_cast<float>(n), acc.g / static_cast<float>(n), acc.b / static_cast<float>(n),
                           acc.a / static_cast<float>(n)};
            } else {
                const float fx =
                    std::clamp((static_cast<float>(x) + 0.5f) * sx - 0.5f, 0.0f, static_cast<float>(w_ - 1));
                const float fy =
                    std::clamp((static_cast<float>(y) + 0.5f) * sy - 0.5f, 0.0f, static_cast<float>(h_ - 1));
                const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
                const int jx = std::min(ix + 1, w_ - 1), jy = std::min(iy + 1, h_ - 1);
                const float tx = fx - static_cast<float>(ix), ty = fy - static_cast<float>(iy);
                acc = mix(mix(at(ix, iy), at(jx, iy), tx), mix(at(ix, jy), at(jx, jy), tx), ty);
            }
            out.at(x, y) = acc;
        }
    }
    return out;
}

Image Image::flippedX() const {
    Image out(w_, h_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) out.at(w_ - 1 - x, y) = at(x, y);
    return out;
}

Image Image::glow(float radius, Color c) const {
    // Three box blurs of the alpha approximate a gaussian.
    std::vector<float> a(px_.size()), tmp(px_.size());
    for (std::size_t i = 0; i < px_.size(); ++i) a[i] = px_[i].a;
    const int r = std::max(1, static_cast<int>(radius / 2));
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += a[static_cast<std::size_t>(y * w_ + std::clamp(x + k, 0, w_ - 1))];
                tmp[static_cast<std::size_t>(y * w_ + x)] = s / static_cast<float>(2 * r + 1);
            }
        }
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) {
                float s = 0;
                for (int k = -r; k <= r; ++k) s += tmp[static_cast<std::size_t>(std::clamp(y + k, 0, h_ - 1) * w_ + x)];
                a[static_cast<std::size_t>(y * w_ + x)] = s / static_cast<float>(2 * r + 1);
            }
        }
    }
    Image out(w_, h_);
    for (std::size_t i = 0; i < px_.size(); ++i) {
        const float al = clamp01(a[i] * c.a);
        out.px_[i] = {c.r * al, c.g * al, c.b * al, al};
    }
    return out;
}

namespace {

std::uint32_t hash3(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h *= 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x165667B1u;
    h ^= h >> 13;
    return h;
}

float lattice(std::int32_t x, std::int32_t y, std::uint32_t seed, int period) {
    if (period > 0) x = ((x % period) + period) % period;
    return static_cast<float>(hash3(x, y, seed) & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

} // namespace

float noise(float x, float y, std::uint32_t seed, int periodX) {
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = lattice(ix, iy, seed, periodX), b = lattice(ix + 1, iy, seed, periodX);
    const float c = lattice(ix, iy + 1, seed, periodX), d = lattice(ix + 1, iy + 1, seed, periodX);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, std::uint32_t seed, int octaves, int periodX) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise(x, y, seed + static_cast<std::uint32_t>(o) * 101u, periodX);
        norm += amp;
        x *= 2;
        y *= 2;
        periodX *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

std::uint32_t Rng::next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
}

float Rng::uniform(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(next() & 0xFFFFFF) / static_cast<float>(0xFFFFFF);
}

int Rng::range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }

} // namespace art
