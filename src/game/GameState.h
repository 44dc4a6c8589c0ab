// SPDX-License-Identifier: MIT
// The game's module-level variables: score, lives, level, air, the scroll and the two relief chains,
// the spawn delays, and the sprites the rules reach by name. One instance; a test starts from a
// fresh one with `ResetGameState()`.
#pragma once

#include "game/TickInput.h"

#include <cstdint>

class THeroSprite;
class TEngineSprite;
class TBonusIndicatorSprite;
class TScaleSprite;

struct GameGlobals {
    std::uint16_t Score = 0; // stops at 65535, the most the stored table can hold: see AddScore
    std::int32_t Lives = 3;
    std::uint8_t Level = 0; // held at 255
    std::uint16_t ScrollSpeed = 1;
    std::int32_t Air = 0;
    std::int32_t AirMax = 0;
    std::int32_t DownReliefEnd = 0; // right ends of the floor and ceiling chains
    std::int32_t UpReliefEnd = 0;
    std::int32_t LevelLength = 0; // ceiling groups in the level
    std::int32_t UpReliefCount = 0;
    // Carried from one game into the next: only the program's start zeroes them.
    std::uint16_t EnemyDelay = 0;
    std::uint16_t BonusDelay = 0;
    std::uint16_t AlgaeDelay = 0;
    std::uint16_t TreasureDelay = 0;
    std::uint8_t TablePlace = 11; // the place 1..10 the finished game's score takes, 11 for none

    // The input of the tick being run, and which of its mouse pushes the diver has taken: a push
    // moves the diver once, and one not taken waits for a later tick.
    TTickInput Input;
    std::uint8_t PushesTaken = 0; // bit per TTickInput::TPush

    // Owned by the sprite engine; each sprite clears its own entry when it is destroyed.
    THeroSprite* Hero = nullptr;
    TEngineSprite* EngineSprite = nullptr;
    TBonusIndicatorSprite* SupergunIndicator = nullptr;
    TBonusIndicatorSprite* NetIndicator = nullptr;
    TBonusIndicatorSprite* EngineIndicator = nullptr;
    TScaleSprite* AirGauge = nullptr;
};

extern GameGlobals Game;

void ResetGameState();

// Every point the game gives goes through here. The score stops at 65535 instead of wrapping round
// to a small number that would fail the table: the stored scores are 16 bits.
void AddScore(std::int32_t points);

// The depths of the game's sprites.
enum TGameDepth : std::int32_t {
    gzBackground = 0,
    gzRelief = 3,
    gzTreasure = 6,
    gzActors = 7,  // hero, engine, fish, shots, bubbles, bodies
    gzFloats = 8,  // bonuses, algae
    gzStatus = 10, // dialog frame, status bar
    gzGauges = 11, // air gauge, lives, indicators
};
