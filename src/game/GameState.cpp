// SPDX-License-Identifier: MIT
// The one instance of the game's variables and of the context the window hands the game.
#include "game/GameContext.h"
#include "game/GameState.h"

#include <algorithm>

GameGlobals Game;

namespace {
GameContext context;
}

void ResetGameState() { Game = GameGlobals{}; }

void AddScore(std::int32_t points) {
    const std::int64_t sum = std::int64_t{Game.Score} + points;
    Game.Score = static_cast<std::uint16_t>(std::clamp<std::int64_t>(sum, 0, 65535));
}

void SetGameContext(const GameContext& c) { context = c; }
const GameContext& CurrentGameContext() { return context; }
