// SPDX-License-Identifier: MIT
// The end of a game, played through the headless host on the game's real data: "GAME OVER", the
// place test, the name entry with its cursor, storing the result, and sending it to stand-ins for
// the world high-score service on loopback, the dead and lying ones included.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "game/GameState.h"
#include "game/Replay.h"
#include "game/TablePlace.h"
#include "host/GameHost.h"
#include "online/ResultEncoding.h"
#include "platform/VirtualKeys.h"
#include "shell/MenuField.h"
#include "shell/MenuHostTest.h"
#include "state/Settings.h"
#include "state/ShellState.h"
#include "support/ScoresServiceStandIns.h"
#include "support/TempDir.h"

#include "HttpServer.h"
#include "ReplayQueue.h"
#include "ScoreStore.h"
#include "SqliteStore.h"
#include "ScoresService.h"

namespace {

namespace vk = tw::platform::vk;
using namespace std::chrono_literals;
using tw::test::Answer;
using tw::test::RawSocket;
using tw::test::ScriptedService;

constexpr std::uint32_t Red = 0x00FF0000u;
constexpr std::uint32_t LightBlue = 0x0099CCFFu;

struct Box {
    int x0, y0, x1, y1; // inclusive
};

// Where the texts of these screens are written (their top-left corner, and room for the text).
constexpr Box GameOverText{250, 280, 560, 330};
constexpr Box NameField{200, 258, 600, 282};
constexpr Box CountryField{200, 318, 600, 342};
constexpr Box PleaseWaitText{320, 240, 460, 262};
constexpr Box CantConnectText{240, 240, 560, 262};
constexpr Box ExitYes{360, 320, 400, 340};
constexpr Box NameEntryYes{360, 350, 400, 370};
constexpr Box NameEntryNo{415, 350, 445, 370};

// The world high-score service answering on loopback, on a free port.
std::unique_ptr<tw::scores::HttpServer> ServeOnLoopback(tw::scores::ScoresService& service) {
    tw::scores::ServerSettings settings;
    settings.port = 0;
    auto server = std::make_unique<tw::scores::HttpServer>(settings);
    server->Bind();
    server->Start(service);
    return server;
}

TEST(FindTablePlaceTest, TheFirstPlaceWithALowerScore) {
    const THighScores defaults = DefaultHighScores(); // 1000, 900, ..., 100
    const THighScores zeros{};
    const struct {
        const char* what;
        const THighScores& table;
        std::uint16_t score;
        std::uint8_t place;
    } cases[] = {
        {"equal to the tenth", defaults, 100, 11},   {"just above the tenth", defaults, 101, 10},
        {"equal to the first", defaults, 1000, 2},   {"above the first", defaults, 1001, 1},
        {"the highest score", defaults, 65535, 1},   {"between places", defaults, 550, 6},
        {"0 in a table of 0", zeros, 0, 11},         {"1 in a table of 0", zeros, 1, 1},
        {"0 in the default table", defaults, 0, 11},
    };
    for (const auto& c : cases) EXPECT_EQ(FindTablePlace(c.table, c.score), c.place) << c.what;
}

class EndGameTest : public MenuHostTest {
public:
    void Press(std::uint8_t key) {
        host->pressKey(key);
        host->runTicks(1);
    }
    void ClickAt(Box b) {
        host->click((b.x0 + b.x1) / 2, (b.y0 + b.y1) / 2);
        host->runTicks(1);
    }
    int Count(std::uint32_t colour, Box b) {
        int n = 0;
        for (int y = b.y0; y <= b.y1; ++y)
            for (int x = b.x0; x <= b.x1; ++x) n += host->pixel(x, y) == colour ? 1 : 0;
        return n;
    }
    int RedIn(Box b) { return Count(Red, b); }
    // A new game host from the menu, for the next row of a table of cases.
    void FreshHost() {
        host.reset();
        SetUp();
    }

    // A game ended with this score by the player, as by the window's close button and "YES": the
    // next tick is the first of "GAME OVER".
    void EndGame(std::uint16_t score) {
        Shell.MenuSelection = 1;
        host->form().RunMenuCommand();
        host->runTicks(94);
        ASSERT_EQ(Shell.GameState, gsPlaying);
        Game.Score = score;
        host->closeRequest();
        host->pressKey(vk::Return);
        ASSERT_EQ(Shell.GameState, gsGameOver);
    }
    void ReachNameEntry(std::uint16_t score = 550) {
        EndGame(score);
        if (HasFatalFailure()) return;
        host->runTicks(94);
        ASSERT_EQ(Shell.GameState, gsNameEntry);
    }
    // Name and country typed, the name confirmed with Enter.
    void ReachSendQuery(const std::string& name = "Ann", const std::string& country = "nz") {
        ReachNameEntry();
        if (HasFatalFailure()) return;
        host->typeText(name);
        Press(vk::Down);
        host->typeText(country);
        Press(vk::Up);
        Press(vk::Return);
        ASSERT_EQ(Shell.GameState, gsSendQuery);
    }
    // Ticks, in real time as well, until done says so; false when limit passed first.
    bool TickUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            host->runTicks(1);
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    bool OnTheMenusHighScores() {
        return Shell.GameState == gsMenu && Shell.MenuScreen == msScores && host->form().DXTimer1->Enabled() &&
               !host->form().DXTimer2->Enabled();
    }
};

TEST_F(EndGameTest, GameOverShowsFor1500MsThenTheNameEntryOnlyForAPlaceInTheTable) {
    for (const auto& [score, place] : {std::pair<std::uint16_t, int>{100, 11}, {0, 11}, {101, 10}, {550, 6}}) {
        SCOPED_TRACE(score);
        FreshHost();
        EndGame(score);
        if (HasFatalFailure()) return;
        host->runTicks(93);
        EXPECT_EQ(Shell.GameState, gsGameOver);
        EXPECT_GT(RedIn(GameOverText), 0) << "GAME OVER is written";
        host->runTicks(1);
        EXPECT_EQ(Game.TablePlace, place);
        if (place == 11) {
            EXPECT_EQ(Shell.GameState, gsMenu);
            EXPECT_EQ(Shell.MenuScreen, msMain);
            EXPECT_TRUE(host->form().DXTimer1->Enabled());
            continue;
        }
        EXPECT_EQ(Shell.GameState, gsNameEntry);
        EXPECT_EQ(Shell.MenuScreen, msNameEntry);
        EXPECT_EQ(Shell.MenuSelection, 3);
        EXPECT_EQ(Shell.TextEditing, 1);
        ASSERT_NE(Menu.ClosingWindow, nullptr);
        EXPECT_TRUE(Menu.ClosingWindow->Visible);
        // The same tick draws the name entry: its texts and its light-blue "YES".
        EXPECT_GT(Count(LightBlue, {200, 165, 420, 185}), 0) << "YOUR SCORE IS";
        EXPECT_GT(Count(LightBlue, NameEntryYes), 0);
        EXPECT_EQ(RedIn(NameEntryYes) + RedIn(NameEntryNo), 0) << "only the chosen name field is red";
        EXPECT_GT(RedIn(NameField), 0) << "the empty name's cursor";
    }
}

TEST_F(EndGameTest, TheNameCursorBlinksInTheFirstHalfOf32FramesWithoutMovingTheName) {
    ReachNameEntry();
    host->typeText("Ann");
    std::optional<int> withCursor, withoutCursor, nameLeft;
    for (int tick = 0; tick < 64; ++tick) {
        host->runTicks(1);
        const bool shown = Shell.BlinkCounter % 32 < 16;
        const int red = RedIn(NameField);
        std::optional<int>& expected = shown ? withCursor : withoutCursor;
        if (!expected) expected = red;
        EXPECT_EQ(red, *expected) << "tick " << tick;
        int left = NameField.x1;
        for (int x = NameField.x0; x <= NameField.x1 && left == NameField.x1; ++x)
            for (int y = NameField.y0; y <= NameField.y1; ++y)
                if (host->pixel(x, y) == Red) left = x;
        if (!nameLeft) nameLeft = left;
        EXPECT_EQ(left, *nameLeft) << "the name stays put, tick " << tick;
    }
    ASSERT_TRUE(withCursor && withoutCursor);
    EXPECT_GT(*withCursor, *withoutCursor);

    // Not typing: no cursor at any point of the blinking.
    Shell.TextEditing = 0;
    for (int tick = 0; tick < 32; ++tick) {
        host->runTicks(1);
        EXPECT_EQ(RedIn(NameField), *withoutCursor) << "tick " << tick;
    }
}

TEST_F(EndGameTest, TheCountryIsShownInCapitalsTheNameAsTyped) {
    ReachNameEntry();
    auto frameOf = [this](const std::string& name, const std::string& country) {
        Settings.NewEntry.Name.SetText(name);
        Settings.Country.SetText(country);
        Shell.BlinkCounter = 16; // the next frame is one without the cursor
        host->runTicks(1);
        return host->backBuffer();
    };
    EXPECT_EQ(frameOf("ann", "nz"), frameOf("ann", "NZ"));
    EXPECT_NE(frameOf("ann", "nz"), frameOf("ANN", "nz"));
}

TEST_F(EndGameTest, YesStoresTheResultAndSavesThenAsksToSend) {
    const std::vector<std::pair<const char*, std::function<void(EndGameTest&)>>> ways = {
        {"Enter on the name field", [](EndGameTest& t) { t.Press(vk::Return); }},
        {"click on YES", [](EndGameTest& t) { t.ClickAt(NameEntryYes); }},
        {"Up to YES, Enter",
         [](EndGameTest& t) {
             t.Press(vk::Up);
             t.Press(vk::Up);
             t.Press(vk::Return);
         }},
    };
    for (const auto& [what, answer] : ways) {
        SCOPED_TRACE(what);
        FreshHost();
        ReachNameEntry(550);
        if (HasFatalFailure()) return;
        host->typeText("Ann");
        Press(vk::Down);
        host->typeText("de");
        Press(vk::Up);
        answer(*this);
        EXPECT_EQ(Shell.GameState, gsSendQuery);
        EXPECT_EQ(Shell.MenuScreen, msSendQuery);
        EXPECT_EQ(Shell.MenuSelection, 1);
        const SettingsState saved = SavedSettings();
        EXPECT_EQ(saved.HighScores[5].Name.Text(), "Ann");
        EXPECT_EQ(saved.HighScores[5].Score, 550);
        EXPECT_EQ(saved.HighScores[9].Score, 200) << "the old 100 dropped out";
        EXPECT_EQ(saved.Country.Text(), "de");
        EXPECT_EQ(Settings.HighScores[5].Name.Text(), "Ann");
    }
}

TEST_F(EndGameTest, NoStoresNothing) {
    const std::vector<std::pair<const char*, std::function<void(EndGameTest&)>>> ways = {
        {"click on NO",
         [](EndGameTest& t) {
             t.ClickAt({415, 350, 445, 368});
         }},
        {"Up to NO, Enter",
         [](EndGameTest& t) {
             t.Press(vk::Up);
             t.Press(vk::Return);
         }},
    };
    for (const auto& [what, answer] : ways) {
        SCOPED_TRACE(what);
        FreshHost();
        ReachNameEntry(550);
        if (HasFatalFailure()) return;
        const std::vector<std::uint8_t> fileBefore = tw::test::readRunFile("config.dat");
        host->typeText("Ann");
        answer(*this);
        EXPECT_EQ(Shell.GameState, gsMenu);
        EXPECT_EQ(Shell.MenuScreen, msMain);
        for (std::size_t i = 0; i < Settings.HighScores.size(); ++i) {
            EXPECT_EQ(Settings.HighScores[i].Name.Text(), "Anonymous") << i;
            EXPECT_EQ(Settings.HighScores[i].Score, DefaultHighScores()[i].Score) << i;
        }
        EXPECT_EQ(tw::test::readRunFile("config.dat"), fileBefore);
    }
}

TEST_F(EndGameTest, ASentResultGoesBackToTheMenusHighScores) {
    ScriptedService service(
        [](const httplib::Request&, httplib::Response& response) {
            // Slow enough for the wait to be seen.
            std::this_thread::sleep_for(150ms);
            response.set_content("OK|Tidewarden|1|0|tok42|", "text/html");
        },
        Answer("OK"));
    host->form().IdHTTP1->BaseUrl = service.base();
    ReachSendQuery("Ann", "nz");
    if (HasFatalFailure()) return;
    Press(vk::Return);
    bool waitShown = false;
    ASSERT_TRUE(TickUntil(
        [&] {
            waitShown = waitShown || (Shell.GameState == gsSending && RedIn(PleaseWaitText) > 0);
            return Shell.GameState != gsSending;
        },
        5s));
    EXPECT_TRUE(waitShown) << "PLEASE WAIT... while the window goes on drawing";
    EXPECT_TRUE(OnTheMenusHighScores());
    const auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[1].get_param_value("inf"),
              tw::online::EncodeRecord(tw::online::ResultRecord("Ann", 550, "tok42", "nz")));
}

TEST_F(EndGameTest, AGamePlayedToTheEndIsStoredByTheWorldHighScoreService) {
    // The game's own service, in process on loopback with a database of its own.
    const tw::test::TempDir folder;
    tw::scores::SqliteStore store((folder.path() / "scores.db").string());
    tw::scores::ServiceSettings settings;
    settings.now = [] { return std::int64_t{1790000000}; };
    tw::scores::ScoresService service(store, settings);
    const auto server = ServeOnLoopback(service);
    host->form().IdHTTP1->BaseUrl = server->Base();

    ReachSendQuery("Nemo", "nz");
    if (HasFatalFailure()) return;
    Press(vk::Return);
    ASSERT_TRUE(TickUntil([] { return Shell.GameState != gsSending; }, 10s));
    EXPECT_TRUE(OnTheMenusHighScores());
    const auto best = store.Best(10);
    ASSERT_EQ(best.size(), 1U);
    EXPECT_EQ(best[0].name, "Nemo");
    EXPECT_EQ(best[0].country, "nz");
    EXPECT_EQ(best[0].score, 550);
}

// The game's own service with the game's own program checking replays: a game played to its end
// sends its replay, which is verified; a result whose score was changed behind the game's back is
// stored but never verified. The page then marks the one and offers its replay.
TEST_F(EndGameTest, TheReplayOfAPlayedGameVerifiesItsResultAndAForgedScoreIsNotVerified) {
    const tw::test::TempDir folder;
    tw::scores::SqliteStore store((folder.path() / "scores.db").string());
    tw::scores::QueueSettings queueSettings;
    queueSettings.check.program = TW_GAME_PROGRAM;
    queueSettings.check.dataFolder = TW_RUN_FOLDER;
    queueSettings.check.memoryBytes = 0; // AddressSanitizer reserves more than any sane limit
    queueSettings.check.timeout = 120s;
    queueSettings.poll = 100ms;
    std::vector<std::string> checks;
    std::mutex checksMutex;
    queueSettings.log = [&](const std::string& line) {
        const std::lock_guard lock(checksMutex);
        checks.push_back(line);
    };
    tw::scores::ReplayQueue queue(store, queueSettings);
    queue.Start();
    tw::scores::ServiceSettings settings;
    settings.checkReplays = true;
    settings.replayReceived = [&queue] { queue.Wake(); };
    tw::scores::ScoresService service(store, settings);
    const auto server = ServeOnLoopback(service);

    const auto sendAs = [&](const std::string& name) {
        host->typeText(name);
        Press(vk::Return);
        ASSERT_EQ(Shell.GameState, gsSendQuery);
        host->form().IdHTTP1->BaseUrl = server->Base();
        Press(vk::Return);
        ASSERT_TRUE(TickUntil([] { return Shell.GameState != gsSending; }, 10s));
        ASSERT_TRUE(OnTheMenusHighScores());
    };
    const auto checksSoFar = [&] {
        const std::lock_guard lock(checksMutex);
        std::string text;
        for (const auto& line : checks) text += line + "\n";
        return text;
    };
    const auto stateOf = [&](const std::string& name) {
        std::optional<tw::scores::ReplayState> state;
        const auto end = std::chrono::steady_clock::now() + 120s;
        do {
            for (const auto& entry : store.Entries(10))
                if (entry.result.name == name) state = store.ReplayStateOf(entry.id);
            if (state != tw::scores::ReplayState::Waiting) break;
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < end);
        return state;
    };

    // A real game: the harpoon held until a fish is hit, then ended as the player ends it.
    Settings.HighScores = THighScores{};
    Shell.MenuSelection = 1;
    host->form().RunMenuCommand();
    host->keyDown(vk::Control);
    for (int tick = 0; tick < 6000 && Game.Score == 0 && Shell.GameState != gsNameEntry; ++tick) {
        if (tick % 50 == 0) host->keyUp(tick % 100 == 0 ? vk::Up : vk::Down);
        if (tick % 50 == 0) host->keyDown(tick % 100 == 0 ? vk::Down : vk::Up);
        host->runTicks(1);
    }
    host->keyUp(vk::Control);
    host->keyUp(vk::Up);
    host->keyUp(vk::Down);
    ASSERT_GT(Game.Score, 0) << "the harpoon hit nothing";
    const std::uint16_t played = Game.Score;
    if (Shell.GameState != gsNameEntry) {
        host->closeRequest();
        host->pressKey(vk::Return);
        ASSERT_TRUE(TickUntil([] { return Shell.GameState == gsNameEntry; }, 10s));
    }
    sendAs("Diver");
    if (HasFatalFailure()) return;
    EXPECT_FALSE(host->form().ReplayToSend().empty());
    EXPECT_EQ(stateOf("Diver"), tw::scores::ReplayState::Verified) << checksSoFar();

    // The same kind of game, its score changed behind the game's back before it ended.
    FreshHost();
    host->form().IdHTTP1->BaseUrl = server->Base();
    Settings.HighScores = THighScores{};
    ReachNameEntry(static_cast<std::uint16_t>(played + 500));
    if (HasFatalFailure()) return;
    sendAs("Forger");
    if (HasFatalFailure()) return;
    EXPECT_EQ(stateOf("Forger"), tw::scores::ReplayState::Failed) << checksSoFar();

    const auto best = store.Best(10);
    ASSERT_EQ(best.size(), 2U) << "both results are stored";
    EXPECT_EQ(best[0].name, "Forger");
    EXPECT_FALSE(best[0].verified);
    EXPECT_EQ(best[1].name, "Diver");
    EXPECT_EQ(best[1].score, played);
    EXPECT_TRUE(best[1].verified);
    const std::string page = tw::scores::TablePage(best, true);
    EXPECT_NE(page.find("<td>Diver</td><td></td><td class=\"n\">" + std::to_string(played) + "</td>"),
              std::string::npos);
    EXPECT_NE(page.find("VERIFIED <a href=\"replay.pl?id=" + std::to_string(best[1].id) + "\""), std::string::npos);
    // What the page offers is the game's file, which the game plays as it recorded it.
    const auto offered = store.VerifiedReplay(best[1].id);
    ASSERT_TRUE(offered);
    const TReplay replay = DecodeReplay(
        std::span(reinterpret_cast<const std::uint8_t*>(offered->data()), offered->size()), "the download");
    EXPECT_EQ(replay.End.Score, played);
}

TEST_F(EndGameTest, EveryFailureShowsCantConnectWithinTheBoundThenTheQuestionAgain) {
    const RawSocket refusing(false);
    const RawSocket silent(true);
    ScriptedService lowerCase(Answer("ok|Tidewarden|1|0|tok42|"), Answer("ok"));
    ScriptedService garbage(Answer("<html>garbage"), Answer("OK"));
    ScriptedService errorStatus(Answer("OK|Tidewarden|1|0|tok42|"), Answer("OK", 500));
    const struct {
        const char* what;
        std::string base;
    } servers[] = {
        {"refuses the connection", refusing.base()},
        {"accepts and never answers", silent.base()},
        {"answers ok", lowerCase.base()},
        {"answers garbage", garbage.base()},
        {"answers the submission with an error status", errorStatus.base()},
    };
    // Shortened waits keep the silent server quick; the game's own are 5 s and 10 s.
    tw::platform::HttpLimits limits;
    limits.connectTimeout = 300ms;
    limits.totalTimeout = 500ms;
    const auto bound = limits.totalTimeout + 1500ms;
    host->form().IdHTTP1->Limits = limits;

    // One game's result, offered again and again: each server twice in a row.
    ReachSendQuery();
    if (HasFatalFailure()) return;
    for (const auto& server : servers) {
        SCOPED_TRACE(server.what);
        host->form().IdHTTP1->BaseUrl = server.base;
        for (int round = 1; round <= 2; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            Press(vk::Return);
            ASSERT_TRUE(TickUntil([] { return Shell.GameState != gsSending; }, bound));
            ASSERT_EQ(Shell.GameState, gsSendFailed);
            EXPECT_GT(RedIn(CantConnectText), 0) << "CAN'T CONNECT TO SERVER!";
            int ticks = 1; // the failure showed from the tick that found it
            while (Shell.GameState == gsSendFailed && ticks < 200) ticks += host->runTicks(1);
            EXPECT_EQ(ticks, 94) << "1500 ms of 16 ms ticks";
            EXPECT_EQ(Shell.GameState, gsSendQuery);
            EXPECT_EQ(Shell.MenuSelection, 1);
        }
    }
    EXPECT_TRUE(errorStatus.submitted()) << "the error status answered the submission";
    Press(vk::Right);
    Press(vk::Return);
    EXPECT_TRUE(OnTheMenusHighScores());
}

TEST_F(EndGameTest, ClosingDuringTheNameEntryAsksAndYesKeepsTheResult) {
    ReachNameEntry(550);
    host->typeText("Bo");
    host->closeRequest();
    host->runTicks(1);
    EXPECT_GT(RedIn(ExitYes), 0) << "the exit question is drawn, YES chosen";
    EXPECT_EQ(RedIn(NameEntryYes), 0);
    EXPECT_EQ(RedIn(NameField), 0) << "the name entry is not drawn under the question";
    host->typeText("x");
    Press(vk::Return);
    EXPECT_TRUE(host->closed());
    const SettingsState saved = SavedSettings();
    EXPECT_EQ(saved.HighScores[5].Name.Text(), "Bo");
    EXPECT_EQ(saved.HighScores[5].Score, 550);
}

TEST_F(EndGameTest, ClosingDuringASendAsksAndYesEndsTheSendAtOnce) {
    const RawSocket silent(true);
    host->form().IdHTTP1->BaseUrl = silent.base(); // the game's own waits: 5 s and 10 s
    ReachSendQuery();
    if (HasFatalFailure()) return;
    Press(vk::Return);
    ASSERT_EQ(Shell.GameState, gsSending);
    host->closeRequest();
    host->runTicks(1);
    EXPECT_GT(RedIn(ExitYes), 0) << "the exit question is drawn";
    Press(vk::Right);
    Press(vk::Return);
    EXPECT_EQ(Shell.GameState, gsSending) << "NO: the wait goes on";
    EXPECT_GT(RedIn(PleaseWaitText), 0);

    const auto start = std::chrono::steady_clock::now();
    host->closeRequest();
    Press(vk::Return);
    EXPECT_TRUE(host->closed());
    host.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << "closing does not wait out the send";
}

} // namespace
