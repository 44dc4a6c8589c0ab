// SPDX-License-Identifier: MIT
// The diver's shots: the harpoon, always at hand, and the net while its bonus lasts. Both fly right
// at one speed, whatever the scroll, and wear down the fish they touch.
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"

THeroWeaponSprite::THeroWeaponSprite(TSprite* parent, std::int32_t x, std::int32_t kind, std::int32_t y)
    : TGameSprite(parent, spShot), ShotKind(kind) {
    if (ShotKind == skNet) {
        Damage = 10;
        Image = GamePicture("netweapon");
        PlayGameSound("heronet");
    } else {
        Damage = 1;
        Image = GamePicture("heroweapon1");
        tail_ = GamePicture("tail");
        PlayGameSound("herogun");
        TailFrame = 0;
    }
    Width = Image->Width();
    Height = Image->Height();
    X = x;
    Y = y;
    SetZ(gzActors);
    FrameLooped = false;
}

void THeroWeaponSprite::MoveSelf(std::int32_t moveCount) {
    TImageSprite::MoveSelf(moveCount);
    if (ShotKind == skNet) {
        if (NetPhase < 19) ++NetPhase;
    } else {
        TailFrame = 1 - TailFrame;
    }
    FramePos = NetPhase / 5;
    X += ShotSpeed;
    if (X >= 800 || Y < 0 || Y >= 600) MarkDead();
    CheckCollisions();
}

void THeroWeaponSprite::DrawSelf() {
    TImageSprite::DrawSelf();
    if (!tail_ || !Engine()) return;
    tail_->Draw(Engine()->Surface(), X - 72, Y + 1, TailFrame);
}

void THeroWeaponSprite::HandleCollision(TSprite* other, bool&) {
    switch (SpriteKind(*other)) {
    case spFish: break;
    // Shots fly through everything else.
    case spForeign:
    case spRelief:
    case spHero:
    case spEngine:
    case spShot:
    case spBody:
    case spTreasure:
    case spBubble:
    case spAlgae:
    case spBonus:
    case spIndicator:
    case spStatusBar:
    case spAirGauge:
    case spLives: return;
    }
    auto* fish = static_cast<TEnemySprite*>(other);
    // Spent, but the scan goes on: every fish it overlaps in this step takes the full damage, also
    // one already killed earlier in the frame.
    MarkDead();
    fish->HitPoints -= Damage;
    if (fish->HitPoints <= 0) fish->Kill();
}
