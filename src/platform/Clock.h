// SPDX-License-Identifier: MIT
// The game's millisecond clock: 32 bits, wrapping after about 49.7 days, so every difference of two
// readings is taken modulo 2^32. The clock in use can be swapped, which is how tests control time.
#pragma once

#include <cstdint>

namespace tw::platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t milliseconds() = 0;
};

// The current clock's reading.
std::uint32_t ticks();
// Makes `clock` the one ticks() reads; nullptr returns to the system clock. The caller keeps ownership.
void setClock(Clock* clock);

// A clock that moves only when told to.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t start = 0) : now_(start) {}
    std::uint32_t milliseconds() override { return now_; }
    void advance(std::uint32_t ms) { now_ += ms; } // wraps like the real clock
    void set(std::uint32_t ms) { now_ = ms; }

private:
    std::uint32_t now_;
};

// Installs a clock for the lifetime of a scope and puts the previous one back afterwards.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

} // namespace tw::platform
