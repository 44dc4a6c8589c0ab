// SPDX-License-Identifier: MIT
// The table's replay files: moved down, replaced and removed as the table's entries are.
#include "shell/TableReplays.h"

#include "state/Settings.h"

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {
constexpr std::size_t Places = static_cast<std::size_t>(HighScoreCount);
}

fs::path TableReplayFile(std::size_t place) { return "replay" + std::to_string(place) + ".twr"; }

void StoreTableReplay(std::size_t place, const TReplay* replay) {
    if (place < 1 || place > Places) return;
    std::error_code ec;
    for (std::size_t k = Places; k > place; --k) {
        // A place without a replay passes that on too: no other entry's game may stay behind.
        if (fs::exists(TableReplayFile(k - 1), ec))
            fs::rename(TableReplayFile(k - 1), TableReplayFile(k), ec);
        else
            fs::remove(TableReplayFile(k), ec);
    }
    fs::remove(TableReplayFile(place), ec);
    if (replay) SaveReplayFile(TableReplayFile(place), *replay);
}

void DropTableReplays() {
    std::error_code ec;
    for (std::size_t k = 1; k <= Places; ++k) fs::remove(TableReplayFile(k), ec);
}

std::optional<TReplay> TableReplay(std::size_t place, std::uint16_t score) {
    if (place < 1 || place > Places) return std::nullopt;
    std::error_code ec;
    if (!fs::is_regular_file(TableReplayFile(place), ec)) return std::nullopt;
    try {
        TReplay replay = LoadReplayFile(TableReplayFile(place));
        if (replay.End.Score != score) return std::nullopt;
        return replay;
    } catch (const EReplayError&) {
        return std::nullopt;
    }
}
