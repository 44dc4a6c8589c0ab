// SPDX-License-Identifier: MIT
// The diver: steering with drift, air, the bubbles it trails, what it touches, its deaths and its
// rise to the surface at the end of a level; and the hand engine that pushes it along.
#include "game/GameContext.h"
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"

#include <algorithm>
#include <cmath>

namespace {

// A mouse push waiting in this tick's input: its distance, or 0 when there is none or it was taken.
std::int32_t pendingPush(TTickInput::TPush direction) {
    if (Game.PushesTaken & (1u << direction)) return 0;
    return Game.Input.Push[direction];
}

// Takes a pending mouse push: its distance, or 0 when there is none.
std::int32_t takePush(TTickInput::TPush direction) {
    const std::int32_t distance = pendingPush(direction);
    if (distance > 0) Game.PushesTaken = static_cast<std::uint8_t>(Game.PushesTaken | 1u << direction);
    return distance;
}

double towardsZero(double v) {
    if (v > 0) return v - 0.5;
    if (v < 0) return v + 0.5;
    return v;
}

// Nearest, ties to even (the default rounding mode).
std::int32_t rounded(double v) { return static_cast<std::int32_t>(std::nearbyint(v)); }

} // namespace

THeroSprite::THeroSprite(TSprite* parent) : TGameSprite(parent, spHero) {
    Image = GamePicture("hero");
    X = 150;
    Y = 300;
    SetZ(gzActors);
    FrameCount = 4;
    FrameSpeed = 1.0;
    FrameLooped = false;
    Visible = false;
    Width = Image->Width();
    Height = Image->Height();
}

THeroSprite::~THeroSprite() {
    if (Game.Hero == this) Game.Hero = nullptr;
}

void THeroSprite::MoveSelf(std::int32_t) {
    if (!Visible) return;
    new TBubbleSprite(&GameRoot(), X + 80, Y);
    Y -= 1;
    SwimCounter = SwimCounter < 39 ? SwimCounter + 1 : 0;
    FramePos = SwimCounter / 10;
    if (Game.Air <= 0) {
        airDeath();
        return;
    }
    if (InPlay) {
        steer();
    } else {
        Y -= 4;
        if (Y < 114) SetGameState(gsNextLevel);
    }
    placeEngine();
    if (GunCooldown > 0) --GunCooldown;
    if (NetCooldown > 0) --NetCooldown;
    const TTickInput& input = Game.Input;
    if (InPlay && input.Has(TTickInput::tiFire) && GunCooldown == 0) {
        new THeroWeaponSprite(&GameRoot(), X + Width, THeroWeaponSprite::skGun, Y + 15);
        GunCooldown = 200 / GunRate;
    }
    // The net also while rising to the surface: only the gun needs the diver in play.
    if (Game.NetIndicator && Game.NetIndicator->Visible && input.Has(TTickInput::tiNet) && NetCooldown == 0) {
        new THeroWeaponSprite(&GameRoot(), X + Width, THeroWeaponSprite::skNet, Y - 72);
        NetCooldown = 200 / NetRate;
    }
    if (InPlay) CheckCollisions();
}

void THeroSprite::steer() {
    const TTickInput& held = Game.Input;
    if (X > MinX && (held.Has(TTickInput::tiLeft) || pendingPush(TTickInput::tpLeft) > 0)) {
        const std::int32_t push = takePush(TTickInput::tpLeft);
        X -= push > 0 ? push : HeroSpeed;
        if (HeroVelocityX > -30) HeroVelocityX -= 0.5;
    } else if (X < MaxRight - Width && (held.Has(TTickInput::tiRight) || pendingPush(TTickInput::tpRight) > 0)) {
        const std::int32_t push = takePush(TTickInput::tpRight);
        X += push > 0 ? push : HeroSpeed;
        if (HeroVelocityX < 30) HeroVelocityX += 0.5;
    } else {
        HeroVelocityX = towardsZero(HeroVelocityX);
    }
    if (Y > MinY && (held.Has(TTickInput::tiUp) || pendingPush(TTickInput::tpUp) > 0)) {
        const std::int32_t push = takePush(TTickInput::tpUp);
        Y -= push > 0 ? push : HeroSpeed;
        if (HeroVelocityY > -30) HeroVelocityY -= 0.5;
    } else if (Y < MaxBottom - Height && (held.Has(TTickInput::tiDown) || pendingPush(TTickInput::tpDown) > 0)) {
        const std::int32_t push = takePush(TTickInput::tpDown);
        Y += push > 0 ? push : HeroSpeed;
        if (HeroVelocityY < 30) HeroVelocityY += 0.5;
    } else {
        HeroVelocityY = towardsZero(HeroVelocityY);
    }
    X += rounded(HeroVelocityX);
    Y += rounded(HeroVelocityY);
    if (X < MinX) {
        X = MinX;
        HeroVelocityX = 0;
    }
    if (X >= MaxRight - Width) {
        X = MaxRight - Width;
        HeroVelocityX = 0;
    }
    if (Y < MinY) {
        Y = MinY;
        HeroVelocityY = 0;
    }
    if (Y > MaxBottom - Height) {
        Y = MaxBottom - Height;
        HeroVelocityY = 0;
    }
}

void THeroSprite::placeEngine() {
    TEngineSprite* engine = Game.EngineSprite;
    if (!engine || !engine->Visible) return;
    engine->X = X + 113;
    engine->Y = Y + 5;
}

void THeroSprite::HandleCollision(TSprite* other, bool&) {
    if (!Visible || !InPlay) return;
    switch (SpriteKind(*other)) {
    case spFish:
        // A fish already gone (cleared for this very life, or killed) cannot kill the diver.
        if (!other->Dead()) fishDeath();
        return;
    case spTreasure: {
        auto* treasure = static_cast<TTreasureSprite*>(other);
        PlayGameSound("bonus");
        AddScore(treasure->Value);
        treasure->MarkDead();
        return;
    }
    case spRelief: hitRock(*static_cast<TRelief*>(other)); return;
    case spBonus: takeBonus(*static_cast<TBonusSprite*>(other)); return;
    // The diver passes through its own shots, bubbles and engine, the bodies, the algae and the
    // status bar.
    case spForeign:
    case spHero:
    case spEngine:
    case spShot:
    case spBody:
    case spBubble:
    case spAlgae:
    case spIndicator:
    case spStatusBar:
    case spAirGauge:
    case spLives: return;
    }
}

void THeroSprite::hitRock(const TRelief& rock) {
    if (!rock.IsUp) return; // the floor is scenery
    const std::int32_t rLeft = rock.X, rRight = rock.X + rock.Width;
    const std::int32_t rTop = rock.Y, rBottom = rock.Y + rock.Height;
    const std::int32_t hLeft = X, hRight = X + Width, hTop = Y, hBottom = Y + Height;
    const bool besideIt = rTop <= hTop && hBottom <= rBottom;
    if (besideIt && rLeft < hRight && hRight < rRight) {
        X = rLeft - Width;
        HeroVelocityX = 0;
    } else if (besideIt && rLeft < hLeft && hLeft < rRight) {
        X = rRight;
        HeroVelocityX = 0;
    } else if (hTop < rBottom) {
        Y = rBottom;
        HeroVelocityY = 0;
    }
    // Pushed against the left edge by the rock: crushed.
    if (X < MinX) fishDeath();
    placeEngine();
}

void THeroSprite::takeBonus(TBonusSprite& bonus) {
    bonus.MarkDead();
    PlayGameSound("bonus");
    switch (bonus.BonusKind) {
    case bkPoints: AddScore(bonus.Value); break;
    case bkSupergun:
        GunRate = 12;
        if (Game.SupergunIndicator) Game.SupergunIndicator->Start();
        break;
    case bkNet:
        if (Game.NetIndicator) Game.NetIndicator->Start();
        break;
    case bkAir: Game.Air = std::min(Game.Air + Game.AirMax / 3, Game.AirMax); break;
    case bkEngine:
        if (Game.EngineIndicator) Game.EngineIndicator->Start();
        // Shown at the diver at once, not where it was last held.
        if (Game.EngineSprite) Game.EngineSprite->Visible = true;
        placeEngine();
        SetScrollSpeed(4);
        break;
    case bkLife: Game.Lives = std::min(Game.Lives + 1, 5); break;
    default: break;
    }
}

void THeroSprite::loseLife() {
    Visible = false;
    SetGameState(gsHeroDying);
    Game.Lives -= 1;
}

void THeroSprite::fishDeath() {
    loseLife();
    PlayGameSound("herodiefish");
    new TDeadBodySprite(&GameRoot(), X, 2, Y);
}

void THeroSprite::airDeath() {
    loseLife();
    Game.Air = Game.AirMax / 3;
    PlayGameSound("herodieair");
    new TDeadBodySprite(&GameRoot(), X, 3, Y);
}

TEngineSprite::TEngineSprite(TSprite* parent) : TGameSprite(parent, spEngine) {
    Image = GamePicture("handengine");
    Width = Image->Width();
    Height = Image->Height();
    if (Game.Hero) {
        X = Game.Hero->X + 113;
        Y = Game.Hero->Y + 5;
    }
    SetZ(gzActors);
    Visible = false;
}

TEngineSprite::~TEngineSprite() {
    if (Game.EngineSprite == this) Game.EngineSprite = nullptr;
}

void TEngineSprite::MoveSelf(std::int32_t) {
    if (Visible) CheckCollisions();
}

void TEngineSprite::HandleCollision(TSprite* other, bool& done) {
    if (Game.Hero) Game.Hero->HandleCollision(other, done);
}
