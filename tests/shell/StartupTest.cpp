// SPDX-License-Identifier: MIT
// Start-up on damaged or incomplete game data: a sound file that cannot be had leaves the game silent,
// menu pictures that cannot be had end it after saying why, and either way the player's "config.dat"
// comes out byte for byte as it went in.
#include "host/GameHost.h"
#include "shell/Config.h"
#include "platform/VirtualKeys.h"
#include "shell/KeyHandling.h"
#include "sound/DXSounds.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace vk = tw::platform::vk;

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using tw::test::GameHost;
using tw::test::readRunFile;
using tw::test::replaceRunFile;

// The hand-made table of the fixture, with sound on so that every menu command plays "menu".
Bytes preparedConfig() {
    SettingsState s;
    EXPECT_TRUE(DecodeConfigFile(readRunFile(fs::path(TW_FIXTURES_DIR) / "shell" / "custom.dat"), s));
    s.SoundOn = 1;
    s.MusicOn = 0;
    const TConfigRecord r = EncodeConfigFile(s);
    return Bytes(r.begin(), r.end());
}

Bytes firstHalf(Bytes b) {
    b.resize(b.size() / 2);
    return b;
}

Bytes renameFirst(Bytes b, const std::string& from, const std::string& to) {
    auto at = std::search(b.begin(), b.end(), from.begin(), from.end());
    EXPECT_NE(at, b.end()) << from;
    if (at != b.end()) std::copy(to.begin(), to.end(), at);
    return b;
}

// The built sound file with one sound in a format no device plays.
Bytes withUnplayableWave(const Bytes& built, const char* name) {
    TWaveCollection waves;
    waves.LoadFromBytes(built);
    TWave& wave = waves.Find(name).Wave();
    Bytes format(wave.Format().begin(), wave.Format().end());
    format.at(0) = 0x55; // compressed audio
    wave.SetFormat(format);
    return waves.SaveToBytes();
}

struct Damage {
    const char* what;
    const char* file;                          // in the run folder
    std::function<Bytes(const Bytes&)> change; // of the built file; none: the file is removed
    bool playable;                             // the game comes up, silent where it must
    const char* message;                       // part of the one message shown
};

TEST(Startup, DamagedDataNeverCostsTheTableNorLeavesAWindowThatCannotBeClosed) {
    const Damage cases[] = {
        {"sound file missing", "sound/gamesound.dxw", nullptr, true, "Cannot open file \"sound/gamesound.dxw\". "},
        {"sound file empty", "sound/gamesound.dxw", [](const Bytes&) { return Bytes{}; }, true,
         "Cannot load file \"sound/gamesound.dxw\". Invalid stream format"},
        {"sound file truncated", "sound/gamesound.dxw", firstHalf, true, "Cannot load file \"sound/gamesound.dxw\". "},
        {"a sound renamed", "sound/gamesound.dxw", [](const Bytes& b) { return renameFirst(b, "menu", "mena"); }, true,
         "Wave 'menu' not found\nThese sounds of \"sound/gamesound.dxw\" are silent; the game goes on."},
        {"a sound no device plays", "sound/gamesound.dxw",
         [](const Bytes& b) { return withUnplayableWave(b, "herogun"); }, true, "Wave 'herogun'"},
        {"menu pictures missing", "data/menu.dxg", nullptr, false, "Cannot open file \"data/menu.dxg\". "},
        {"menu pictures empty", "data/menu.dxg", [](const Bytes&) { return Bytes{}; }, false,
         "Cannot load file \"data/menu.dxg\". Invalid stream format"},
        {"menu pictures truncated", "data/menu.dxg", firstHalf, false, "Cannot load file \"data/menu.dxg\". "},
    };
    const Bytes table = preparedConfig();
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        GameHost::Options options;
        options.gameData = true;
        options.prepare = [&](const fs::path& folder) {
            replaceRunFile(folder / "config.dat", table);
            const fs::path file = folder / c.file;
            if (c.change)
                replaceRunFile(file, c.change(readRunFile(file)));
            else
                fs::remove(file);
        };
        GameHost host(options);

        ASSERT_EQ(host.messages().size(), 1u) << "told once";
        EXPECT_THAT(host.messages()[0], ::testing::HasSubstr(c.message));
        if (c.playable) {
            EXPECT_THAT(host.messages()[0], ::testing::AnyOf(::testing::EndsWith("The game goes on silent."),
                                                             ::testing::EndsWith("are silent; the game goes on.")));
            EXPECT_FALSE(host.form().CreationFailed());
            EXPECT_EQ(Shell.GameState, gsMenu);
            EXPECT_EQ(host.runTicks(3), 3);
            // Every sound the game plays is there: a menu command (which plays "menu") works, and
            // the exit question answered with "YES" ends the game.
            host.pressKey(vk::Escape);
            ASSERT_EQ(Shell.MenuScreen, msExitQuery);
            host.pressKey(vk::Return);
            EXPECT_TRUE(host.closed());
            EXPECT_EQ(host.messages().size(), 1u) << host.messages().back();
        } else {
            EXPECT_TRUE(host.form().CreationFailed());
            EXPECT_TRUE(host.closed()) << "the program ends";
        }
        EXPECT_EQ(readRunFile(host.runFolder() / "config.dat"), table);
    }
}

TEST(Startup, ADirectoryInPlaceOfADataFileIsNamedInTheMessage) {
    for (const std::string file : {"sound/gamesound.dxw", "data/menu.dxg"}) {
        SCOPED_TRACE(file);
        GameHost::Options options;
        options.gameData = true;
        options.prepare = [&](const fs::path& folder) {
            fs::remove(folder / file);
            fs::create_directory(folder / file);
        };
        GameHost host(options);
        ASSERT_EQ(host.messages().size(), 1u);
        EXPECT_THAT(host.messages()[0], ::testing::StartsWith("Cannot open file \"" + file + "\". Is a directory"));
        EXPECT_EQ(host.form().CreationFailed(), file == "data/menu.dxg");
    }
}

TEST(Startup, ASoundThatCannotBePlayedIsSilentAndTheOthersStay) {
    GameHost::Options options;
    options.gameData = true;
    options.prepare = [](const fs::path& folder) {
        const fs::path file = folder / "sound" / "gamesound.dxw";
        replaceRunFile(file, withUnplayableWave(readRunFile(file), "herogun"));
    };
    GameHost host(options);
    TWaveCollection& waves = host.form().DXWaveList1->Items();
    if (!waves.BoundToInitializedDevice()) GTEST_SKIP() << "no sound device, not even the dummy one";
    EXPECT_TRUE(waves.Find("herogun").Wave().Empty());
    EXPECT_NO_THROW(waves.Find("herogun").Play(false));
    EXPECT_NE(waves.Find("bonus").Buffer(), nullptr) << "the sounds after it were still made";
}

} // namespace
