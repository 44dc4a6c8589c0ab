// SPDX-License-Identifier: MIT
// The game's one pseudo-random generator: seeded from the clock at start, or with a fixed seed by
// tests, so that a scripted game repeats exactly. random(n) is uniform over 0 .. n-1; random(0) is 0.
#pragma once

#include <cstdint>

namespace tw::platform {

void seedRandom(std::uint32_t seed);
// Seeds from the millisecond clock (which a test may have replaced).
void randomize();
std::uint32_t randomSeed();
// Uniform over 0 .. n-1; 0 for n of 0 or less. One draw per call: never two in one expression,
// the order of draws is part of the game.
std::int32_t random(std::int32_t n);

} // namespace tw::platform
