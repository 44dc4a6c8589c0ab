// SPDX-License-Identifier: MIT
// Menu commands and the mouse, played through the headless host on the game's real data: clicks on
// the main column over sub-screens and dialogs, the options, help pages, web pages, mouse steering
// and the mouse buttons.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "host/GameHost.h"
#include "platform/VirtualKeys.h"
#include "shell/MenuHostTest.h"
#include "shell/Config.h"
#include "shell/MenuCommands.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

namespace {

namespace vk = tw::platform::vk;

using tw::platform::MouseButton;
using tw::test::GameHost;

struct Point {
    int x, y;
};

// A point well inside item i of screen s.
Point Inside(int s, int i) {
    const TMenuItemRect& r = Menu.MenuItemRect[static_cast<std::size_t>(s)][static_cast<std::size_t>(i)];
    return {r.X + r.W / 2, r.Y + r.H / 2};
}

class MenuCommandsTest : public MenuHostTest {
protected:
    void Click(Point p) {
        host->click(p.x, p.y);
        host->runTicks(1);
    }
    void ClickItem(int screen, int item) { Click(Inside(screen, item)); }
    // A main-menu item, reached from whatever screen lies over the main menu.
    void ClickMain(int item) { ClickItem(msMain, item); }
};

TEST_F(MenuCommandsTest, MainItemsOpenTheirScreensAndBackItemsReturn) {
    for (int item : {2, 3, 4}) {
        SCOPED_TRACE(item);
        ClickMain(item);
        EXPECT_EQ(Shell.MenuScreen, item);
        EXPECT_EQ(Shell.MainSelection, item);
        EXPECT_NE(Menu.SubBackground, nullptr);
        const int back = item == msOptions ? 6 : 3;
        ClickItem(item, back);
        EXPECT_EQ(Shell.MenuScreen, msMain);
        EXPECT_EQ(Shell.MenuSelection, item);
        EXPECT_EQ(Menu.SubBackground, nullptr) << "the panel is freed with the next frame";
        EXPECT_EQ(Menu.CurrentItems, Menu.MainMenuItems);
    }
}

TEST_F(MenuCommandsTest, OptionsClickedWhileHighScoresAreOpen) {
    ClickMain(3);
    ASSERT_EQ(Shell.MenuScreen, msScores);
    ClickMain(2);
    EXPECT_EQ(Shell.MenuScreen, msOptions);
    EXPECT_EQ(Shell.MainSelection, 2);
    EXPECT_EQ(Shell.MenuSelection, 1);
    EXPECT_EQ(Shell.MainColumnHover, 0);
    // Only the options screen's sprites are left: the high-score highlights went with their screen.
    for (std::size_t i = 1; i <= 6; ++i) EXPECT_NE(Menu.OptionToggles[i], nullptr) << i;
    EXPECT_EQ(Menu.CurrentItems[1], nullptr);
}

// A main-menu item clicked while a dialog is open answers the dialog "NO" (never "YES": the window
// stays, the table stays), leaves any screen beneath it, and then runs the item.
TEST_F(MenuCommandsTest, MainItemClickedDuringADialogAnswersNoThenRunsTheItem) {
    struct Case {
        const char* name;
        std::function<void()> openDialog;
        int mainItem;
        TMenuScreen screenAfter;
    };
    const Case cases[] = {
        {"exit question over the main menu", [this] { host->closeRequest(); }, 3, msScores},
        // The main item's number must not be taken for an options item on the way.
        {"exit question over options",
         [this] {
             ClickMain(2);
             host->closeRequest();
         },
         3, msScores},
        // The second close request must not save the question itself as the screen beneath it.
        {"exit question asked twice",
         [this] {
             host->closeRequest();
             host->closeRequest();
             EXPECT_EQ(Shell.SavedMenuScreen, msMain);
         },
         3, msScores},
        {"clear scores",
         [this] {
             ClickMain(3);
             ClickItem(msScores, 1);
             ASSERT_EQ(Shell.MenuScreen, msClearScores);
             host->pressKey(vk::Left); // over to "YES": a main-menu item must still answer "NO"
         },
         4, msHelp},
    };
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!first) { // a fresh game for every case
            host.reset();
            SetUp();
        }
        first = false;
        Settings.HighScores[0].Score = 4242;
        Settings.HighScores[0].Name.SetText("Keeper");
        c.openDialog();
        ASSERT_EQ(Shell.MenuSelection, 1) << "YES is selected";
        const SettingsState before = Settings;
        ClickMain(c.mainItem);
        EXPECT_FALSE(host->closed());
        EXPECT_EQ(Shell.CloseConfirmed, 0);
        EXPECT_EQ(Shell.GameState, gsMenu);
        EXPECT_EQ(Shell.MenuScreen, c.screenAfter);
        EXPECT_EQ(Settings.SoundOn, before.SoundOn);
        EXPECT_EQ(Settings.Windowed, before.Windowed);
        EXPECT_EQ(Settings.HighScores[0].Score, 4242);
        EXPECT_EQ(Settings.HighScores[0].Name.Text(), "Keeper");
        ASSERT_NE(Menu.ClosingWindow, nullptr);
        EXPECT_FALSE(Menu.ClosingWindow->Visible);
    }
}

TEST_F(MenuCommandsTest, ClearScoresYesResetsAndSavesTheTable) {
    Settings.HighScores[0].Score = 4242;
    ClickMain(3);
    ClickItem(msScores, 1);
    ClickItem(msClearScores, 1);
    EXPECT_EQ(Shell.MenuScreen, msScores);
    EXPECT_EQ(Settings.HighScores[0].Score, 1000);
    EXPECT_EQ(SavedSettings().HighScores[0].Score, 1000);
    EXPECT_FALSE(Menu.ClosingWindow->Visible);
}

TEST_F(MenuCommandsTest, HelpPagesStopAtTheFirstAndTheLast) {
    ClickMain(4);
    ASSERT_NE(Menu.HelpImage, nullptr);
    const TPictureCollection& pictures = host->form().DXImageList1->Items();
    ClickItem(msHelp, 1);
    EXPECT_EQ(Shell.HelpPage, 1);
    EXPECT_EQ(Menu.HelpImage->Image, pictures.ItemAt(24));
    for (int i = 0; i < 8; ++i) ClickItem(msHelp, 2);
    EXPECT_EQ(Shell.HelpPage, 7);
    EXPECT_EQ(Menu.HelpImage->Image, pictures.ItemAt(30));
    ClickItem(msHelp, 1);
    EXPECT_EQ(Shell.HelpPage, 6);
    EXPECT_EQ(Menu.HelpImage->Image, pictures.ItemAt(29));
    ClickItem(msHelp, 3);
    EXPECT_EQ(Shell.HelpPage, 1) << "the next visit starts on page 1";
    EXPECT_EQ(Menu.HelpImage, nullptr);
}

TEST_F(MenuCommandsTest, OptionTogglesFollowTheSettingsAndAreSaved) {
    ClickMain(2);
    const std::uint8_t sound = Settings.SoundOn;
    ClickItem(msOptions, 3);
    EXPECT_EQ(Settings.SoundOn, sound ^ 1);
    EXPECT_EQ(Menu.OptionToggles[5]->Visible, Settings.SoundOn != 0);
    EXPECT_EQ(Menu.OptionToggles[6]->Visible, Settings.SoundOn == 0);
    EXPECT_EQ(SavedSettings().SoundOn, Settings.SoundOn);

    const std::uint8_t windowed = Settings.Windowed;
    ClickItem(msOptions, 1);
    EXPECT_EQ(Settings.Windowed, windowed ^ 1);
    EXPECT_EQ(host->window().isFullScreen(), Settings.Windowed == 0);
    EXPECT_EQ(Menu.OptionToggles[1]->Visible, Settings.Windowed != 0);
    EXPECT_EQ(Menu.OptionToggles[2]->Visible, Settings.Windowed == 0);
    EXPECT_EQ(SavedSettings().Windowed, Settings.Windowed);
}

TEST_F(MenuCommandsTest, MusicSwitchedOnWithoutItsSongShowsTheErrorAndStaysOff) {
    ClickMain(2);
    if (Settings.MusicOn) ClickItem(msOptions, 2); // off first
    ASSERT_EQ(Settings.MusicOn, 0);
    ASSERT_TRUE(host->messages().empty());
    std::filesystem::remove(host->runFolder() / "sound" / "1.xm");

    ClickItem(msOptions, 2);
    ASSERT_EQ(host->messages().size(), 1u);
    EXPECT_EQ(host->messages()[0], "Can't load music.\nCannot open file \"sound/1.xm\". No such file or directory");
    EXPECT_EQ(Settings.MusicOn, 0);
    EXPECT_FALSE(Menu.OptionToggles[3]->Visible);
    EXPECT_TRUE(Menu.OptionToggles[4]->Visible);
    EXPECT_EQ(SavedSettings().MusicOn, 0);
}

TEST_F(MenuCommandsTest, MusicSwitchedOnWithItsSongPlays) {
    ClickMain(2);
    if (Settings.MusicOn) ClickItem(msOptions, 2);
    ClickItem(msOptions, 2);
    EXPECT_EQ(Settings.MusicOn, 1);
    EXPECT_NE(Shell.SongHandle, 0u);
    EXPECT_TRUE(Menu.OptionToggles[3]->Visible);
    EXPECT_FALSE(Menu.OptionToggles[4]->Visible);
    EXPECT_TRUE(host->messages().empty());
}

TEST_F(MenuCommandsTest, WebPagesOpenTheConfiguredAddresses) {
    ClickMain(5);
    ClickMain(3);
    ClickItem(msScores, 2);
    ASSERT_EQ(host->openedTargets().size(), 2u);
    EXPECT_EQ(host->openedTargets()[0], PublisherPageAddress());
    EXPECT_EQ(host->openedTargets()[1], WorldScoresPageAddress());
    EXPECT_EQ(Shell.MenuScreen, msScores) << "opening a page changes no screen";
}

TEST(WebAddresses, BuiltFromTheConfiguredValues) {
    EXPECT_EQ(WorldScoresPageAddress("http://127.0.0.1:8421"),
              "http://127.0.0.1:8421/cgi/version.pl?prg=Tidewarden&show&type=0");
    EXPECT_EQ(WorldScoresPageAddress("https://scores.example/"),
              "https://scores.example/cgi/version.pl?prg=Tidewarden&show&type=0");
    EXPECT_EQ(PublisherPageAddress("https://publisher.example/tidewarden", "/opt/game"),
              "https://publisher.example/tidewarden");
    EXPECT_EQ(PublisherPageAddress("", "/opt/game/"), "/opt/game/about.html");
    EXPECT_EQ(PublisherPageAddress("", "/opt/game/bin/.."), "/opt/game/about.html");
}

TEST_F(MenuCommandsTest, ClicksOutsideItemsDoNothing) {
    Click({20, 20});
    EXPECT_EQ(Shell.ItemHovered, 0);
    EXPECT_EQ(Shell.MenuScreen, msMain);
    ClickMain(2);
    Click({700, 580});
    EXPECT_EQ(Shell.MenuScreen, msOptions);
    EXPECT_TRUE(host->openedTargets().empty());
}

TEST_F(MenuCommandsTest, ASecondClickInPlaceDoesNotChooseTheNewScreensItem) {
    // The click that opened options leaves the pointer over no options item: a second click without
    // a move must not act on the options screen's selection (item 1, the display mode).
    const Point p = Inside(msMain, 2);
    Click(p);
    ASSERT_EQ(Shell.MenuScreen, msOptions);
    const std::uint8_t windowed = Settings.Windowed;
    host->mouseDown(MouseButton::Left, p.x, p.y);
    host->mouseUp(MouseButton::Left, p.x, p.y);
    EXPECT_EQ(Settings.Windowed, windowed);
    EXPECT_EQ(Shell.MenuScreen, msOptions);
}

TEST_F(MenuCommandsTest, StartingAGameSwitchesTheTimers) {
    ClickMain(1);
    EXPECT_EQ(Shell.GameState, gsLevelIntro); // the level is announced first
    EXPECT_FALSE(host->form().DXTimer1->Enabled());
    EXPECT_TRUE(host->form().DXTimer2->Enabled());
}

TEST_F(MenuCommandsTest, MouseSteeringTakesHalfTheOffsetFromTheCentre) {
    Shell.GameState = gsPlaying;
    struct Case {
        int x, y;
        std::int32_t left, right, up, down;
    };
    const Case cases[] = {
        {430, 300, 0, 15, 0, 0},
        {370, 240, 15, 0, 30, 0},
        {401, 301, 0, 0, 0, 0},              // one pixel halves to nothing
        {400 + 520, 300 + 600, 0, 4, 0, 44}, // the low 8 bits of 260 and 300
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        Shell.MousePushLeft = Shell.MousePushRight = Shell.MousePushUp = Shell.MousePushDown = 0;
        host->mouseMove(c.x, c.y);
        EXPECT_EQ(Shell.MousePushLeft, c.left);
        EXPECT_EQ(Shell.MousePushRight, c.right);
        EXPECT_EQ(Shell.MousePushUp, c.up);
        EXPECT_EQ(Shell.MousePushDown, c.down);
    }
}

TEST_F(MenuCommandsTest, KeyboardSteeringKeepsTheMouseOutOfItsDirection) {
    Shell.GameState = gsPlaying;
    Shell.MousePushRight = 7;
    host->form().DXInput1->InputStates.Include(InputRight);
    host->mouseMove(460, 280);
    EXPECT_EQ(Shell.MousePushRight, 7);
    EXPECT_EQ(Shell.MousePushLeft, 0);
    EXPECT_EQ(Shell.MousePushUp, 10);
}

TEST_F(MenuCommandsTest, MouseButtonsArePressedOnlyInPlayAndReleasedAnywhere) {
    host->mouseDown(MouseButton::Left, 10, 10);
    host->mouseDown(MouseButton::Right, 10, 10);
    EXPECT_EQ(Shell.MouseFireHeld, 0);
    EXPECT_EQ(Shell.MouseNetHeld, 0);
    host->mouseUp(MouseButton::Left, 10, 10);
    host->mouseUp(MouseButton::Right, 10, 10);

    Shell.GameState = gsPlaying;
    host->mouseDown(MouseButton::Left, 10, 10);
    host->mouseDown(MouseButton::Right, 10, 10);
    EXPECT_EQ(Shell.MouseFireHeld, 1);
    EXPECT_EQ(Shell.MouseNetHeld, 1);
    Shell.GameState = gsPaused;
    host->mouseUp(MouseButton::Left, 10, 10);
    EXPECT_EQ(Shell.MouseFireHeld, 0);
    EXPECT_EQ(Shell.MouseNetHeld, 1);
    host->mouseUp(MouseButton::Right, 10, 10);
    EXPECT_EQ(Shell.MouseNetHeld, 0);
}

} // namespace
