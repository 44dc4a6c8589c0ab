// SPDX-License-Identifier: MIT
// Drawing speed: our colour-keyed pattern copies against SDL's colour-keyed blits (plain and RLE) on
// the same sprites, and one whole frame (fill, tiled background, 300 keyed sprites, five texts).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <ctime>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "graphics/Surface.h"

namespace {

constexpr std::uint32_t kKey = 0xFF00FF;
constexpr int kScreenW = 800, kScreenH = 600;

// One sprite picture: a rounded diamond (|x|^1.2 + |y|^1.2 <= 1 leaves about 40 % of the box
// transparent) with a few shaded bands, as drawn fish and treasure are.
std::vector<std::uint32_t> spritePixels(int w, int h, std::mt19937& rng) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const std::uint32_t base = rng() & 0xFEFEFEu;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (2.0 * x + 1 - w) / w, v = (2.0 * y + 1 - h) / h;
            const bool inside = std::pow(std::abs(u), 1.2) + std::pow(std::abs(v), 1.2) <= 1.0;
            px[static_cast<std::size_t>(y * w + x)] =
                inside ? (base + static_cast<std::uint32_t>((x / 4 + y / 3) % 7) * 0x010101u) : kKey;
        }
    return px;
}

struct Sprite {
    int w, h;
    std::unique_ptr<TDirectDrawSurface> ours;
    SDL_Surface* plain = nullptr; // colour key without RLE
    SDL_Surface* rle = nullptr;   // colour key with RLE acceleration
};

struct Placement {
    int sprite, x, y;
};

SDL_Surface* sdlSurface(const std::vector<std::uint32_t>& px, int w, int h) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    SDL_LockSurface(s);
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch,
                    px.data() + static_cast<std::size_t>(y * w), static_cast<std::size_t>(w) * 4);
    SDL_UnlockSurface(s);
    return s;
}

// The shared scene: 40 sprite pictures, 300 placements of mixed sizes covering about one screen,
// a 64 x 64 background tile, and the screens to draw on.
struct Scene {
    std::vector<Sprite> sprites;
    std::vector<Placement> placements;
    double transparentShare = 0;
    long coveredPixels = 0;
    TDirectDrawSurface screen, tile;
    SDL_Surface* sdlScreen = nullptr;
    SDL_Surface* sdlTile = nullptr;
    // The same pictures side by side on one 512-pixel-wide sheet, as a picture collection cuts them.
    TDirectDrawSurface sheet;
    SDL_Surface* sdlSheet = nullptr;
    std::vector<TRect> sheetRects;

    Scene() {
        std::mt19937 rng(1234);
        std::uniform_real_distribution<double> unit(0, 1);
        // Sizes 8..130, mostly small: a few large fish among many bubbles and coins.
        auto size = [&] { return 8 + static_cast<int>(122 * std::pow(unit(rng), 3.0)); };
        long keyed = 0, total = 0;
        for (int i = 0; i < 40; ++i) {
            Sprite s;
            s.w = size();
            s.h = size();
            auto px = spritePixels(s.w, s.h, rng);
            for (auto p : px) keyed += p == kKey;
            total += static_cast<long>(px.size());
            s.ours = std::make_unique<TDirectDrawSurface>();
            s.ours->SetSize(s.w, s.h);
            TDDSurfaceDesc d;
            s.ours->Lock(d);
            std::memcpy(d.Bits, px.data(), px.size() * 4);
            s.ours->Unlock();
            s.ours->SetColorKey(kKey);
            s.plain = sdlSurface(px, s.w, s.h);
            SDL_SetColorKey(s.plain, SDL_TRUE, kKey);
            SDL_SetSurfaceRLE(s.plain, 0);
            s.rle = sdlSurface(px, s.w, s.h);
            SDL_SetColorKey(s.rle, SDL_TRUE, kKey);
            SDL_SetSurfaceRLE(s.rle, 1);
            sprites.push_back(std::move(s));
        }
        transparentShare = static_cast<double>(keyed) / static_cast<double>(total);
        for (int i = 0; i < 300; ++i) {
            const int k = static_cast<int>(rng() % sprites.size());
            const Sprite& s = sprites[static_cast<std::size_t>(k)];
            // Some cross the screen's edges, as fish swimming in do.
            const int x = static_cast<int>(rng() % static_cast<unsigned>(kScreenW + s.w)) - s.w / 2;
            const int y = static_cast<int>(rng() % static_cast<unsigned>(kScreenH + s.h)) - s.h / 2;
            placements.push_back({k, x, y});
            coveredPixels += static_cast<long>(s.w) * s.h;
        }
        packSheet();
        screen.SetSize(kScreenW, kScreenH);
        tile.SetSize(64, 64);
        auto tilePx = spritePixels(64, 64, rng);
        for (auto& p : tilePx) p = p == kKey ? 0x203040 : p;
        TDDSurfaceDesc d;
        tile.Lock(d);
        std::memcpy(d.Bits, tilePx.data(), tilePx.size() * 4);
        tile.Unlock();
        sdlScreen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 32, SDL_PIXELFORMAT_RGB888);
        sdlTile = sdlSurface(tilePx, 64, 64);
        // SDL encodes its RLE form on the first blit; do it here, outside the timing.
        for (auto& s : sprites) {
            SDL_Rect r{0, 0, 0, 0};
            SDL_BlitSurface(s.rle, nullptr, sdlScreen, &r);
        }
        // Our run lists are built on the first keyed draw too.
        for (auto& s : sprites) screen.Draw(0, 0, s.ours->ClientRect(), s.ours.get(), true);
        screen.Draw(0, 0, sheetRects[0], &sheet, true);
        SDL_Rect r{0, 0, 0, 0};
        SDL_BlitSurface(sdlSheet, nullptr, sdlScreen, &r);
    }

    void packSheet() {
        int x = 0, y = 0, shelf = 0;
        for (const Sprite& s : sprites) {
            if (x + s.w > 512) {
                x = 0;
                y += shelf;
                shelf = 0;
            }
            sheetRects.push_back(Bounds(x, y, s.w, s.h));
            x += s.w;
            shelf = std::max(shelf, s.h);
        }
        sheet.SetSize(512, y + shelf);
        sheet.Fill(kKey);
        for (std::size_t i = 0; i < sprites.size(); ++i)
            sheet.Draw(sheetRects[i].Left, sheetRects[i].Top, sprites[i].ours.get(), false);
        sheet.SetColorKey(kKey);
        std::vector<std::uint32_t> px(sheet.Pixels(), sheet.Pixels() + 512 * sheet.Height());
        sdlSheet = sdlSurface(px, 512, sheet.Height());
        SDL_SetColorKey(sdlSheet, SDL_TRUE, kKey);
        SDL_SetSurfaceRLE(sdlSheet, 1);
    }

    void drawOursFromSheet() {
        for (const Placement& p : placements)
            screen.Draw(p.x, p.y, sheetRects[static_cast<std::size_t>(p.sprite)], &sheet, true);
    }
    void drawSdlFromSheet() {
        for (const Placement& p : placements) {
            const TRect& q = sheetRects[static_cast<std::size_t>(p.sprite)];
            SDL_Rect src{q.Left, q.Top, q.Width(), q.Height()};
            SDL_Rect r{p.x, p.y, 0, 0};
            SDL_BlitSurface(sdlSheet, &src, sdlScreen, &r);
        }
    }

    void drawOurs() {
        for (const Placement& p : placements) {
            TDirectDrawSurface* s = sprites[static_cast<std::size_t>(p.sprite)].ours.get();
            screen.Draw(p.x, p.y, s->ClientRect(), s, true);
        }
    }
    void drawSdl(bool rle) {
        for (const Placement& p : placements) {
            const Sprite& s = sprites[static_cast<std::size_t>(p.sprite)];
            SDL_Rect r{p.x, p.y, 0, 0};
            SDL_BlitSurface(rle ? s.rle : s.plain, nullptr, sdlScreen, &r);
        }
    }
    void tilesOurs() {
        for (int y = 0; y < kScreenH; y += 64)
            for (int x = 0; x < kScreenW; x += 64) screen.Draw(x, y, tile.ClientRect(), &tile, false);
    }
    void tilesSdl() {
        for (int y = 0; y < kScreenH; y += 64)
            for (int x = 0; x < kScreenW; x += 64) {
                SDL_Rect r{x, y, 0, 0};
                SDL_BlitSurface(sdlTile, nullptr, sdlScreen, &r);
            }
    }
    void texts() {
        auto& c = screen.Canvas();
        c.Brush.Style = bsClear;
        c.Font.Name = "Arial";
        c.Font.Size = 16;
        c.Font.Color = clWhite;
        c.TextOut(112, 10, "3");
        const std::string score = "12345";
        c.TextOut(717 - c.TextWidth(score) / 2, 42, score);
        c.Font.Color = RGB(153, 204, 255);
        c.TextOut(200, 165, "YOUR SCORE IS 12345");
        c.TextOut(240, 230, "PLEASE, ENTER YOUR NAME:");
        c.Font.Size = 38;
        c.Font.Color = RGB(255, 0, 0);
        c.TextOut(320, 280, "LEVEL 3");
        c.Release();
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void describe(benchmark::State& state) {
    state.counters["sprites"] = static_cast<double>(scene().placements.size());
    state.counters["transparent_%"] = 100.0 * scene().transparentShare;
    state.counters["screens_covered"] = static_cast<double>(scene().coveredPixels) / (kScreenW * kScreenH);
}

void BM_KeyedSprites_Ours(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.drawOurs();
        benchmark::ClobberMemory();
    }
    describe(state);
}

void BM_KeyedSprites_SdlColorKey(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.drawSdl(false);
        benchmark::ClobberMemory();
    }
    describe(state);
}

void BM_KeyedSprites_SdlColorKeyRle(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.drawSdl(true);
        benchmark::ClobberMemory();
    }
    describe(state);
}

// This thread's processor time in microseconds: other programs running on the machine do not count.
double cpuMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// Both sides in alternating blocks of the same loop, so a change of machine load hits both alike; each
// block runs 16 screens in a row, as a game does, so neither pays much for the other's evicted cache.
void BM_KeyedSprites_RatioToSdlRle(benchmark::State& state) {
    constexpr int kBlock = 16;
    Scene& s = scene();
    double ours = 0, sdl = 0;
    bool oursFirst = true;
    for (auto _ : state) {
        auto timeOurs = [&] {
            const double t = cpuMicros();
            for (int i = 0; i < kBlock; ++i) {
                s.drawOurs();
                benchmark::ClobberMemory();
            }
            ours += cpuMicros() - t;
        };
        auto timeSdl = [&] {
            const double t = cpuMicros();
            for (int i = 0; i < kBlock; ++i) {
                s.drawSdl(true);
                benchmark::ClobberMemory();
            }
            sdl += cpuMicros() - t;
        };
        if (oursFirst) {
            timeOurs();
            timeSdl();
        } else {
            timeSdl();
            timeOurs();
        }
        oursFirst = !oursFirst;
    }
    const auto n = static_cast<double>(state.iterations()) * kBlock;
    state.counters["ours_us"] = ours / n;
    state.counters["sdl_rle_us"] = sdl / n;
    state.counters["ratio"] = sdl / ours; // above 1: ours is faster
}

// Patterns cut from a shared sheet: the way picture collections hold them.
void BM_KeyedPatterns_Ours(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.drawOursFromSheet();
        benchmark::ClobberMemory();
    }
    describe(state);
}

void BM_KeyedPatterns_SdlColorKeyRle(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.drawSdlFromSheet();
        benchmark::ClobberMemory();
    }
    describe(state);
}

void BM_Texts_Ours(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.texts();
        benchmark::ClobberMemory();
    }
}

void BM_Frame_Ours(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.screen.Fill(0);
        s.tilesOurs();
        s.drawOurs();
        s.texts();
        benchmark::ClobberMemory();
    }
    describe(state);
}

// The same frame with SDL's own operations (without the texts), for comparison on this machine.
void BM_Frame_SdlRle(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        SDL_FillRect(s.sdlScreen, nullptr, 0);
        s.tilesSdl();
        s.drawSdl(true);
        benchmark::ClobberMemory();
    }
    describe(state);
}

BENCHMARK(BM_KeyedSprites_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedSprites_SdlColorKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedSprites_SdlColorKeyRle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedSprites_RatioToSdlRle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedPatterns_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedPatterns_SdlColorKeyRle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Texts_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Frame_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Frame_SdlRle)->Unit(benchmark::kMillisecond);

} // namespace
