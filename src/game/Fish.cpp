// SPDX-License-Identifier: MIT
// The thirteen kinds of fish with their fins, speed, strength and points; the bodies that sink or
// float away; the treasure lying on the floor.
#include "game/GameField.h"
#include "game/GameContext.h"
#include "game/SineTable.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "platform/Random.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"

#include <array>

namespace {

struct FishKind {
    std::int32_t hp;
    std::int32_t points;
    bool body;
};

// By kind, 1 to 13.
constexpr std::array<FishKind, 14> FishKinds{{
    {0, 0, false},
    {1, 10, true},
    {1, 10, true},
    {1, 10, true},
    {1, 10, true},
    {1, 5, true},
    {1, 5, true},
    {1, 20, false},
    {1, 20, true},
    {1, 20, false},
    {2, 30, false},
    {3, 50, true},
    {3, 50, true},
    {5, 100, true},
}};

constexpr std::int32_t CrabKind = 7;

} // namespace

TEnemySprite::TEnemySprite(TSprite* parent, std::int32_t kind) : TGameSprite(parent, spFish), Kind(kind) {
    X = 800;
    Y = tw::platform::random(400) + 130;
    SetZ(gzActors);
    FrameCount = 3;
    Visible = true;
    const FishKind& k = FishKinds.at(static_cast<std::size_t>(kind));
    HitPoints = k.hp;
    Points = k.points;
    LeavesBody = k.body;
    Image = GamePicture("enemy" + std::to_string(kind));
    Width = Image->Width();
    Height = Image->Height();
    if (Kind == CrabKind) {
        WaveBaseX = 800;
        WaveOffset = 0;
        Y = 570;
    }
}

void TEnemySprite::MoveSelf(std::int32_t) {
    // The fins beat through the three patterns and back, resting two steps at each end.
    if (FinRising) {
        if (FinPhase >= 14)
            FinRising = false;
        else
            ++FinPhase;
    } else {
        if (FinPhase > 0)
            --FinPhase;
        else
            FinRising = true;
    }
    FramePos = FinPhase / 5;

    if (Kind == CrabKind) {
        ++WavePhase;
        WaveBaseX -= Game.ScrollSpeed;
        WaveOffset = Sine50[WavePhase];
        X = WaveBaseX + WaveOffset;
    } else {
        X -= Game.ScrollSpeed + 2;
    }
    if (X < -Width) MarkDead();
}

void TEnemySprite::Kill() {
    MarkDead();
    PlayGameSound("fishdie");
    if (LeavesBody) new TDeadBodySprite(&GameRoot(), X, 1, Y);
    AddScore(Points);
}

TDeadBodySprite::TDeadBodySprite(TSprite* parent, std::int32_t x, std::int32_t kind, std::int32_t y)
    : TGameSprite(parent, spBody), BodyKind(kind) {
    static const char* const names[] = {"killfish", "fishkilledhero", "dienoair"};
    Image = GamePicture(names[kind == 2 ? 1 : kind == 3 ? 2 : 0]);
    Width = Image->Width();
    Height = Image->Height();
    X = x;
    Y = y;
    SetZ(gzActors);
}

void TDeadBodySprite::MoveSelf(std::int32_t) {
    X -= Game.ScrollSpeed;
    if (BodyKind == 1) {
        if (Y < 560) Y += 3;
    } else if (Y > 120) {
        Y -= 3;
    }
    if (X >= -Width) return;
    MarkDead();
    if (BodyKind != 1) {
        // The diver's body has floated away: the next life may start.
        SetGameState(gsPlaying);
        if (CurrentGameContext().CentreCursor) CurrentGameContext().CentreCursor();
    }
}

TTreasureSprite::TTreasureSprite(TSprite* parent) : TGameSprite(parent, spTreasure) {
    X = 800;
    std::string name = "treasure8";
    Value = 50;
    if (tw::platform::random(8) != 0) {
        Y = tw::platform::random(15) + 543;
        name = "treasure" + std::to_string(tw::platform::random(7) + 1);
        Value = 30;
    } else {
        Y = tw::platform::random(15) + 536;
    }
    Image = GamePicture(name);
    Width = Image->Width();
    Height = Image->Height();
    SetZ(gzTreasure);
}

void TTreasureSprite::MoveSelf(std::int32_t) {
    X -= Game.ScrollSpeed;
    if (X < -Width) MarkDead();
}
