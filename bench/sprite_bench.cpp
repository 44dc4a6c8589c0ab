// SPDX-License-Identifier: MIT
// Cost of a frame of the sprite tree: the move pass with the collision scans of a hero, its hand
// engine and a shot, and FreeDead; allocations are counted to show that a steady frame makes none.
#include "engine/DXSprite.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "AllocationCounter.h"

namespace {

// A fish: swims left and comes back in on the right, as the game's fish do over a level.
class Fish : public TImageSprite {
public:
    Fish(TSprite* parent, int i) : TImageSprite(parent) {
        X = 40 + (i * 37) % 760;
        Y = 130 + (i * 53) % 400;
        Width = 48;
        Height = 32;
        SetZ(7);
        FrameCount = 3;
        FrameLooped = true;
        FrameSpeed = 0.25;
    }
    void MoveSelf(std::int32_t moveCount) override {
        TImageSprite::MoveSelf(moveCount);
        X -= moveCount;
        if (X < -Width) {
            X = 800;
        }
    }
};

// A sprite that scans the tree every frame, as the hero, its engine and a shot do.
class Scanner : public TImageSprite {
public:
    Scanner(TSprite* parent, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) : TImageSprite(parent) {
        X = x;
        Y = y;
        Width = w;
        Height = h;
        SetZ(7);
    }
    void MoveSelf(std::int32_t moveCount) override {
        TImageSprite::MoveSelf(moveCount);
        hits += static_cast<std::uint64_t>(CheckCollisions());
    }
    void HandleCollision(TSprite* other, bool&) override { benchmark::DoNotOptimize(other); }
    std::uint64_t hits = 0;
};

struct Scene {
    explicit Scene(int fish) {
        surface.SetSize(800, 600);
        engine.SetSurface(&surface);
        for (int i = 0; i < fish; ++i) {
            shoal.push_back(new Fish(&engine, i));
        }
        hero = new Scanner(&engine, 150, 300, 64, 40);
        new Scanner(&engine, 263, 305, 24, 24); // the hand engine, in front of the hero
        new Scanner(&engine, 420, 310, 40, 8);  // a shot
    }
    TDirectDrawSurface surface;
    TSpriteEngine engine;
    Scanner* hero = nullptr;
    std::vector<Fish*> shoal;
};

void BM_MoveWithScans(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    scene.engine.MoveTree(1); // warm up: first frame may touch lazily made things
    scene.hero->hits = 0;
    const std::uint64_t before = tw::bench::allocationCount();
    for (auto _ : state) {
        scene.engine.MoveTree(1);
        scene.engine.FreeDead(); // nothing died: the steady menu/game frame
    }
    const std::uint64_t allocations = tw::bench::allocationCount() - before;
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
    state.counters["sprites"] = static_cast<double>(scene.engine.SpriteCount());
    state.counters["hits_per_frame"] =
        benchmark::Counter(static_cast<double>(scene.hero->hits) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_MoveWithScans)->Arg(100)->Arg(400)->Arg(1000)->Unit(benchmark::kMicrosecond);

// FreeDead of a tenth of the tree (a heavy frame: a net sweep); marking and rebuilding are untimed.
void BM_FreeDead(benchmark::State& state) {
    const int fish = static_cast<int>(state.range(0));
    const int dying = fish / 10;
    Scene scene(fish);
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < dying; ++i) {
            scene.shoal[static_cast<std::size_t>(i * 10)]->MarkDead();
        }
        const std::uint64_t before = tw::bench::allocationCount();
        state.ResumeTiming();
        scene.engine.FreeDead();
        state.PauseTiming();
        allocations += tw::bench::allocationCount() - before;
        for (int i = 0; i < dying; ++i) {
            scene.shoal[static_cast<std::size_t>(i * 10)] = new Fish(&scene.engine, i);
        }
        state.ResumeTiming();
    }
    state.counters["freed_per_frame"] = dying;
    state.counters["allocs_per_frame"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FreeDead)->Arg(100)->Arg(400)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A whole game-like frame: FreeDead, then the move pass in which the shot kills one fish and a new
// one swims in. The one allocation per frame is the new fish itself.
class Shooter : public Scanner {
public:
    using Scanner::Scanner;
    void HandleCollision(TSprite* other, bool& done) override {
        // The scan still calls back for the remaining top-level sprites after done is set.
        if (done) {
            return;
        }
        if (dynamic_cast<Fish*>(other) != nullptr && !other->Dead()) {
            other->MarkDead();
            new Fish(Engine(), spawned++);
            done = true;
        }
    }
    int spawned = 0;
};

void BM_GameFrame(benchmark::State& state) {
    Scene scene(static_cast<int>(state.range(0)));
    auto* shot = new Shooter(&scene.engine, 0, 0, 800, 600); // always overlaps something
    const std::uint64_t before = tw::bench::allocationCount();
    for (auto _ : state) {
        scene.engine.FreeDead();
        scene.engine.MoveTree(1);
    }
    state.counters["allocs_per_frame"] = benchmark::Counter(static_cast<double>(tw::bench::allocationCount() - before) /
                                                            static_cast<double>(state.iterations()));
    state.counters["spawned"] = shot->spawned;
}
BENCHMARK(BM_GameFrame)->Arg(100)->Arg(400)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
