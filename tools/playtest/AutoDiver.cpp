// SPDX-License-Identifier: MIT
// The automated diver's judgement: where things will be, which place is safest, and which keys
// take the diver there.
#include "AutoDiver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace playtest {

namespace {

constexpr std::int32_t kMinX = 5, kMaxRight = 795, kMinY = 120, kMaxBottom = 590;
constexpr std::int32_t kShotSpeed = 10;
// The judged rock covers these screen columns: what scrolled past on the left, and the right edge.
constexpr std::int32_t kLeft = 400, kColumns = 400 + 1600;
constexpr double kSwimSpeed = 10; // about what a held key gives with a little drift

double approach(double from, double to, int ticks) {
    const double reach = kSwimSpeed * ticks;
    return from + std::clamp(to - from, -reach, reach);
}

bool overlaps(double ax, double ay, double aw, double ah, double bx, double by, double bw, double bh) {
    return ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah;
}

// How far the diver still drifts with no key held: the drift loses half a pixel a step.
double freeDrift(double v) {
    double moved = 0;
    for (int i = 0; i < 80 && v != 0; ++i) {
        v += v > 0 ? -0.5 : 0.5;
        moved += std::nearbyint(v);
    }
    return moved;
}

// Holds the key towards the target unless the drift alone gets there.
void steerAxis(double at, double target, double drift, bool& less, bool& more) {
    const double miss = target - (at + freeDrift(drift));
    less = miss < -3;
    more = miss > 3;
}

double bonusWanted(std::int32_t kind, const DiverState& self) {
    switch (kind) {
    case 4: return self.air * 2 < self.airMax ? 400 : 120; // air
    case 6: return self.lives < 5 ? 300 : 0;               // a life
    case 2:                                                // supergun
    case 3: return 150;                                    // net
    case 5: return 60;                                     // the engine
    default: return 60;                                    // points
    }
}

} // namespace

const std::vector<Profile>& Profiles() {
    static const std::vector<Profile> profiles = {
        {"idle", true, 0, 0, 1, 0, 0},
        // About 250 ms to react, a fresh look every 64 ms, fish heights judged to within 10 px.
        {"casual", false, 16, 10.0, 4, 32, 2},
        // About 120 ms to react, a fresh look every tick, heights to within 3 px.
        {"skilled", false, 8, 3.0, 1, 48, 5},
    };
    return profiles;
}

const Profile* FindProfile(const std::string& name) {
    for (const Profile& p : Profiles())
        if (p.name == name) return &p;
    return nullptr;
}

AutoDiver::AutoDiver(const Profile& profile, std::uint32_t seed)
    : profile_(profile), random_(seed), ceiling_(static_cast<std::size_t>(kColumns), 0) {}

double AutoDiver::heightError(const void* id) {
    auto [it, fresh] = heightErrors_.try_emplace(id, 0.0);
    if (fresh && profile_.aimErrorPx > 0)
        it->second = std::normal_distribution<double>(0, profile_.aimErrorPx)(random_);
    return it->second;
}

std::vector<AutoDiver::Judged> AutoDiver::judge(const DiverState& self) {
    const auto age = static_cast<std::size_t>(profile_.reactionTicks);
    const FieldView& seen = memory_[memory_.size() - 1 - age];
    const FieldView* before = memory_.size() >= age + 2 ? &memory_[memory_.size() - 2 - age] : nullptr;
    std::vector<Judged> things;
    things.reserve(seen.things.size());
    for (const Sighting& s : seen.things) {
        Judged j;
        j.seen = s;
        // What each kind of thing does when it was not seen moving yet.
        switch (s.kind) {
        case Sighting::Fish: j.vx = s.fishKind == 7 ? -self.scroll : -(self.scroll + 2); break;
        case Sighting::Bonus: j.vx = -(self.scroll + 1); break;
        default: j.vx = -self.scroll; break;
        }
        if (before) {
            for (const Sighting& b : before->things) {
                if (b.id == s.id && b.kind == s.kind) {
                    j.vx = s.x - b.x;
                    j.vy = s.y - b.y;
                    break;
                }
            }
        }
        j.x = s.x + j.vx * static_cast<double>(age);
        j.y = s.y + j.vy * static_cast<double>(age);
        if (s.kind == Sighting::Fish) j.y += heightError(s.id);
        things.push_back(j);
    }
    if (heightErrors_.size() > 2000) heightErrors_.clear();
    return things;
}

void AutoDiver::buildCeiling(const std::vector<Judged>& things, const DiverState&) {
    std::fill(ceiling_.begin(), ceiling_.end(), 0);
    for (const Judged& j : things) {
        if (j.seen.kind != Sighting::Rock) continue;
        const auto from = std::clamp<std::int32_t>(static_cast<std::int32_t>(std::floor(j.x)) + kLeft, 0, kColumns);
        const auto to = std::clamp<std::int32_t>(from + j.seen.w, 0, kColumns);
        const std::int32_t bottom = static_cast<std::int32_t>(std::ceil(j.y)) + j.seen.h;
        for (std::int32_t c = from; c < to; ++c)
            ceiling_[static_cast<std::size_t>(c)] = std::max(ceiling_[static_cast<std::size_t>(c)], bottom);
    }
}

std::int32_t AutoDiver::rockBottom(double x, std::int32_t w, int k, std::int32_t scroll) const {
    // The rock moves left with the scroll: k ticks on, screen column c shows what is at c + k·scroll now.
    const auto from = std::clamp<std::int32_t>(static_cast<std::int32_t>(x) + k * scroll + kLeft, 0, kColumns);
    const auto to = std::clamp<std::int32_t>(from + w, 0, kColumns);
    std::int32_t bottom = 0;
    for (std::int32_t c = from; c < to; ++c) bottom = std::max(bottom, ceiling_[static_cast<std::size_t>(c)]);
    return bottom;
}

double AutoDiver::cost(const Plan& target, const std::vector<Judged>& things, const DiverState& self) const {
    const int ahead = profile_.lookAheadTicks;
    const double m = profile_.marginPx;
    // The hand engine is part of the diver in every collision.
    const std::int32_t w = self.engineShown ? 113 + 46 : self.w;
    double c =
        0.04 * std::abs(target.y - self.y) + 0.02 * std::abs(target.x - self.x) + 0.01 * std::abs(target.x - 140);

    // Whether the gun (or the net) at the target kills fish j before it arrives at tick `arrives`.
    auto killedFirst = [&](const Judged& j, int arrives) {
        const double top = j.y, bottom = j.y + j.seen.h;
        const bool inGunLane = top < target.y + 21 && bottom > target.y + 15;
        const bool inNetLane = self.netRunning && top < target.y + 116 && bottom > target.y - 72;
        if (!inGunLane && !inNetLane) return false;
        int hits = 0;
        for (int fired = self.gunCooldown; fired < arrives; fired += self.gunInterval) {
            const double from = approach(self.x, target.x, fired) + self.w;
            const double front = j.x + j.vx * fired;
            const double meets = fired + (front - from) / (kShotSpeed - j.vx);
            if (meets < arrives) hits += inNetLane ? 10 : 1;
        }
        return hits >= j.seen.hitPoints;
    };

    std::vector<char> done(things.size(), 0);
    bool rockHit = false;
    for (int k = 1; k <= ahead; k += 2) {
        const double px = approach(self.x, target.x, k), py = approach(self.y, target.y, k);
        const double soon = static_cast<double>(ahead + 1 - k) / (ahead + 1);
        if (!rockHit && py < rockBottom(px, w, k, self.scroll) + m) {
            c += 200 + 400 * soon;
            rockHit = true;
        }
        for (std::size_t i = 0; i < things.size(); ++i) {
            const Judged& j = things[i];
            if (done[i] || j.seen.kind == Sighting::Rock) continue;
            const double fx = j.x + j.vx * k, fy = j.y + j.vy * k;
            if (!overlaps(px - m, py - m, w + 2 * m, self.h + 2 * m, fx, fy, j.seen.w, j.seen.h)) continue;
            done[i] = 1;
            switch (j.seen.kind) {
            case Sighting::Fish:
                if (!killedFirst(j, k)) c += 500 + 1000 * soon;
                break;
            case Sighting::Bonus: c -= bonusWanted(j.seen.bonusKind, self); break;
            case Sighting::Treasure: c -= 40; break;
            case Sighting::Rock: break;
            }
        }
    }
    // Lining the gun up with fish coming that it can kill is worth a little.
    for (const Judged& j : things)
        if (j.seen.kind == Sighting::Fish && j.x > target.x + self.w && killedFirst(j, 400)) c -= 30;
    return c;
}

AutoDiver::Plan AutoDiver::choose(const std::vector<Judged>& things, const DiverState& self) {
    Plan best{self.x, self.y};
    double bestCost = cost(best, things, self);
    const std::int32_t bottom = kMaxBottom - self.h;
    for (std::int32_t x : {60, 140, 240, 340}) {
        const std::int32_t tx = std::clamp(x, kMinX, kMaxRight - self.w);
        for (std::int32_t ty = kMinY; ty <= bottom; ty += 8) {
            const Plan p{tx, ty};
            const double c = cost(p, things, self);
            if (c < bestCost) {
                bestCost = c;
                best = p;
            }
        }
    }
    return best;
}

Keys AutoDiver::Act(FieldView now, const DiverState& self) {
    memory_.push_back(std::move(now));
    while (memory_.size() > static_cast<std::size_t>(profile_.reactionTicks) + 2) memory_.pop_front();
    if (profile_.idle) return {};

    keys_.fire = true; // everyone holds fire
    keys_.net = self.netRunning;
    if (sinceThought_++ % profile_.thinkEvery != 0) return keys_;
    if (memory_.size() > static_cast<std::size_t>(profile_.reactionTicks)) {
        const std::vector<Judged> things = judge(self);
        buildCeiling(things, self);
        plan_ = choose(things, self);
    } else {
        plan_ = {self.x, self.y};
    }
    steerAxis(self.x, plan_.x, self.vx, keys_.left, keys_.right);
    steerAxis(self.y, plan_.y, self.vy, keys_.up, keys_.down);
    return keys_;
}

} // namespace playtest
