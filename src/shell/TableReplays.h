// SPDX-License-Identifier: MIT
// The replays of the local table's games: "replay1.twr" to "replay10.twr" beside "config.dat",
// one per place, moved down with their entries and removed with them.
#pragma once

#include "game/Replay.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

std::filesystem::path TableReplayFile(std::size_t place);
// A new entry took `place`: the replays from there down move one place, the tenth's goes, and the
// new game's replay (when there is one) takes the place. Throws EReplayError when it cannot write.
void StoreTableReplay(std::size_t place, const TReplay* replay);
// The table was cleared: every replay goes.
void DropTableReplays();
// The replay kept for `place`, when there is one and it is that entry's game (it ended at `score`);
// a damaged file counts as none.
std::optional<TReplay> TableReplay(std::size_t place, std::uint16_t score);
