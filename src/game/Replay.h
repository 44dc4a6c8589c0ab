// SPDX-License-Identifier: MIT
// A recorded game: what it started from and the input of every tick in which the game moved, so
// that the same code replays it exactly. Written and read here, in the file format below.
//
// The file, in file order (all numbers little-endian):
//   4 bytes   "TWRP"
//   u16       version, 1
//   u32       the random generator's state when the game's field was built
//   u16 x 4   the spawn delays then: fish, bonus, algae, treasure (they carry over from the last game)
//   u32       ticks recorded (the ticks of the level announcement, play, the diver's death and
//             "GAME OVER"; pauses and questions take none)
//   u32       the score at the end, u16 the level at the end
//   u32       the check value at the end (ReplayCheckValue after the last tick)
//   u32       runs of equal ticks, then each run: u16 ticks (1 or more), u8 held keys
//             (TTickInput::Held), u8 x 4 mouse pushes, u16 lag count, u8 flags (bit 0: the player
//             ended the game before this tick, as "YES" to the exit question does)
//   u32       check values, then each: u32 ReplayCheckValue after tick 256, 512, 768, ...
//   u32       CRC-32 of every byte before it
// A file that breaks any of this, or claims more than MaxReplayTicks, is refused as damaged.
#pragma once

#include "game/TickInput.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// A replay file that cannot be read or is not a replay: the message names the file and the cause.
class EReplayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::uint16_t ReplayVersion = 1;
// A check value every this many ticks finds a desync close to where it happens.
constexpr std::uint32_t ReplayCheckInterval = 256;
// About 24 hours of play: more is not a game, and the cap bounds what a hostile file can cost.
constexpr std::uint32_t MaxReplayTicks = 24u * 3600u * 1000u / 16u;

struct TReplayStart {
    std::uint32_t RandomState = 0;
    std::array<std::uint16_t, 4> Delays = {0, 0, 0, 0}; // fish, bonus, algae, treasure
    bool operator==(const TReplayStart&) const = default;
};

struct TReplayTick {
    TTickInput Input;
    bool Quit = false; // the player ended the game before this tick
    bool operator==(const TReplayTick&) const = default;
};

struct TReplayEnd {
    std::uint32_t Score = 0;
    std::uint16_t Level = 0;
    std::uint32_t Check = 0;
    bool operator==(const TReplayEnd&) const = default;
};

struct TReplay {
    TReplayStart Start;
    std::vector<TReplayTick> Ticks;
    std::vector<std::uint32_t> Checks; // after ticks 256, 512, ...
    TReplayEnd End;
    bool operator==(const TReplay&) const = default;
};

std::vector<std::uint8_t> EncodeReplay(const TReplay& replay);
// Throws EReplayError naming `source` on anything but a whole, well-formed replay.
TReplay DecodeReplay(std::span<const std::uint8_t> bytes, const std::string& source);

// Whole files; the writer replaces the file only once the new one is complete.
TReplay LoadReplayFile(const std::filesystem::path& file);
void SaveReplayFile(const std::filesystem::path& file, const TReplay& replay);

// A value of the game's state that any different course of the game soon changes: the random
// generator's state, the score, level, lives, air, and where the diver, the fish and the shots are.
std::uint32_t ReplayCheckValue();

// Records the running game tick by tick.
class TReplayRecorder {
public:
    // The game's field is about to be built: takes the random state and the spawn delays.
    void Start();
    bool Recording() const { return recording_; }
    // The input of a tick about to run, and after it ran (every 256th tick takes a check value).
    void Add(const TTickInput& input);
    void TickDone();
    // The player ended the game: the next tick recorded carries the flag.
    void MarkQuit() { quitPending_ = true; }
    // The game is over: takes the end state and returns the whole replay; recording stops.
    TReplay Finish();
    void Cancel() { recording_ = false; }

private:
    TReplay replay_;
    bool recording_ = false;
    bool quitPending_ = false;
    bool tickOpen_ = false;
};

// Plays a replay back tick by tick and says where it went another way.
class TReplayPlayer {
public:
    explicit TReplayPlayer(TReplay replay) : replay_(std::move(replay)) {}
    const TReplay& Replay() const { return replay_; }
    // Seeds the random generator and sets the spawn delays, before the field is built.
    void Begin() const;
    bool AtEnd() const { return next_ >= replay_.Ticks.size(); }
    std::uint32_t TicksPlayed() const { return static_cast<std::uint32_t>(next_); }
    const TReplayTick& Next() { return replay_.Ticks[next_++]; }
    // After a tick ran: false when the game state differs from the check recorded for this tick.
    bool CheckAfterTick() const;

private:
    TReplay replay_;
    std::size_t next_ = 0;
};
