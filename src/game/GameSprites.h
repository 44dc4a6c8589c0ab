// SPDX-License-Identifier: MIT
// The game's sprite classes: the relief chains, the diver and its hand engine, the fish, their
// bodies, treasure, bubbles, algae, the bonus floats and the status bar's sprites.
#pragma once

#include "engine/DXSprite.h"

#include <cstdint>
#include <string>

// Every kind of sprite the game makes. The places that treat kinds differently switch on it without
// a default, so a new kind makes the compiler name each place that has not yet decided about it.
enum TSpriteKind : std::uint8_t {
    spForeign = 0, // not the game's: the window's background and dialog frame
    spRelief,
    spHero,
    spEngine,
    spFish,
    spShot,
    spBody,
    spTreasure,
    spBubble,
    spAlgae,
    spBonus,
    spIndicator,
    spStatusBar,
    spAirGauge,
    spLives,
};

inline TSpriteKind SpriteKind(const TSprite& sprite) { return static_cast<TSpriteKind>(sprite.KindTag()); }

// The base of the game's sprites: each is made with its kind.
class TGameSprite : public TImageSprite {
protected:
    TGameSprite(TSprite* parent, TSpriteKind kind) : TImageSprite(parent) { SetKindTag(kind); }
};

// A ceiling or floor piece, placed at the right end of its chain.
class TRelief : public TGameSprite {
public:
    TRelief(TSprite* parent, const std::string& name, bool isUp, bool groupEnd);
    void MoveSelf(std::int32_t moveCount) override;

    bool IsUp = false;
    bool GroupEnd = false; // the last piece of a ceiling group: its leaving adds the next group
};

class TBonusSprite;

class THeroSprite : public TGameSprite {
public:
    explicit THeroSprite(TSprite* parent);
    ~THeroSprite() override;
    void MoveSelf(std::int32_t moveCount) override;
    // Public: the hand engine hands its own collisions on to the diver.
    void HandleCollision(TSprite* other, bool& done) override;

    static constexpr std::int32_t HeroSpeed = 8;
    static constexpr std::int32_t MinX = 5, MaxRight = 795, MinY = 120, MaxBottom = 590;

    std::int32_t GunRate = 6;
    std::int32_t NetRate = 6;
    std::int32_t GunCooldown = 0;
    std::int32_t NetCooldown = 0;
    std::int32_t SwimCounter = 0;
    bool InPlay = true; // false once the level's ceiling has passed: the diver rises to the surface
    double HeroVelocityX = 0.0;
    double HeroVelocityY = 0.0;

private:
    void steer();
    void hitRock(const TRelief& rock);
    void takeBonus(TBonusSprite& bonus);
    void fishDeath();
    void airDeath();
    void loseLife();
    void placeEngine();
};

// The hand engine bonus, held in front of the diver; what it touches, the diver touches.
class TEngineSprite : public TGameSprite {
public:
    explicit TEngineSprite(TSprite* parent);
    ~TEngineSprite() override;
    void MoveSelf(std::int32_t moveCount) override;
    void HandleCollision(TSprite* other, bool& done) override;
};

class TEnemySprite : public TGameSprite {
public:
    TEnemySprite(TSprite* parent, std::int32_t kind);
    void MoveSelf(std::int32_t moveCount) override;
    // Killed by a shot: points, its sound and, for most kinds, a body sinking to the floor.
    void Kill();

    std::int32_t Kind = 1;
    std::int32_t HitPoints = 1; // worn down by shots; the fish dies at 0 or below
    std::int32_t Points = 10;
    bool LeavesBody = true;
    std::int32_t FinPhase = 0;
    bool FinRising = false;
    // The crab walks a wave along the floor around a point that scrolls with the cave.
    std::uint8_t WavePhase = 0;
    std::int32_t WaveBaseX = 0;
    std::int32_t WaveOffset = 0;
};

// One shot of the diver's: the harpoon with its line trailing behind, or the net opening as it
// flies. It flies right at a fixed speed and is spent on the fish it touches.
class THeroWeaponSprite : public TGameSprite {
public:
    enum : std::int32_t { skGun = 1, skNet = 2 };
    THeroWeaponSprite(TSprite* parent, std::int32_t x, std::int32_t kind, std::int32_t y);
    void MoveSelf(std::int32_t moveCount) override;
    void DrawSelf() override;
    void HandleCollision(TSprite* other, bool& done) override;

    static constexpr std::int32_t ShotSpeed = 10;
    std::int32_t Damage = 1;
    std::int32_t ShotKind = skGun;
    std::int32_t NetPhase = 0;  // 0 to 19: the net opens over its first 20 steps
    std::int32_t TailFrame = 0; // the harpoon line's pattern, changing every step

private:
    TPictureCollectionItem* tail_ = nullptr;
};

// Kind 1 a fish sinking to the floor; 2 the diver killed by a fish, 3 out of air: these two float
// up and, once off the screen, let the next life start.
class TDeadBodySprite : public TGameSprite {
public:
    TDeadBodySprite(TSprite* parent, std::int32_t x, std::int32_t kind, std::int32_t y);
    void MoveSelf(std::int32_t moveCount) override;

    std::int32_t BodyKind = 1;
};

class TTreasureSprite : public TGameSprite {
public:
    explicit TTreasureSprite(TSprite* parent);
    void MoveSelf(std::int32_t moveCount) override;

    std::int32_t Value = 30;
};

class TBubbleSprite : public TGameSprite {
public:
    TBubbleSprite(TSprite* parent, std::int32_t x, std::int32_t y);
    void MoveSelf(std::int32_t moveCount) override;

    std::uint8_t Phase = 0;
    std::int32_t BaseX = 0;
};

class TGreenAlgae : public TGameSprite {
public:
    TGreenAlgae(TSprite* parent, std::int32_t kind);
    void MoveSelf(std::int32_t moveCount) override;

    std::int32_t AlgaeKind = 1;
    std::int32_t SwayCounter = 0;
};

enum TBonusKind : std::int32_t { bkPoints = 1, bkSupergun, bkNet, bkAir, bkEngine, bkLife };

// A bonus hanging on its rope from a float at the surface.
class TBonusSprite : public TGameSprite {
public:
    explicit TBonusSprite(TSprite* parent);
    void MoveSelf(std::int32_t moveCount) override;
    void DrawSelf() override;
    // The kind, with the points of a points bonus (10, 20 or 50), and its icon.
    void SetKind(std::int32_t kind, std::int32_t value = 0);

    std::int32_t BonusKind = bkPoints;
    std::int32_t Value = 0; // points of a points bonus

private:
    TPictureCollectionItem* icon_ = nullptr;
    TPictureCollectionItem* float_ = nullptr;
    TPictureCollectionItem* line_ = nullptr;
};

// One timed bonus's icon in the status bar, shown while the bonus lasts.
class TBonusIndicatorSprite : public TGameSprite {
public:
    TBonusIndicatorSprite(TSprite* parent, std::int32_t x, const std::string& name);
    ~TBonusIndicatorSprite() override;

    static constexpr std::int32_t Duration = 15000; // ms
    std::int32_t TimeLeft = 0;                      // ms
    void Start();
    // One tick of a shown indicator's clock; true in the tick it runs out and hides.
    bool Tick();
};

class TStatusSprite : public TGameSprite {
public:
    explicit TStatusSprite(TSprite* parent);
};

// The air gauge: one column of the scale per half per cent of the air left.
class TScaleSprite : public TGameSprite {
public:
    explicit TScaleSprite(TSprite* parent);
    ~TScaleSprite() override;
    void DrawSelf() override;
};

// One diver icon per life left.
class TLivesIndicator : public TGameSprite {
public:
    explicit TLivesIndicator(TSprite* parent);
    void DrawSelf() override;
};
