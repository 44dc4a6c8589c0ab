// SPDX-License-Identifier: MIT
// Replays: the file read back as written and refused when damaged; a game played in the window
// verified without one to the same end; a changed input found by the check after it; the table's
// replays moved with their entries; a replay watched from the high scores.
#include "GameHostTest.h"

#include "game/Replay.h"
#include "game/ReplayVerifier.h"
#include "platform/VirtualKeys.h"
#include "shell/MenuFrame.h"
#include "shell/TableReplays.h"
#include "state/Settings.h"

#include <filesystem>
#include <fstream>

namespace {

namespace vk = tw::platform::vk;
namespace fs = std::filesystem;

std::uint32_t crc32(const std::vector<std::uint8_t>& bytes, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= bytes[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

// The check sum put right after a change, so that the reader meets the change itself.
std::vector<std::uint8_t> resealed(std::vector<std::uint8_t> bytes) {
    const std::uint32_t c = crc32(bytes, bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(c >> (8 * i));
    return bytes;
}

TReplay smallReplay() {
    TReplay r;
    r.Start = {0x12345678u, {4, 33, 45, 16}};
    for (std::uint32_t t = 0; t < 600; ++t) {
        TReplayTick tick;
        tick.Input.Held = static_cast<std::uint8_t>(t / 100);
        tick.Input.Push[1] = t == 7 ? 12 : 0;
        tick.Quit = t == 599;
        r.Ticks.push_back(tick);
    }
    r.Checks = {11, 22};
    r.End = {1234, 3, 0xCAFEu};
    return r;
}

TEST(ReplayFile, ReadsBackWhatWasWrittenInRunsOfEqualTicks) {
    const TReplay r = smallReplay();
    const std::vector<std::uint8_t> bytes = EncodeReplay(r);
    // 6 held values, the push and the quit break the runs: 9 runs of 10 bytes after a 36-byte head.
    EXPECT_EQ(bytes.size(), 36u + 9u * 10u + 4u + 2u * 4u + 4u);
    EXPECT_EQ(DecodeReplay(bytes, "r.twr"), r);
}

TEST(ReplayFile, EveryDamageIsRefusedWithTheFileNamed) {
    const std::vector<std::uint8_t> good = EncodeReplay(smallReplay());
    auto with = [&](std::size_t at, std::uint8_t value) {
        std::vector<std::uint8_t> b = good;
        b[at] = value;
        return resealed(b);
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"not a replay", {'P', 'K', 3, 4, 0, 0, 0, 0}},
        {"cut after the head", std::vector<std::uint8_t>(good.begin(), good.begin() + 40)},
        {"one byte changed",
         [&] {
             auto b = good;
             b[50] ^= 1;
             return b;
         }()},
        {"version 2", with(4, 2)},
        {"more ticks claimed than runs hold", with(18, 0xFF)},
        {"a run of no ticks", with(36, 0)},
        {"unknown flags", with(45, 0x80)},
        {"a wrong number of checks", with(good.size() - 16, 7)},
        {"ticks beyond any game", with(21, 0x7F)},
        {"bytes after the end",
         [&] {
             auto b = good;
             b.insert(b.end() - 4, 0);
             return resealed(b);
         }()},
    };
    for (const Case& c : cases) {
        try {
            DecodeReplay(c.bytes, "damaged.twr");
            ADD_FAILURE() << c.what << ": read as a replay";
        } catch (const EReplayError& e) {
            EXPECT_NE(std::string(e.what()).find("damaged.twr"), std::string::npos) << c.what << ": " << e.what();
        }
    }
    EXPECT_THROW(LoadReplayFile(fs::temp_directory_path()), EReplayError);
    EXPECT_THROW(LoadReplayFile("/nonexistent/replay.twr"), EReplayError);
}

using ReplayInWindowTest = GameHostTest;

// Plays `ticks` ticks steering by a fixed pattern with the harpoon held, then ends the game with
// "YES" to the exit question, as a player who gives up; returns the state dump at its end.
std::string playAndQuit(tw::test::GameHost& host, int ticks) {
    std::string endDump;
    host.form().GameEndHook = [&] { endDump = GameStateDump(); };
    const std::uint8_t keys[] = {vk::Right, vk::Down, vk::Left, vk::Up};
    host.keyDown(vk::Control);
    for (int t = 0; t < ticks; ++t) {
        // Short strokes, so that the diver wanders in the open water and never rests on an edge.
        if (t % 12 == 0) {
            host.keyUp(keys[(t / 12 + 3) % 4]);
            host.keyDown(keys[(t / 12) % 4]);
        }
        host.runTicks(1);
    }
    for (std::uint8_t k : keys) host.keyUp(k);
    host.keyUp(vk::Control);
    host.closeRequest();
    host.pressKey(vk::Return); // YES is chosen when the question opens
    for (int t = 0; t < 400 && endDump.empty(); ++t) host.runTicks(1);
    host.form().GameEndHook = nullptr;
    return endDump;
}

TEST_F(ReplayInWindowTest, AGamePlayedInTheWindowVerifiesWithoutOneToTheSameEnd) {
    startGame();
    host->runTicks(30);
    host->keyDown(vk::letter('P')); // a pause takes no ticks of the replay
    host->keyUp(vk::letter('P'));
    host->runTicks(40);
    host->pressKey(vk::letter('P'));
    const std::string endDump = playAndQuit(*host, 700);
    ASSERT_FALSE(endDump.empty());
    ASSERT_TRUE(host->form().FinishedReplay().has_value());
    const TReplay replay = *host->form().FinishedReplay();
    EXPECT_EQ(replay.End.Score, Game.Score);
    EXPECT_TRUE(replay.Ticks.back().Quit ||
                std::any_of(replay.Ticks.begin(), replay.Ticks.end(), [](auto& t) { return t.Quit; }));

    const TReplayVerdict verdict = VerifyReplay(replay);
    EXPECT_TRUE(verdict.Matches);
    EXPECT_EQ(verdict.TicksPlayed, replay.Ticks.size());
    EXPECT_EQ(verdict.Dump, endDump);

    // One input changed, shortly before a check: the diver is somewhere else by then (an edge
    // can bring it back to the same place later, so the check finds it only while it differs).
    TReplay changed = replay;
    TTickInput& input = changed.Ticks[250].Input;
    input.Held = static_cast<std::uint8_t>(input.Has(TTickInput::tiUp) ? TTickInput::tiDown : TTickInput::tiUp);
    const TReplayVerdict desync = VerifyReplay(changed);
    EXPECT_FALSE(desync.Matches);
    EXPECT_EQ(desync.DesyncByTick, 256u);
}

TEST_F(ReplayInWindowTest, TheTablesReplaysMoveWithTheirEntriesAndAreWatchedFromTheHighScores) {
    startGame();
    playAndQuit(*host, 200);
    ASSERT_TRUE(host->form().FinishedReplay().has_value());
    TReplay first = *host->form().FinishedReplay();
    first.End.Score = 900; // stand-ins for two entries' games
    TReplay second = first;
    second.End.Score = 700;
    StoreTableReplay(1, &first);
    StoreTableReplay(1, &second); // a better result above it later would push it down
    StoreTableReplay(1, &first);
    EXPECT_TRUE(TableReplay(1, 900).has_value());
    EXPECT_TRUE(TableReplay(2, 700).has_value());
    EXPECT_TRUE(TableReplay(3, 900).has_value());
    EXPECT_FALSE(TableReplay(2, 701).has_value()) << "another entry's game is never shown as this one's";
    StoreTableReplay(2, nullptr); // an entry without a replay leaves no stale one at its place
    EXPECT_FALSE(TableReplay(2, 700).has_value());
    EXPECT_TRUE(TableReplay(3, 700).has_value());
    for (int i = 0; i < 10; ++i) StoreTableReplay(1, nullptr);
    for (std::size_t place = 1; place <= 10; ++place) EXPECT_FALSE(fs::exists(TableReplayFile(place))) << place;

    // The real game's replay at place 1, watched with its number on the high scores.
    TReplay real = *host->form().FinishedReplay();
    Settings.HighScores[0].Score = static_cast<std::uint16_t>(real.End.Score);
    StoreTableReplay(1, &real);
    while (Shell.GameState != gsMenu) host->runTicks(1);
    Shell.MenuScreen = msMain;
    Shell.MenuSelection = 3;
    host->form().RunMenuCommand();
    ASSERT_EQ(Shell.MenuScreen, msScores);
    host->pressKey('2'); // no replay there: the screen stays
    EXPECT_FALSE(host->form().Watching());
    host->pressKey('1');
    ASSERT_TRUE(host->form().Watching());
    host->runTicks(20);
    host->pressKey(vk::letter('F'));
    EXPECT_TRUE(host->form().WatchingFast());
    for (int t = 0; t < 400 && host->form().Watching(); ++t) host->runTicks(1);
    EXPECT_FALSE(host->form().Watching()) << "the replay runs to its end and stops";
    EXPECT_EQ(Shell.GameState, gsMenu);
    EXPECT_EQ(Shell.MenuScreen, msScores);
    EXPECT_EQ(Game.Score, real.End.Score);

    // A click on the row watches it too; Esc goes back.
    host->click(200, HighScoreRowTop + HighScoreRowHeight + 8);
    ASSERT_TRUE(host->form().Watching());
    host->pressKey(vk::Escape);
    EXPECT_FALSE(host->form().Watching());
    EXPECT_EQ(Shell.MenuScreen, msScores);
    DropTableReplays();
    EXPECT_FALSE(fs::exists(TableReplayFile(1)));
}

} // namespace
