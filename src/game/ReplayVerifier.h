// SPDX-License-Identifier: MIT
// A replay played through without a window, as fast as the game's code runs, and compared with
// what it recorded: how a result is proved.
#pragma once

#include "game/Replay.h"

#include <cstdint>
#include <string>

struct TReplayVerdict {
    bool Matches = false;           // every check, the end and the score agree
    std::uint32_t TicksPlayed = 0;  // of the replay's ticks
    std::uint32_t DesyncByTick = 0; // 0, or the check tick by which the game went another way
    std::string Dump;               // the end state, as GameStateDump writes it
};

// Plays `replay` on an engine and pictures of its own (the game's pictures from the data folder).
// The running game's context, state and random generator are as before afterwards. Throws what
// loading the pictures throws.
TReplayVerdict VerifyReplay(const TReplay& replay);
