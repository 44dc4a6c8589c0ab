// SPDX-License-Identifier: MIT
// The bonus floats: a bonus hanging on a rope from its float, drifting a little faster than the
// cave; and the status bar's indicators of the timed bonuses.
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "platform/Random.h"
#include "state/ShellState.h"

TBonusSprite::TBonusSprite(TSprite* parent) : TGameSprite(parent, spBonus) {
    const std::int32_t n = tw::platform::random(16) + 1;
    Image = GamePicture("bonus");
    Width = Image->Width();
    Height = Image->Height();
    std::int32_t value = 0;
    if (n <= 3) {
        static const std::int32_t values[] = {10, 20, 50};
        value = values[tw::platform::random(3)];
    }
    SetKind(n <= 3    ? bkPoints
            : n <= 6  ? bkSupergun
            : n <= 9  ? bkNet
            : n <= 12 ? bkAir
            : n <= 15 ? bkEngine
                      : bkLife,
            value);
    float_ = GamePicture("float");
    line_ = GamePicture("line");
    X = 800;
    Y = tw::platform::random(350 - Height) + 200;
    SetZ(gzFloats);
    FrameCount = 4;
    FramePos = 0;
    FrameLooped = false;
}

void TBonusSprite::SetKind(std::int32_t kind, std::int32_t value) {
    static const char* const icons[] = {"supergun", "net", "oxy", "engine", "bonuslife"};
    BonusKind = kind;
    Value = kind == bkPoints ? value : 0;
    icon_ = GamePicture(kind == bkPoints ? std::to_string(Value) : icons[kind - bkSupergun]);
}

void TBonusSprite::MoveSelf(std::int32_t moveCount) {
    TImageSprite::MoveSelf(moveCount);
    if (X <= -Width) MarkDead();
    X -= Game.ScrollSpeed + 1;
}

void TBonusSprite::DrawSelf() {
    TDirectDrawSurface* surface = Engine() ? Engine()->Surface() : nullptr;
    if (!surface) return;
    Image->Draw(surface, X, Y, 0);
    icon_->Draw(surface, X, Y, 0);
    float_->Draw(surface, X, 88, 0);
    // The rope, from under the float down to the bonus.
    for (std::int32_t row = 124; row <= Y; ++row) line_->Draw(surface, X + 25, row, 0);
}

TBonusIndicatorSprite::TBonusIndicatorSprite(TSprite* parent, std::int32_t x, const std::string& name)
    : TGameSprite(parent, spIndicator) {
    Image = GamePicture(name);
    Width = Image->Width();
    Height = Image->Height();
    X = x;
    Y = 40;
    SetZ(gzGauges);
    Visible = false;
}

TBonusIndicatorSprite::~TBonusIndicatorSprite() {
    if (Game.SupergunIndicator == this) Game.SupergunIndicator = nullptr;
    if (Game.NetIndicator == this) Game.NetIndicator = nullptr;
    if (Game.EngineIndicator == this) Game.EngineIndicator = nullptr;
}

void TBonusIndicatorSprite::Start() {
    TimeLeft = Duration;
    Visible = true;
}

bool TBonusIndicatorSprite::Tick() {
    if (!Visible) return false;
    // Runs while whole seconds are left: 876 ticks of 16 ms from the start.
    if (TimeLeft / 1000 % 60 != 0) {
        TimeLeft -= FrameIntervalMs;
        return false;
    }
    Visible = false;
    return true;
}
