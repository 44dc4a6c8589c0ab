// SPDX-License-Identifier: MIT
// The system clock (SDL's millisecond counter) and the switch that lets a fake clock stand in for it.
#include "platform/Clock.h"

#include <SDL.h>

namespace tw::platform {

namespace {

class SystemClock : public Clock {
public:
    std::uint32_t milliseconds() override { return SDL_GetTicks(); }
};

struct ClockState {
    SystemClock system;
    Clock* current = nullptr; // nullptr: the system clock
};
ClockState clockState;

} // namespace

std::uint32_t ticks() {
    Clock* clock = clockState.current ? clockState.current : &clockState.system;
    return clock->milliseconds();
}

void setClock(Clock* clock) { clockState.current = clock; }

ScopedClock::ScopedClock(Clock& clock) : previous_(clockState.current) { setClock(&clock); }
ScopedClock::~ScopedClock() { setClock(previous_); }

} // namespace tw::platform
