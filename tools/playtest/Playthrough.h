// SPDX-License-Identifier: MIT
// One whole game on the headless host and the built data, started from the main menu with the
// keys and played by an automated diver through the keys, as a player plays it.
#pragma once

#include "AutoDiver.h"
#include "Tally.h"

#include <cstdint>
#include <filesystem>

namespace playtest {

struct Limits {
    int maxLevel = 20;     // a game that gets past this level stops there
    int maxTicks = 200000; // about 53 minutes of play
    // A folder holding data/ and sound/ to play on instead of the build's own, to compare two
    // versions of the game data.
    std::filesystem::path data;
    // Where to save a screenshot of every game every `shotEvery` ticks; empty: none.
    std::filesystem::path shots;
    int shotEvery = 250;
};

GameRecord PlayGame(const Profile& profile, std::uint32_t seed, const Limits& limits);

} // namespace playtest
