// SPDX-License-Identifier: MIT
// Cost of one busy game tick with its drawing and presenting: a level-7 field with about 220 bubbles
// behind the diver at the floor, a dozen fish, bonus floats on their ropes, the ceiling and floor
// chains, and the diver fighting: the supergun and the net held, their shots in flight, fish killed
// and their bodies sinking, the timed bonuses running with the hand engine. Reports the heap
// allocations per tick next to the sprites the tick made.
// Run from the build folder: the pictures and sounds are taken from ../run beside bench/.
#include "BenchRunFolder.h"
#include "AllocationCounter.h"

#include "game/GameSprites.h"
#include "game/GameState.h"
#include "platform/EventLoop.h"
#include "platform/Random.h"
#include "platform/Window.h"
#include "shell/Application.h"
#include "shell/Config.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "state/Settings.h"
#include "state/ShellState.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class GameScene {
public:
    GameScene() {
        ResetGameState();
        window_ = std::make_unique<tw::platform::Window>();
        form_ = std::make_unique<TmainForm>(app_, window_.get());
        form_->FormShown();
        tw::platform::Event focus;
        focus.type = tw::platform::Event::Type::FocusGained;
        dispatcher_.deliver(focus, app_);
        tw::platform::seedRandom(7);

        Shell.MenuScreen = msMain;
        Shell.MenuSelection = 1;
        form_->RunMenuCommand();
        Game.Level = 7;
        for (int i = 0; i < 94; ++i) tick();
        for (int i = 0; i < 400; ++i) keepBusy(), tick();
    }
    ~GameScene() {
        form_.reset();
        window_.reset();
    }
    TmainForm& form() { return *form_; }
    void tick() { form_->DXTimer2Timer(*form_->DXTimer2, 1); }

    // The diver stays at the floor's bound, alive and breathing, and the fish and floats stay many.
    int keepBusy() {
        int made = 0;
        Shell.GameState = gsPlaying;
        Game.Lives = 5;
        Game.Air = Game.AirMax;
        THeroSprite& hero = *Game.Hero;
        hero.Visible = true;
        hero.Y = THeroSprite::MaxBottom - hero.Height;
        // Fire and net held, every timed bonus running.
        Shell.MouseFireHeld = 1;
        Shell.MouseNetHeld = 1;
        for (TBonusIndicatorSprite* indicator : {Game.SupergunIndicator, Game.NetIndicator, Game.EngineIndicator})
            if (indicator && indicator->TimeLeft < 5000) indicator->Start();
        hero.GunRate = 12;
        if (Game.EngineSprite) Game.EngineSprite->Visible = true;
        TSprite& root = form_->DXSpriteEngine1->Engine();
        int fish = 0, bonuses = 0;
        for (int i = 0; i < root.ChildCount(); ++i) {
            TSprite* s = root.Child(i);
            if (s->Dead()) continue;
            if (dynamic_cast<TEnemySprite*>(s)) ++fish;
            if (dynamic_cast<TBonusSprite*>(s)) ++bonuses;
        }
        // Fish in the shots' way, so some are always being killed.
        for (; fish < 12; ++fish, ++made) {
            auto* f = new TEnemySprite(&root, tw::platform::random(13) + 1);
            if (fish % 3 == 0 && f->Kind != 7) f->Y = hero.Y - 40 + tw::platform::random(60);
        }
        for (; bonuses < 3; ++bonuses, ++made) new TBonusSprite(&root);
        return made;
    }

    template <class Sprite>
    int countOf() {
        TSprite& root = form_->DXSpriteEngine1->Engine();
        int n = 0;
        for (int i = 0; i < root.ChildCount(); ++i) n += dynamic_cast<Sprite*>(root.Child(i)) != nullptr;
        return n;
    }

    int count(bool bubbles) {
        TSprite& root = form_->DXSpriteEngine1->Engine();
        int n = 0;
        for (int i = 0; i < root.ChildCount(); ++i)
            n += (dynamic_cast<TBubbleSprite*>(root.Child(i)) != nullptr) == bubbles;
        return n;
    }

private:
    BenchRunFolder folder_;
    TApplication app_;
    tw::platform::EventDispatcher dispatcher_;
    std::unique_ptr<tw::platform::Window> window_;
    std::unique_ptr<TmainForm> form_;
};

void BM_BusyGameTick(benchmark::State& state) {
    GameScene scene;
    if (!scene.form().DXDraw->CanDraw()) {
        state.SkipWithError("the display is not drawing");
        return;
    }
    TSpriteEngine& engine = scene.form().DXSpriteEngine1->Engine();
    std::int64_t allocations = 0, made = 0, sprites = 0;
    for (auto _ : state) {
        state.PauseTiming();
        scene.keepBusy();
        // The sprites marked dead go at the tick's start; whatever else changes the count was made.
        const std::int64_t before = engine.SpriteCount() - static_cast<std::int64_t>(engine.DeadList().size());
        const std::uint64_t a = tw::bench::allocationCount();
        state.ResumeTiming();
        scene.tick();
        state.PauseTiming();
        allocations += static_cast<std::int64_t>(tw::bench::allocationCount() - a);
        made += engine.SpriteCount() - before;
        sprites += engine.SpriteCount();
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["allocs_per_tick"] = static_cast<double>(allocations) / n;
    state.counters["made_per_tick"] = static_cast<double>(made) / n;
    state.counters["sprites"] = static_cast<double>(sprites) / n;
    state.counters["bubbles"] = scene.count(true);
    state.counters["shots"] = scene.countOf<THeroWeaponSprite>();
    state.counters["bodies"] = scene.countOf<TDeadBodySprite>();
}
BENCHMARK(BM_BusyGameTick)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
