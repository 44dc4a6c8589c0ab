// SPDX-License-Identifier: MIT
// Fuzzes the replay reader. Any bytes must read without a crash or be refused with EReplayError; a
// replay that reads must read back the same once written again (the bytes may differ: the writer
// joins equal neighbouring runs).
#include "game/Replay.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const TReplay replay = DecodeReplay(std::span<const std::uint8_t>(data, size), "fuzz");
        const std::vector<std::uint8_t> again = EncodeReplay(replay);
        if (DecodeReplay(again, "again") != replay) __builtin_trap();
    } catch (const EReplayError&) {}
    return 0;
}
