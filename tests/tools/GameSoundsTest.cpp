// SPDX-License-Identifier: MIT
// The game's nine sound effects, rendered from their descriptions and packed by the
// wave-collection tool, load into the game's wave collection under the names the game plays.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "SoundFolder.h"
#include "WaveCommands.h"
#include "sound/DXSounds.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(GameSounds, PackIntoTheWaveCollectionTheGameReads) {
    const char* names[] = {"bonus",   "fishdie", "herodieair", "herodiefish", "herogun",
                           "heronet", "looser",  "menu",       "nextlevel"};
    std::vector<fs::path> sources;
    for (const char* n : names) sources.push_back(fs::path(TW_ASSETS_DIR) / "sounds" / (std::string(n) + ".sfx"));
    const tw::test::TempDir tmp("tw-sounds");
    const fs::path& dir = tmp.path();
    tw::synth::renderSoundFolder(dir, sources);

    const std::string dxw = (dir / "gamesound.dxw").string();
    std::ostringstream out, err;
    ASSERT_EQ(runWaveCommand({"pack", (dir / "manifest.txt").string(), dxw}, out, err), 0) << err.str();

    TWaveCollection sounds;
    sounds.LoadFromFile(dxw);
    EXPECT_EQ(sounds.Count(), 9);
    for (const char* n : names) {
        const auto& item = sounds.Find(n);
        EXPECT_FALSE(item.Looped()) << n;
        const auto format = parsePcmFormat(item.Wave().Format());
        ASSERT_TRUE(format.has_value()) << n;
        EXPECT_EQ(format->channels, 1) << n;
        EXPECT_EQ(format->bitsPerSample, 16) << n;
        EXPECT_GT(item.Wave().Size(), 1000u) << n;
    }
    // The rapid-fire sounds are capped, so a long burst reuses its copies.
    EXPECT_EQ(sounds.Find("herogun").MaxPlayingCount(), 4);
    EXPECT_EQ(sounds.Find("looser").MaxPlayingCount(), 0);
}
