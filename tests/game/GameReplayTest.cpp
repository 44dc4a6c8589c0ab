// A whole game played by a fixed input script on a fixed seed, its state dumped every 250 ticks and
// compared with the expected dump kept beside the tests: any change of feel shows as a difference.
// TW_UPDATE_EXPECTED=1 writes the dump as the new expectation.
#include "GameHostTest.h"

#include "platform/VirtualKeys.h"
#include "shell/KeyHandling.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

namespace vk = tw::platform::vk;

using GameReplayTest = GameHostTest;

// The keys held in each 40-tick stretch of the script, in turn.
struct Stretch {
    std::vector<std::uint8_t> keys;
    int mouseDx = 0; // a mouse move this far right of the centre at the stretch's start
};

const std::vector<Stretch>& script() {
    static const std::vector<Stretch> s = {
        {{vk::Right}},
        {{vk::Down}},
        {{}},
        {{vk::Up, vk::Right}},
        {{vk::Left}},
        {{vk::Down, vk::Left}},
        {{}, 30},
        {{vk::Up}},
        {{vk::Right, vk::Left}},
        {{vk::Down}},
        {{}, -24},
        {{vk::Down, vk::Right}},
    };
    return s;
}

TEST_F(GameReplayTest, AScriptedGameReplaysExactly) {
    makeHost(20261210);
    startGame();
    std::ostringstream dump;
    std::vector<std::uint8_t> held;
    const int lastTick = 12000;
    // The game is over when it is back in the menu or asks for the name of a result for the table.
    for (int t = 0; t < lastTick && Shell.GameState != gsMenu && Shell.GameState != gsNameEntry; ++t) {
        if (t % 40 == 0) {
            for (std::uint8_t k : held) host->keyUp(k);
            const Stretch& s = script()[static_cast<std::size_t>(t / 40) % script().size()];
            held = s.keys;
            for (std::uint8_t k : held) host->keyDown(k);
            if (s.mouseDx != 0) host->mouseMove(400 + s.mouseDx, 300);
        }
        host->runTicks(1);
        if (host->ticksRun() % 250 == 0) dump << host->stateDump() << "\n";
    }
    dump << "end\n" << host->stateDump();

    const std::string path = std::string(TW_GAME_EXPECTED_DIR) + "/replay.txt";
    if (std::getenv("TW_UPDATE_EXPECTED")) {
        std::ofstream(path) << dump.str();
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << path << " is missing: run with TW_UPDATE_EXPECTED=1 to write it";
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(dump.str(), expected.str());
}

} // namespace
