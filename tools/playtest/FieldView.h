// SPDX-License-Identifier: MIT
// What an automated diver can see of a running game in one tick: the boxes of the fish, the rock,
// the bonuses and the treasure on the screen. Only what is drawn there now, never what comes next.
#pragma once

#include <cstdint>
#include <vector>

class TSprite;

namespace playtest {

struct Sighting {
    enum Kind { Fish, Rock, Bonus, Treasure };
    Kind kind = Fish;
    const void* id = nullptr; // the sprite, only to follow one thing from one look to the next
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    std::int32_t fishKind = 0;  // fish: 1..13
    std::int32_t hitPoints = 0; // fish: the shots it still takes
    std::int32_t bonusKind = 0; // bonus: 1..6
};

struct FieldView {
    std::vector<Sighting> things;
};

// The things on the screen among the children of the sprite tree's root.
FieldView LookAtField(TSprite& root);

} // namespace playtest
