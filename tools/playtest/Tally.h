// SPDX-License-Identifier: MIT
// What the playtest counts of each game, level by level, and the difficulty table made from it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace playtest {

struct LevelRecord {
    int ticks = 0; // ticks of play and of dying, from the end of the level's announcement
    int lostToFish = 0, lostToRock = 0, lostToAir = 0;
    bool passed = false;
    std::int32_t airAtStart = 0;
    std::int32_t airLeft = 0; // when the diver reached the surface
};

struct GameRecord {
    std::vector<LevelRecord> levels; // index 0 is level 1
    int levelReached = 1;            // the level in which the last life was lost, or the stop
    bool over = false;               // false: stopped at the level or tick limit, still alive
    std::uint32_t score = 0;
    int ticks = 0;
};

// The difficulty table of one profile's games.
void PrintTally(std::ostream& out, const std::string& profile, const std::vector<GameRecord>& games);

// The p-th percentile (0..100) by nearest rank; 0 for no values.
double Percentile(std::vector<double> values, double p);

} // namespace playtest
