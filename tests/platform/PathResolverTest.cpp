// SPDX-License-Identifier: MIT
// The game's backslash names resolved against a folder whose letter case differs.
#include "platform/PathResolver.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <optional>

namespace {

using tw::platform::resolvePath;
using tw::test::TempDir;

TEST(PathResolver, MatchesEachComponentIgnoringCase) {
    TempDir dir;
    const std::string menu = dir.touch("data/menu.dxg");
    const std::string song = dir.touch("Sound/1.xm");
    const std::string deep = dir.touch("A/bB/Cc.Dat");
    const std::string root = dir.path().string();
    struct Case {
        std::string asked, expected;
    };
    const Case cases[] = {
        {root + "/data/menu.dxg", menu},   // exact: unchanged
        {root + "\\data\\menu.dxg", menu}, // backslashes are separators
        {root + "\\DATA\\Menu.DXG", menu}, // every component ignores case
        {root + "\\sound\\1.xm", song},    // folder written in another case
        {root + "\\a\\BB\\cC.dAT", deep},
        {root + "\\DATA\\\\MENU.dxg", menu},                        // an empty component is skipped
        {root + "\\data\\missing.dxg", root + "/data/missing.dxg"}, // no match: the asked name
        {root + "\\nothere\\menu.dxg", root + "/nothere/menu.dxg"},
    };
    for (const Case& c : cases) EXPECT_EQ(resolvePath(c.asked), c.expected) << c.asked;
}

TEST(PathResolver, ExactNameWinsOverOtherCaseAndChoiceIsStable) {
    TempDir dir;
    const std::string lower = dir.touch("pics/a.bin");
    const std::string upper = dir.touch("pics/A.bin");
    const std::string root = dir.path().string();
    EXPECT_EQ(resolvePath(root + "\\pics\\A.bin"), upper);
    EXPECT_EQ(resolvePath(root + "\\pics\\a.bin"), lower);
    // Neither matches exactly: the first in name order, whatever the directory order.
    EXPECT_EQ(resolvePath(root + "\\PICS\\a.BIN"), upper);
}

TEST(PathResolver, RelativeNamesResolveFromTheCurrentDirectory) {
    TempDir dir;
    dir.touch("Sound/GameSound.dxw");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const std::string resolved = resolvePath("sound\\gamesound.dxw");
    const std::string missing = resolvePath("sound\\2.xm");
    std::filesystem::current_path(previous);
    EXPECT_EQ(resolved, "Sound/GameSound.dxw");
    EXPECT_EQ(missing, "sound/2.xm");
}

// The installed game: the launcher names the data folder, the game runs in the player's folder.
TEST(PathResolver, DataNamesGoToTheNamedDataFolder) {
    TempDir installed, player;
    const std::string menu = installed.touch("data/menu.dxg");
    const std::string wave = installed.touch("sound/gamesound.dxw");
    player.touch("play.url");
    player.touch("Sound/1.xm"); // the player's own sound folder
    // An older launcher's link in the player's folder, pointing at a copy that must not be used.
    TempDir stale;
    stale.touch("menu.dxg");
    std::filesystem::create_symlink(stale.path(), player.path() / "data");

    const auto previous = std::filesystem::current_path();
    const char* before = getenv("TIDEWARDEN_DATA");
    const std::optional<std::string> kept = before ? std::optional<std::string>(before) : std::nullopt;
    std::filesystem::current_path(player.path());
    struct Case {
        const char* env;
        std::string asked, expected;
    };
    const std::string base = installed.path().string();
    const std::string trailing = base + "//";
    const Case cases[] = {
        {nullptr, "data\\menu.dxg", "data/menu.dxg"},    // no folder named: the run folder, link and all
        {"", "data\\menu.dxg", "data/menu.dxg"},         // empty is not named
        {"relative", "data\\menu.dxg", "data/menu.dxg"}, // nor is a relative folder
        {base.c_str(), "data\\menu.dxg", menu},          // the link is passed by
        {base.c_str(), "DATA\\Menu.DXG", menu},          // letter case still ignored
        {trailing.c_str(), "data\\menu.dxg", menu},      // trailing slashes
        {base.c_str(), "sound\\1.xm", "Sound/1.xm"},     // a real folder of the player's own wins
        {base.c_str(), "play.url", "play.url"},          // the player's files stay the player's
        {base.c_str(), "data\\missing.dxg", base + "/data/missing.dxg"}, // named in the error
        {base.c_str(), "/abs/data/menu.dxg", "/abs/data/menu.dxg"},
    };
    for (const Case& c : cases) {
        if (c.env) {
            setenv("TIDEWARDEN_DATA", c.env, 1);
        } else {
            unsetenv("TIDEWARDEN_DATA");
        }
        EXPECT_EQ(resolvePath(c.asked), c.expected) << c.asked << " with " << (c.env ? c.env : "(unset)");
    }
    // Without the player's own sound folder, sounds come from the installed one too.
    std::filesystem::remove_all(player.path() / "Sound");
    setenv("TIDEWARDEN_DATA", base.c_str(), 1);
    EXPECT_EQ(resolvePath("sound\\gamesound.dxw"), wave);
    std::filesystem::current_path(previous);
    if (kept) {
        setenv("TIDEWARDEN_DATA", kept->c_str(), 1);
    } else {
        unsetenv("TIDEWARDEN_DATA");
    }
}

} // namespace
