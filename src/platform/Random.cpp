// SPDX-License-Identifier: MIT
// A 32-bit linear congruential generator; the range is taken from the high bits of seed * n, which
// are the well-mixed ones.
#include "platform/Random.h"

#include "platform/Clock.h"

namespace tw::platform {

namespace {
struct RandomState {
    std::uint32_t seed = 0;
};
RandomState randomState;
} // namespace

void seedRandom(std::uint32_t seed) { randomState.seed = seed; }
void randomize() { randomState.seed = ticks(); }
std::uint32_t randomSeed() { return randomState.seed; }

std::int32_t random(std::int32_t n) {
    randomState.seed = randomState.seed * 0x08088405u + 1u;
    if (n <= 0) return 0;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(randomState.seed) * static_cast<std::uint32_t>(n)) >>
                                     32);
}

} // namespace tw::platform
