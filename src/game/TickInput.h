// SPDX-License-Identifier: MIT
// One game tick's input: all that the diver and its weapons read, built once a tick from the
// keyboard, the joystick and the mouse (or read back from a replay), with the tick's lag count.
#pragma once

#include <cstdint>

struct TTickInput {
    enum THeld : std::uint8_t {
        tiUp = 1 << 0,
        tiDown = 1 << 1,
        tiLeft = 1 << 2,
        tiRight = 1 << 3,
        tiFire = 1 << 4, // the gun: a fire key, the joystick's first button or the left mouse button
        tiNet = 1 << 5,  // the net: a net key, the second button or the right mouse button
    };
    enum TPush : std::uint8_t { tpLeft, tpRight, tpUp, tpDown };

    std::uint8_t Held = 0;
    // Mouse steering not yet taken: the pixels to move once in each direction, 0 for none.
    std::uint8_t Push[4] = {0, 0, 0, 0};
    std::int32_t LagCount = 1;

    bool Has(THeld bit) const { return (Held & bit) != 0; }
    bool operator==(const TTickInput&) const = default;
};
