// SPDX-License-Identifier: MIT
// One replay checked by the game's own program ("tidewarden --verify FILE") in a child process of
// its own, boxed in: a wall-clock deadline, CPU, memory and file limits, no input, its output read
// only up to a cap. The service itself never runs the game's code or links its libraries.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace tw::scores {

struct CheckSettings {
    // The game's program; empty: replays are not checked (and not accepted).
    std::string program;
    // The folder holding the game's "data" folder, handed to the program as TIDEWARDEN_DATA;
    // empty: the program's own folder.
    std::string dataFolder;
    // A check still running after this is killed, and its replay counts as not verified.
    std::chrono::milliseconds timeout{60000};
    // Address space of the child; 0: no limit (a build with AddressSanitizer needs none).
    std::uint64_t memoryBytes = std::uint64_t{1} << 30;
    // Where the replay file is written for the child; empty: TMPDIR, else /tmp.
    std::string tempFolder;
};

struct CheckVerdict {
    bool verified = false;
    // False when the check could not be made (no file, no program): the replay proved nothing
    // either way and may be checked again later.
    bool conclusive = true;
    std::string why; // for the log: what the check found
};

// Plays `bytes` with the game's program and compares the score it ends at with `score`. Verified
// only when the program says the replay ends exactly as it recorded (exit status 0) and its end
// state's score line is the entry's score. `started` is told the child's process group (for
// Abort) once it runs.
CheckVerdict CheckReplay(const CheckSettings& settings, const std::string& bytes, std::uint16_t score,
                         const std::function<void(int)>& started = {});

// Runs the program with --version in the same box: empty when it answers, else why not. A program
// that cannot even start there (a limit too tight for it, say) would fail every replay.
std::string ProbeVerifier(const CheckSettings& settings);

// Kills a check's process group from another thread: the check then ends at once, not verified.
void AbortCheck(int processGroup);

// The game's program installed beside the service (the installed layout), when it is there.
std::string InstalledVerifier();
// The data folder that goes with a program found by InstalledVerifier.
std::string InstalledVerifierData();

} // namespace tw::scores
