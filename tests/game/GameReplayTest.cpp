// SPDX-License-Identifier: MIT
// A whole game played by a fixed input script on a fixed seed, its state dumped every 250 ticks and
// compared with the expected dump kept beside the tests: any change of feel shows as a difference.
// TW_UPDATE_EXPECTED=1 writes the dump as the new expectation.
#include "GameHostTest.h"

#include "platform/VirtualKeys.h"
#include "shell/KeyHandling.h"

#include <algorithm>
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

// The dump against the expected file of that name; TW_UPDATE_EXPECTED=1 writes it instead.
void compareWithExpected(const std::string& dump, const std::string& name) {
    const std::string path = std::string(TW_GAME_EXPECTED_DIR) + "/" + name;
    if (std::getenv("TW_UPDATE_EXPECTED")) {
        std::ofstream(path) << dump;
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << path << " is missing: run with TW_UPDATE_EXPECTED=1 to write it";
    std::ostringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(dump, expected.str());
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
    compareWithExpected(dump.str(), "replay.txt");
}

// A fighting game: the harpoon held most of the time, the net cast whenever it may be, the mouse
// buttons and the keys taking turns, and every kind of bonus hung in the diver's way once a level.
const std::vector<Stretch>& fightScript() {
    static const std::vector<Stretch> s = {
        {{vk::LControl}},
        {{vk::Space, vk::Down}},
        {{vk::LControl, vk::Return}},
        {{vk::Space, vk::Up, vk::LShift}},
        {{vk::Right, vk::LControl}},
        {{}, 20},
        {{vk::Space, vk::Return, vk::Left}},
        {{vk::Down}},
        {{vk::LControl, vk::Up}},
        {{vk::Space}, -20},
    };
    return s;
}

TEST_F(GameReplayTest, AFightingGameWithEveryBonusReplaysExactly) {
    makeHost(20261212);
    startGame();
    std::ostringstream dump;
    std::vector<std::uint8_t> held;
    const int lastTick = 12000;
    for (int t = 0; t < lastTick && Shell.GameState != gsMenu; ++t) {
        if (t % 40 == 0) {
            for (std::uint8_t k : held) host->keyUp(k);
            const std::size_t n = static_cast<std::size_t>(t / 40);
            const Stretch& s = fightScript()[n % fightScript().size()];
            held = s.keys;
            for (std::uint8_t k : held) host->keyDown(k);
            if (s.mouseDx != 0) host->mouseMove(400 + s.mouseDx, 300);
            // The mouse's buttons fire too, in every third stretch.
            if (n % 3 == 1) {
                host->mouseDown(tw::platform::MouseButton::Left, 400, 300);
                host->mouseDown(tw::platform::MouseButton::Right, 400, 300);
            } else {
                host->mouseUp(tw::platform::MouseButton::Left, 400, 300);
                host->mouseUp(tw::platform::MouseButton::Right, 400, 300);
            }
        }
        // Every 150 ticks of play a bonus of the next kind hangs just in front of the diver.
        if (Shell.GameState == gsPlaying && Game.Hero && Game.Hero->Visible && t % 150 == 0) {
            auto* bonus = new TBonusSprite(&root());
            bonus->SetKind((t / 150) % 6 + 1, 50);
            bonus->X = Game.Hero->X + 40;
            bonus->Y = std::max(200, Game.Hero->Y);
        }
        // Lives run out in a fighting game: more come so that it reaches the later levels.
        if (Game.Lives < 2) Game.Lives = 5;
        host->runTicks(1);
        if (host->ticksRun() % 250 == 0) dump << host->stateDump() << "\n";
    }
    dump << "end\n" << host->stateDump();
    compareWithExpected(dump.str(), "replay-fight.txt");
}

} // namespace
