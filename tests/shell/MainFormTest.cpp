// SPDX-License-Identifier: MIT
// The main window through the game host: creation, the close request and exit query, the mode
// switch from the desktop's maximise and caption double click, the focus handlers, and "play.url".
#include "graphics/Surface.h"
#include "host/GameHost.h"
#include "platform/Png.h"
#include "platform/VirtualKeys.h"
#include "shell/GoToLink.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using tw::test::GameHost;

TEST(MainForm, CreationLeavesTheMenuStateWithTheMenuTimerRunning) {
    GameHost host;
    EXPECT_EQ(Shell.GameState, gsMenu);
    EXPECT_EQ(Shell.StateBeforePause, gsMenu);
    EXPECT_EQ(host.window().caption(), "Tide Warden");
    EXPECT_EQ(host.window().clientWidth(), 800);
    EXPECT_EQ(host.window().clientHeight(), 600);
    EXPECT_TRUE(host.form().DXTimer1->Enabled());
    EXPECT_FALSE(host.form().DXTimer2->Enabled());
    EXPECT_TRUE(host.form().DXDraw->Initialized());
    EXPECT_FALSE(host.window().isFullScreen());
    EXPECT_FALSE(host.form().DXWaveList1->Items().Find("looser").Wave().Empty()) << "the wave collection was loaded";
    EXPECT_EQ(host.form().DXInput1->Keyboard().KeyAssigns[InputButton1][0], 0x11) << "Ctrl fires";
    EXPECT_EQ(host.form().DXInput1->Keyboard().KeyAssigns[InputButton1][1], 0x20) << "and Space";
    EXPECT_TRUE(host.messages().empty());
    int ticks = 0;
    host.form().DXTimer1->OnTimer = [&](TCustomDXTimer&, int) { ++ticks; };
    EXPECT_EQ(host.runTicks(5), 5);
    EXPECT_EQ(ticks, 5);
    const auto pixels = host.backBuffer();
    EXPECT_EQ(pixels.size(), 800u * 600u);
}

TEST(MainForm, StoredFullScreenChoiceIsAppliedAtCreation) {
    // The configuration reader fills Settings before ChangeMode; here the test does.
    GameHost host;
    Settings.Windowed = 0;
    host.form().ChangeMode();
    EXPECT_TRUE(host.window().isFullScreen());
    EXPECT_EQ(host.form().BorderStyle(), bsNone);
    EXPECT_TRUE(host.form().DXDraw->Options().Has(doFullScreen));
    EXPECT_TRUE(host.form().DXDraw->Initialized());
    Settings.Windowed = 1;
    host.form().ChangeMode();
    EXPECT_FALSE(host.window().isFullScreen());
    EXPECT_EQ(host.form().BorderStyle(), bsSingle);
    EXPECT_FALSE(host.form().DXDraw->Options().Has(doFullScreen));
    EXPECT_FALSE(host.form().HasSavedPlacement()) << "the placement was restored once and forgotten";
}

TEST(MainForm, CloseRequestInTheMenuOpensTheExitQueryInsteadOfClosing) {
    GameHost host;
    Shell.MenuScreen = msOptions;
    host.closeRequest();
    EXPECT_FALSE(host.closed());
    EXPECT_EQ(Shell.MenuScreen, msExitQuery);
    EXPECT_EQ(Shell.MenuSelection, 1) << "YES is selected";
    EXPECT_EQ(Shell.SavedMenuScreen, msOptions);
    EXPECT_EQ(Shell.SavedGameState, gsMenu);
    EXPECT_EQ(Shell.GameState, gsMenu);
    EXPECT_EQ(host.runTicks(3), 3) << "the menu goes on running under the query";
}

TEST(MainForm, AltF4IsACloseRequestAndNotAKey) {
    GameHost host;
    host.keyDown(tw::platform::vk::LMenu);
    host.keyDown(tw::platform::vk::function(4));
    EXPECT_EQ(Shell.MenuScreen, msExitQuery);
}

TEST(MainForm, ConfirmedCloseInTheMenuEndsTheLoop) {
    GameHost host;
    Shell.CloseConfirmed = 1;
    host.closeRequest();
    EXPECT_TRUE(host.closed());
    EXPECT_TRUE(host.form().Closed());
}

TEST(MainForm, TheMessageLoopEndsOnlyWithAConfirmedClose) {
    GameHost host;
    tw::platform::EventLoop loop(host.window());
    host.application().SetEventLoop(&loop);
    host.closeRequest();
    EXPECT_FALSE(loop.quitting());
    Shell.CloseConfirmed = 1;
    host.closeRequest();
    EXPECT_TRUE(loop.quitting());
    loop.run(host.application()); // returns at once: the loop has been told to end
    host.application().SetEventLoop(nullptr);
}

TEST(MainForm, CloseRequestDuringAGameBecomesTheExitQueryAndYesEndsTheGameFirst) {
    for (TGameState state : {gsPlaying, gsHeroDying, gsLevelIntro, gsPaused}) {
        GameHost host;
        Shell.GameState = state;
        host.closeRequest();
        EXPECT_EQ(Shell.GameState, gsExitQuery) << int(state);
        EXPECT_EQ(Shell.SavedGameState, state);
        EXPECT_EQ(Shell.MenuScreen, msExitQuery);
        EXPECT_GE(host.window().cursorCount(), 0) << "the pointer is shown for the query";

        Shell.CloseConfirmed = 1; // "YES"
        host.closeRequest();
        EXPECT_FALSE(host.closed()) << int(state);
        EXPECT_EQ(Shell.GameState, gsGameOver);
        EXPECT_EQ(Shell.StateTimer, 1500);
        EXPECT_EQ(Shell.CloseConfirmed, 0);
        EXPECT_TRUE(host.messages().empty()) << "the sound \"looser\" was found and played";
    }
}

TEST(MainForm, CloseRequestDuringGameOverIsIgnoredAndTheGameDialogsAreCovered) {
    {
        GameHost host;
        Shell.GameState = gsGameOver;
        Shell.MenuScreen = msMain;
        host.closeRequest();
        EXPECT_EQ(Shell.GameState, gsGameOver);
        EXPECT_EQ(Shell.MenuScreen, msMain);
        EXPECT_FALSE(host.closed());
    }
    // The game frame draws the question only in gsExitQuery; "YES" closes, the game being over.
    for (TGameState state : {gsNameEntry, gsSendQuery, gsSendFailed, gsNextLevel}) {
        GameHost host;
        Shell.GameState = state;
        Shell.MenuScreen = msNameEntry;
        host.closeRequest();
        EXPECT_EQ(Shell.GameState, gsExitQuery) << int(state);
        EXPECT_EQ(Shell.SavedGameState, state);
        EXPECT_EQ(Shell.MenuScreen, msExitQuery);
        EXPECT_EQ(Shell.SavedMenuScreen, msNameEntry);
        EXPECT_FALSE(host.closed());
        Shell.CloseConfirmed = 1;
        host.closeRequest();
        EXPECT_TRUE(host.closed()) << int(state);
    }
    {
        // A window whose creation stopped early has no screen to ask on: it closes at once.
        GameHost host;
        Shell.GameState = gsNone;
        host.closeRequest();
        EXPECT_TRUE(host.closed());
    }
}

TEST(MainForm, MaximiseGoesFullScreenAndWritesTheConfigurationCaptionDoubleClickDoesNotWrite) {
    {
        GameHost host;
        int writes = 0;
        host.form().SaveConfigHook = [&] { ++writes; };
        host.maximizeRequest();
        EXPECT_EQ(Settings.Windowed, 0);
        EXPECT_TRUE(host.window().isFullScreen());
        EXPECT_TRUE(host.form().HasSavedPlacement());
        EXPECT_EQ(writes, 1);
    }
    {
        GameHost host;
        int writes = 0;
        host.form().SaveConfigHook = [&] { ++writes; };
        host.captionDoubleClick();
        EXPECT_EQ(Settings.Windowed, 0);
        EXPECT_TRUE(host.window().isFullScreen());
        EXPECT_EQ(writes, 0);
    }
}

TEST(MainForm, SystemCommandsOtherThanExactMaximiseKeepTheWindowMode) {
    GameHost host;
    int writes = 0;
    host.form().SaveConfigHook = [&] { ++writes; };
    host.form().WMGetSysCommand(SC_MAXIMIZE | 2); // maximise with low bits set is not ours
    EXPECT_EQ(Settings.Windowed, 1);
    EXPECT_FALSE(host.window().isFullScreen());
    host.form().CptClk(HTCAPTION + 1); // a double click elsewhere on the frame
    EXPECT_EQ(Settings.Windowed, 1);
    host.form().WMGetSysCommand(SC_MINIMIZE);
    EXPECT_EQ(host.form().WindowState(), wsMinimized);
    EXPECT_EQ(writes, 0);
    host.form().WMGetSysCommand(SC_MINIMIZE | 1); // handled as usual, without the form's own step
    host.form().WMGetSysCommand(SC_RESTORE);
    EXPECT_EQ(host.form().WindowState(), wsNormal);
}

TEST(MainForm, TheDesktopMinimisingAndRestoringTheWindowIsTheFormsState) {
    GameHost host;
    tw::platform::EventDispatcher dispatcher;
    tw::platform::Event e;
    e.type = tw::platform::Event::Type::Minimized;
    dispatcher.deliver(e, host.application());
    EXPECT_EQ(host.form().WindowState(), wsMinimized);
    e.type = tw::platform::Event::Type::Restored;
    dispatcher.deliver(e, host.application());
    EXPECT_EQ(host.form().WindowState(), wsNormal);
}

TEST(MainForm, LosingTheFocusDuringPlayPausesAndComingBackKeepsThePause) {
    for (TGameState state : {gsPlaying, gsHeroDying, gsLevelIntro, gsGameOver}) {
        GameHost host;
        // The program switches timers in this order.
        host.form().DXTimer1->SetEnabled(false);
        host.form().DXTimer2->SetEnabled(true);
        Shell.GameState = state;
        host.focusLost();
        EXPECT_EQ(Shell.GameState, gsPaused) << int(state);
        EXPECT_EQ(Shell.StateBeforePause, state);
        EXPECT_GE(host.window().cursorCount(), 0);
        EXPECT_EQ(host.runTicks(2), 2) << "the game timer keeps drawing the pause in the background";
        host.focusGained();
        EXPECT_EQ(Shell.GameState, gsPaused);
    }
}

TEST(MainForm, RegainingTheFocusDuringPlayHidesThePointer) {
    GameHost host;
    host.form().DXTimer1->SetEnabled(false);
    host.form().DXTimer2->SetEnabled(true);
    host.focusLost();
    Shell.GameState = gsPlaying; // as if P had resumed in the background
    host.focusGained();
    EXPECT_LT(host.window().cursorCount(), 0);
    EXPECT_EQ(Shell.GameState, gsPlaying);
}

TEST(MainForm, MenuTimerStopsWithoutTheFocusAndTheMenuMusicFailureIsShownOnce) {
    GameHost::Options options;
    options.musicOn = true; // the run folder has no songs
    GameHost host(options);
    EXPECT_EQ(host.messages(), (std::vector<std::string>{
                                   "Can't load music.\nCannot open file \"sound/1.xm\". No such file or directory"}));
    EXPECT_EQ(Settings.MusicOn, 0);
    host.focusLost();
    EXPECT_EQ(host.runTicks(3), 0);
    host.focusGained();
    EXPECT_EQ(host.runTicks(3), 3);
    EXPECT_EQ(host.messages().size(), 1u) << "music stays off once it failed";
}

TEST(GameHost, ScreenshotIsTheBackBufferAsPng) {
    GameHost host;
    TDirectDrawSurface& back = *host.form().DXDraw->Surface();
    back.Fill(0x00123456u);
    back.SetPixel(799, 599, 0x00FF8000u);
    EXPECT_EQ(host.pixel(799, 599), 0x00FF8000u);
    const auto file = host.runFolder() / "shot.png";
    host.saveScreenshot(file);
    const tw::platform::PngImage png = tw::platform::readPng(file.string());
    ASSERT_EQ(png.width, 800);
    ASSERT_EQ(png.height, 600);
    EXPECT_EQ(png.pixels[0] & 0x00FFFFFFu, 0x00123456u);
    EXPECT_EQ(png.pixels[800 * 600 - 1] & 0x00FFFFFFu, 0x00FF8000u);
}

TEST(GameHost, RunTicksFollowsTheRunningTimerAndAdvanceGivesTheLag) {
    GameHost host;
    std::vector<int> lags;
    host.form().DXTimer1->OnTimer = [&](TCustomDXTimer&, int lag) { lags.push_back(lag); };
    EXPECT_EQ(host.runTicks(2), 2);
    EXPECT_TRUE(host.advance(100));
    EXPECT_FALSE(host.advance(15));
    EXPECT_EQ(lags, (std::vector<int>{1, 1, 6}));
    host.form().DXTimer1->SetEnabled(false);
    EXPECT_EQ(host.runTicks(3), 0) << "no timer runs";
}

TEST(SetCursorVisible, ForcesThePointerWhateverTheCounter) {
    GameHost host;
    auto& w = host.window();
    for (int start : {-3, -1, 0, 2}) {
        while (w.cursorCount() > start) w.showCursor(false);
        while (w.cursorCount() < start) w.showCursor(true);
        SetCursorVisible(true);
        EXPECT_EQ(w.cursorCount(), start >= 0 ? start + 1 : 0) << start;
        SetCursorVisible(false);
        EXPECT_EQ(w.cursorCount(), -1) << start;
    }
}

TEST(PlayUrl, OpenedOnlyWhenItExists) {
    GameHost host;
    EXPECT_FALSE(OpenPlayUrl());
    EXPECT_TRUE(host.openedTargets().empty());
    std::ofstream(host.runFolder() / "play.url") << "[InternetShortcut]\nURL=https://example.org/\n";
    EXPECT_TRUE(OpenPlayUrl());
    ASSERT_EQ(host.openedTargets().size(), 1u);
    EXPECT_NE(host.openedTargets()[0].find("play.url"), std::string::npos);
}

} // namespace
