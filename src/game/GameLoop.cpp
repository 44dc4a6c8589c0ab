// SPDX-License-Identifier: MIT
// One game tick after the input has been read: play (air, bonus clocks, spawns) or the scroll while
// the diver's body floats away; the level and score texts; the level announcement, the pause and
// the change of level; and the state dump replays are compared by.
#include "engine/DXSprite.h"
#include "game/GameContext.h"
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/Canvas.h"
#include "platform/Random.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"

#include <algorithm>
#include <map>
#include <sstream>

namespace {

constexpr TColor White = RGB(255, 255, 255);
constexpr TColor Red = RGB(255, 0, 0);

void moveField(std::int32_t lagCount) {
    Game.DownReliefEnd -= Game.ScrollSpeed;
    Game.UpReliefEnd -= Game.ScrollSpeed;
    if (TCustomDXSpriteEngine* engine = CurrentGameContext().SpriteEngine) engine->Move(lagCount);
}

std::uint16_t delay(std::int32_t ticks) { return static_cast<std::uint16_t>(ticks); }

// A schedule spawns when its delay is found at 0 and counts down otherwise.
template <class Spawn>
void schedule(std::uint16_t& delayLeft, Spawn spawn) {
    if (delayLeft == 0)
        delayLeft = spawn();
    else
        --delayLeft;
}

void runPlayStep(std::int32_t lagCount) {
    THeroSprite* hero = Game.Hero;
    if (!hero) return;
    if (!hero->Visible) {
        if (Game.Lives < 1) {
            Shell.StateTimer = GameOverTime;
            SetGameState(gsGameOver);
            PlayGameSound("looser");
        } else {
            ClearGameField();
            hero->Visible = true;
        }
    }
    if (Game.UpReliefCount > Game.LevelLength && hero->InPlay && Game.UpReliefEnd <= 0) hero->InPlay = false;
    moveField(lagCount);
    Game.Air -= 1;

    if (Game.SupergunIndicator && Game.SupergunIndicator->Tick() && Game.Hero) Game.Hero->GunRate = 6;
    if (Game.EngineIndicator && Game.EngineIndicator->Tick()) {
        if (Game.EngineSprite) Game.EngineSprite->Visible = false;
        SetScrollSpeed(2);
    }
    if (Game.NetIndicator) Game.NetIndicator->Tick();

    TSprite& root = GameRoot();
    const std::int32_t level = std::max<std::int32_t>(Game.Level, 1);
    schedule(Game.EnemyDelay, [&] {
        CreateEnemy();
        return delay(tw::platform::random(160 / level) + 50);
    });
    schedule(Game.BonusDelay, [&] {
        new TBonusSprite(&root);
        return delay(tw::platform::random(500));
    });
    schedule(Game.AlgaeDelay, [&] {
        new TGreenAlgae(&root, tw::platform::random(3) + 1);
        return delay(tw::platform::random(80));
    });
    schedule(Game.TreasureDelay, [&] {
        new TTreasureSprite(&root);
        return delay(tw::platform::random(200));
    });
}

// A sprite's line in the state dump: its kind, with the fish's, body's, algae's or bonus's number.
std::string dumpName(TSprite& s) {
    switch (SpriteKind(s)) {
    case spRelief: return static_cast<TRelief&>(s).IsUp ? "ceiling" : "floor";
    case spHero: return "hero";
    case spEngine: return "engine";
    case spFish: return "fish" + std::to_string(static_cast<TEnemySprite&>(s).Kind);
    case spShot: return static_cast<THeroWeaponSprite&>(s).ShotKind == THeroWeaponSprite::skNet ? "net" : "shot";
    case spBody: return "body" + std::to_string(static_cast<TDeadBodySprite&>(s).BodyKind);
    case spTreasure: return "treasure";
    case spBubble: return "bubble";
    case spAlgae: return "algae" + std::to_string(static_cast<TGreenAlgae&>(s).AlgaeKind);
    case spBonus: return "bonus" + std::to_string(static_cast<TBonusSprite&>(s).BonusKind);
    case spIndicator: return "indicator";
    case spStatusBar:
    case spAirGauge:
    case spLives: return "status";
    case spForeign: return "other";
    }
    return "other";
}

void setBigRedText(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Size = 38;
    canvas.Font.Color = Red;
}

} // namespace

namespace {

// "LEVEL n" counts down; at its end the diver shows and play starts.
void stepLevelIntro() {
    if (Shell.GameState != gsLevelIntro) return;
    Shell.StateTimer -= FrameIntervalMs;
    if (Shell.StateTimer > 0) return;
    SetGameState(gsPlaying);
    if (Game.Hero) Game.Hero->Visible = true;
    const GameContext& context = CurrentGameContext();
    if (context.ShowCursor) context.ShowCursor(false);
    if (context.CentreCursor) context.CentreCursor();
}

void stepGameOver() {
    if (Shell.GameState == gsGameOver) Shell.StateTimer -= FrameIntervalMs;
}

// The diver reached the surface in this tick's move: the next level is built.
void stepNextLevel() {
    if (Shell.GameState == gsNextLevel) StartNextLevel();
}

} // namespace

void RunGameTick(const TTickInput& input) {
    Game.Input = input;
    Game.PushesTaken = 0;
    if (TCustomDXSpriteEngine* engine = CurrentGameContext().SpriteEngine) {
        engine->FreeDead();
        if (Shell.GameState == gsPlaying) runPlayStep(input.LagCount);
        // Also in the tick of a death: the field moves a second time.
        if (Shell.GameState == gsHeroDying) moveField(input.LagCount);
    }
    // In this order: a state one step sets is seen by the steps after it.
    stepLevelIntro();
    stepGameOver();
    stepNextLevel();
}

bool GameOverHasRunOut() { return Shell.GameState == gsGameOver && Shell.StateTimer <= 0; }

bool IsRecordedGameState(TGameState state) {
    return state == gsLevelIntro || state == gsPlaying || state == gsHeroDying || state == gsGameOver;
}

void EndGameAtPlayersWish() {
    Shell.StateTimer = GameOverTime;
    SetGameState(gsGameOver);
}

void DrawHeadUp(TDirectDrawSurfaceCanvas& canvas) {
    canvas.Font.Size = 16;
    canvas.Font.Color = White;
    canvas.TextOut(112, 10, std::to_string(Game.Level));
    const std::string score = std::to_string(Game.Score);
    canvas.TextOut(717 - canvas.TextWidth(score) / 2, 42, score);
}

void DrawGameOverlays(TDirectDrawSurfaceCanvas& canvas) {
    const char* text = nullptr;
    std::string level;
    int x = 320;
    switch (Shell.GameState) {
    case gsLevelIntro:
        level = "LEVEL " + std::to_string(Game.Level);
        text = level.c_str();
        break;
    case gsGameOver:
        text = "GAME OVER";
        x = 250;
        break;
    case gsPaused: text = "PAUSE"; break;
    default: return;
    }
    setBigRedText(canvas);
    canvas.TextOut(x, 280, text);
}

std::string GameStateDump() {
    std::map<std::string, int> counts;
    if (TCustomDXSpriteEngine* engine = CurrentGameContext().SpriteEngine) {
        TSprite& root = engine->Engine();
        for (int i = 0; i < root.ChildCount(); ++i) {
            TSprite* s = root.Child(i);
            const std::string name = dumpName(*s) + (s->Dead() ? " (dead)" : "");
            ++counts[name];
        }
    }
    std::ostringstream out;
    out << "state " << static_cast<int>(Shell.GameState) << "\n"
        << "level " << static_cast<int>(Game.Level) << "\n"
        << "score " << Game.Score << "\n"
        << "lives " << Game.Lives << "\n"
        << "air " << Game.Air << " of " << Game.AirMax << "\n"
        << "scroll " << Game.ScrollSpeed << "\n"
        << "ceiling " << Game.UpReliefCount << " of " << Game.LevelLength << " groups, end " << Game.UpReliefEnd << "\n"
        << "floor end " << Game.DownReliefEnd << "\n";
    if (const THeroSprite* hero = Game.Hero)
        out << "hero " << hero->X << "," << hero->Y << (hero->Visible ? " shown" : " hidden")
            << (hero->InPlay ? "" : " rising") << "\n";
    // The timed bonuses' time left in ms, 0 when not running.
    auto running = [](const TBonusIndicatorSprite* i) { return i && i->Visible ? i->TimeLeft : 0; };
    out << "running supergun " << running(Game.SupergunIndicator) << " net " << running(Game.NetIndicator) << " engine "
        << running(Game.EngineIndicator) << "\n";
    out << "delays " << Game.EnemyDelay << " " << Game.BonusDelay << " " << Game.AlgaeDelay << " " << Game.TreasureDelay
        << "\n";
    for (const auto& [name, count] : counts) out << name << " " << count << "\n";
    return out.str();
}
