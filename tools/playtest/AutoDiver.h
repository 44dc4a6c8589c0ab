// SPDX-License-Identifier: MIT
// An automated diver for playtesting: it acts on what it saw a reaction time ago, misjudges each
// fish's height a little, foresees where things will be from how they moved, picks the place that
// stays clear longest while lining its gun up with what it can kill, and steers there with the
// keys, minding the diver's drift. The diver's own place it knows at once, as a player feels it.
#pragma once

#include "FieldView.h"

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace playtest {

struct Profile {
    std::string name;
    bool idle = false;       // touches nothing: the diver drifts where the game takes it
    int reactionTicks = 0;   // the age, in ticks of 16 ms, of the picture the diver acts on
    double aimErrorPx = 0;   // spread of the error in judging a fish's height
    int thinkEvery = 1;      // ticks between fresh decisions; the keys stay as they are in between
    int lookAheadTicks = 40; // how far ahead a collision is foreseen
    int marginPx = 4;        // room kept around a fish
};

// idle, casual (about 250 ms to react), skilled (about 120 ms).
const std::vector<Profile>& Profiles();
const Profile* FindProfile(const std::string& name);

struct Keys {
    bool up = false, down = false, left = false, right = false, fire = false, net = false;
    bool operator==(const Keys&) const = default;
};

// The diver as the player knows it without looking: where it is, how it drifts, its gun.
struct DiverState {
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    double vx = 0, vy = 0;
    std::int32_t gunCooldown = 0, gunInterval = 33;
    bool netRunning = false, engineShown = false;
    std::int32_t air = 0, airMax = 1, lives = 0, scroll = 2;
};

class AutoDiver {
public:
    AutoDiver(const Profile& profile, std::uint32_t seed);
    // Once a tick, after it ran: what is on the screen now and the diver's state; gives the keys
    // to hold through the next tick.
    Keys Act(FieldView now, const DiverState& self);

private:
    // A thing as judged now, from the delayed picture, with its motion per tick.
    struct Judged {
        Sighting seen;
        double x = 0, y = 0, vx = 0, vy = 0;
    };
    struct Plan {
        std::int32_t x = 0, y = 0;
    };

    std::vector<Judged> judge(const DiverState& self);
    Plan choose(const std::vector<Judged>& things, const DiverState& self);
    double cost(const Plan& target, const std::vector<Judged>& things, const DiverState& self) const;
    // The lowest rock bottom over every column a diver at x..x+w would cover, k ticks on.
    void buildCeiling(const std::vector<Judged>& things, const DiverState& self);
    std::int32_t rockBottom(double x, std::int32_t w, int k, std::int32_t scroll) const;
    double heightError(const void* id);

    Profile profile_;
    std::mt19937 random_;
    std::deque<FieldView> memory_;
    std::unordered_map<const void*, double> heightErrors_;
    std::vector<std::int32_t> ceiling_; // rock bottom per screen column from -kLeft, as judged now
    Keys keys_;
    Plan plan_;
    int sinceThought_ = 0;
};

} // namespace playtest
