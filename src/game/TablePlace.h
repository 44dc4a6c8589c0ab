// SPDX-License-Identifier: MIT
// Whether a finished game's score reaches the local table of the ten best, and at which place.
#pragma once

#include <cstdint>

#include "state/Settings.h"

// The first place 1..10 whose score is below score, or 11: an equal score goes below the entries
// that hold it, as the table's insertion puts it, so a score of 0 never qualifies.
std::uint8_t FindTablePlace(const THighScores& table, std::uint16_t score);
// The game's score against the stored table.
std::uint8_t FindTablePlace();
