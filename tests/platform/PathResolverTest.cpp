// The game's backslash names resolved against a folder whose letter case differs.
#include "platform/PathResolver.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

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

} // namespace
