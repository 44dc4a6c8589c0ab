// SPDX-License-Identifier: MIT
// The place test of a finished game.
#include "game/TablePlace.h"

#include "game/GameState.h"

std::uint8_t FindTablePlace(const THighScores& table, std::uint16_t score) {
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].Score < score) return static_cast<std::uint8_t>(i + 1);
    return 11;
}

std::uint8_t FindTablePlace() { return FindTablePlace(Settings.HighScores, Game.Score); }
