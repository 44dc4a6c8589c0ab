// SPDX-License-Identifier: MIT
// Building the game field, clearing it between lives, the ceiling's groups, the fish a level sends,
// the change of level and of scroll speed.
#include "game/GameField.h"

#include "engine/DXSprite.h"
#include "game/GameContext.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "graphics/PictureCollection.h"
#include "platform/PathResolver.h"
#include "platform/Random.h"
#include "sound/DXSounds.h"
#include "state/Settings.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"

#include <stdexcept>

TPictureCollectionItem* GamePicture(const std::string& name) {
    const TPictureCollection* pictures = CurrentGameContext().Pictures;
    if (!pictures) throw std::logic_error("The game has no pictures");
    return pictures->Find(name);
}

void PlayGameSound(const char* name) {
    TWaveCollection* waves = CurrentGameContext().Waves;
    if (Settings.SoundOn && waves) waves->Find(name).Play(false);
}

TSprite& GameRoot() {
    TCustomDXSpriteEngine* engine = CurrentGameContext().SpriteEngine;
    if (!engine) throw std::logic_error("The game has no sprite engine");
    return engine->Engine();
}

void SetScrollSpeed(std::uint16_t speed) {
    Game.DownReliefEnd -= Game.ScrollSpeed;
    Game.UpReliefEnd -= Game.ScrollSpeed;
    Game.ScrollSpeed = speed;
}

void StartGameField() {
    const GameContext& context = CurrentGameContext();
    if (!context.Pictures) throw std::logic_error("The game has no pictures");
    TSprite& root = GameRoot();
    root.FreeChildren();
    context.Pictures->LoadFromFile(tw::platform::resolvePath("data\\gamegraphic.dxg"));
    if (context.AddWindowSprites) context.AddWindowSprites(root);
    BuildGameField();
}

void BuildGameField() {
    TSprite& root = GameRoot();
    new TStatusSprite(&root);
    Game.AirGauge = new TScaleSprite(&root);
    Game.SupergunIndicator = new TBonusIndicatorSprite(&root, 104, "supergun");
    Game.NetIndicator = new TBonusIndicatorSprite(&root, 144, "net");
    Game.EngineIndicator = new TBonusIndicatorSprite(&root, 184, "engine");
    new TLivesIndicator(&root);

    Game.LevelLength = 14;
    Game.UpReliefCount = 0;
    Game.UpReliefEnd = 400;
    new TRelief(&root, "uprelief1", true, true);
    for (int i = 0; i < 5; ++i) CreateUpRelief();
    Game.DownReliefEnd = 0;
    for (int i = 0; i < 9; ++i) new TRelief(&root, FloorPieceName(), false, false);

    Game.Hero = new THeroSprite(&root);
    Game.EngineSprite = new TEngineSprite(&root);

    Game.ScrollSpeed = 2;
    Game.Lives = 5;
    Game.Score = 0;
    Game.Level = 1;
    SetGameState(gsLevelIntro);
    Shell.StateTimer = LevelIntroTime;
    Game.Air = StartingAir;
    Game.AirMax = StartingAir;
}

namespace {

// What a lost life or a new level sweeps from the field; the cave, the diver and its gauges stay.
bool goesWithALife(TSpriteKind kind) {
    switch (kind) {
    case spFish:
    case spBonus:
    case spShot:
    case spBubble: return true;
    case spForeign:
    case spRelief:
    case spHero:
    case spEngine:
    case spBody:
    case spTreasure:
    case spAlgae:
    case spIndicator:
    case spStatusBar:
    case spAirGauge:
    case spLives: return false;
    }
    return false;
}

} // namespace

void ClearGameField() {
    for (TBonusIndicatorSprite* indicator : {Game.SupergunIndicator, Game.NetIndicator, Game.EngineIndicator})
        if (indicator) indicator->Visible = false;
    TSprite& root = GameRoot();
    for (int i = root.ChildCount() - 1; i >= 0; --i) {
        TSprite* sprite = root.Child(i);
        if (goesWithALife(SpriteKind(*sprite))) sprite->MarkDead();
    }
    if (THeroSprite* hero = Game.Hero) {
        hero->Visible = false;
        hero->X = 150;
        hero->Y = 400;
        hero->GunRate = 6;
        hero->HeroVelocityX = 0;
        hero->HeroVelocityY = 0;
    }
    if (Game.EngineSprite) Game.EngineSprite->Visible = false;
    SetScrollSpeed(2);
}

bool EnemyKindAllowed(std::uint8_t level, std::int32_t kind) {
    if (kind < 1 || kind > 13) return false;
    switch (level) {
    case 1: return kind == 1 || kind == 2 || kind == 7;
    case 2: return kind <= 3 || kind == 7 || kind == 8;
    case 3: return kind <= 4 || (kind >= 7 && kind <= 9);
    case 4: return kind <= 5 || (kind >= 7 && kind <= 10);
    case 5: return kind <= 11;
    case 6: return kind <= 12;
    default: return level > 6;
    }
}

void CreateEnemy() {
    std::int32_t kind = tw::platform::random(13) + 1;
    while (Game.Level >= 1 && Game.Level <= 6 && !EnemyKindAllowed(Game.Level, kind))
        kind = tw::platform::random(13) + 1;
    new TEnemySprite(&GameRoot(), kind);
}

void StartNextLevel() {
    // The level number stops at 255: the fish's timing divides by it, and a byte cannot go higher.
    if (Game.Level < 255) ++Game.Level;
    Game.LevelLength = Game.Level <= 8 ? 8 * Game.Level + 6 : 82;
    Game.UpReliefCount = 0;
    Game.UpReliefEnd = 800;
    new TRelief(&GameRoot(), "uprelief1", true, true);
    for (int i = 0; i < 6; ++i) CreateUpRelief();
    Game.Air = Game.AirMax;
    if (Game.Level < 8) Game.AirMax += 900;
    Shell.StateTimer = LevelIntroTime;
    PlayGameSound("nextlevel");
    SetGameState(gsLevelIntro);
    ClearGameField();
    if (Game.Hero) Game.Hero->InPlay = true;
}
