// SPDX-License-Identifier: MIT
// The keyboard through the headless host on the game's real data: menu navigation and the latch of
// each key, the text fields, the boss key and its capture, pause, and Alt+Enter in every state.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/GameHost.h"
#include "platform/VirtualKeys.h"
#include "shell/MenuHostTest.h"
#include "shell/Config.h"
#include "shell/KeyHandling.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

namespace {

using tw::test::GameHost;
namespace vk = tw::platform::vk;

class KeyHandlingTest : public MenuHostTest {
protected:
    void Press(std::uint8_t key) {
        host->pressKey(key);
        host->runTicks(1);
    }
    // Walks the selection of the current screen down to item.
    void SelectWithDown(int item) {
        for (int guard = 0; Shell.MenuSelection != item && guard < 10; ++guard) Press(vk::Down);
        ASSERT_EQ(Shell.MenuSelection, item);
    }
    void OpenOptions() {
        SelectWithDown(2);
        Press(vk::Return);
        ASSERT_EQ(Shell.MenuScreen, msOptions);
    }
    void EditCountry() {
        OpenOptions();
        SelectWithDown(4);
        Press(vk::Return);
        ASSERT_EQ(Shell.TextEditing, 1);
    }
    // The pixels of a rectangle of the last frame.
    std::vector<std::uint32_t> Region(int x0, int y0, int x1, int y1) {
        std::vector<std::uint32_t> out;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) out.push_back(host->pixel(x, y));
        return out;
    }
};

TEST_F(KeyHandlingTest, UpAndDownWrapRoundTheMainMenu) {
    ASSERT_EQ(Shell.MenuSelection, 1);
    Press(vk::Up);
    EXPECT_EQ(Shell.MenuSelection, 6);
    EXPECT_TRUE(Menu.MainMenuItems[6]->Visible);
    EXPECT_FALSE(Menu.MainMenuItems[1]->Visible);
    Press(vk::Down);
    EXPECT_EQ(Shell.MenuSelection, 1);
    // Left and Right do nothing on the main menu.
    Press(vk::Right);
    Press(vk::Left);
    EXPECT_EQ(Shell.MenuSelection, 1);
}

TEST_F(KeyHandlingTest, AHeldArrowMovesOnce) {
    host->keyDown(vk::Down);
    for (int i = 0; i < 5; ++i) host->keyDown(vk::Down, true);
    EXPECT_EQ(Shell.MenuSelection, 2);
    host->keyUp(vk::Down);
    host->keyDown(vk::Down);
    EXPECT_EQ(Shell.MenuSelection, 3);
    host->keyUp(vk::Down);
}

// Every key is latched by itself: with fire or a steering key held, as it always is in play, pause,
// Esc and the boss key act at once; the held key's own repeats still do nothing.
TEST_F(KeyHandlingTest, PauseEscapeAndTheBossKeyActWhileFireOrSteeringIsHeld) {
    for (const std::uint8_t held : {vk::Space, vk::Control, vk::Up, vk::Right}) {
        SCOPED_TRACE(static_cast<int>(held));
        Shell.GameState = gsPlaying;
        host->form().SetWindowState(wsNormal);
        host->keyDown(held);
        host->keyDown(held, true);
        host->pressKey('P');
        EXPECT_EQ(Shell.GameState, gsPaused);
        host->keyDown(held, true);
        host->pressKey('P');
        EXPECT_EQ(Shell.GameState, gsPlaying);
        host->pressKey(vk::Escape);
        EXPECT_EQ(Shell.GameState, gsExitQuery);
        host->pressKey(vk::Escape); // "NO"
        EXPECT_EQ(Shell.GameState, gsPlaying);
        host->pressKey(0x7B);
        EXPECT_EQ(Shell.GameState, gsPaused);
        EXPECT_EQ(host->form().WindowState(), wsMinimized);
        host->keyUp(held);
    }
}

// Enter, Enter, Enter from HIGH SCORES on the main menu opens the table, asks to clear it, and
// answers "NO": the question opens on "NO". After it, the highlight and what Enter chooses agree.
TEST_F(KeyHandlingTest, TheClearQuestionOpensOnNoAndOnlyYesClearsTheTable) {
    Settings.HighScores[0].Score = 4242;
    SelectWithDown(3);
    Press(vk::Return);
    ASSERT_EQ(Shell.MenuScreen, msScores);
    ASSERT_EQ(Shell.MenuSelection, 1);
    Press(vk::Return);
    ASSERT_EQ(Shell.MenuScreen, msClearScores);
    EXPECT_EQ(Shell.MenuSelection, 2) << "NO is chosen";
    Press(vk::Return);
    EXPECT_EQ(Shell.MenuScreen, msScores);
    EXPECT_EQ(Settings.HighScores[0].Score, 4242);
    EXPECT_EQ(Shell.MenuSelection, 1);
    for (std::size_t item = 1; item <= 3; ++item)
        EXPECT_EQ(Menu.CurrentItems[item]->Visible, item == 1) << "highlight of item " << item;

    Press(vk::Return); // the question again, now answered "YES"
    Press(vk::Left);
    Press(vk::Return);
    EXPECT_EQ(Shell.MenuScreen, msScores);
    EXPECT_EQ(Settings.HighScores[0].Score, 1000);
}

TEST_F(KeyHandlingTest, AHeldBackspaceKeepsDeleting) {
    EditCountry();
    host->typeText("abcd");
    host->keyDown(vk::Back);
    host->keyDown(vk::Back, true);
    host->keyDown(vk::Back, true);
    EXPECT_EQ(Settings.Country.Text(), "a");
    host->keyDown(vk::Back, true);
    host->keyDown(vk::Back, true);
    EXPECT_EQ(Settings.Country.Text(), "") << "an empty field stays empty";
    host->keyUp(vk::Back);
}

TEST_F(KeyHandlingTest, CountryIsStoredAsTypedAndShownInCapitals) {
    EditCountry();
    host->typeText("de-x\xE9");
    EXPECT_EQ(Settings.Country.Text(), "dex") << "only blanks, digits and letters are taken";
    host->typeText("ab 1234567");
    EXPECT_EQ(Settings.Country.Text(), "dexab 1234") << "the eleventh character is dropped";

    // Stop editing so that no cursor blinks, and compare the field with the same text in capitals.
    Press(vk::Return);
    ASSERT_EQ(Shell.TextEditing, 0);
    host->runTicks(1);
    const std::vector<std::uint32_t> typed = Region(258, 360, 473, 390);
    Settings.Country.SetText("DEXAB 1234");
    host->runTicks(1);
    EXPECT_EQ(Region(258, 360, 473, 390), typed);
    Settings.Country.SetText("DEXAB 1235");
    host->runTicks(1);
    EXPECT_NE(Region(258, 360, 473, 390), typed) << "the region shows the text";

    // Leaving the screen saves the country.
    Settings.Country.SetText("dexab 1234");
    Press(vk::Escape);
    EXPECT_EQ(Shell.MenuScreen, msMain);
    EXPECT_EQ(SavedSettings().Country.Text(), "dexab 1234");
}

TEST_F(KeyHandlingTest, TypingOutsideATextFieldChangesNothing) {
    OpenOptions();
    host->typeText("abc");
    host->pressKey(vk::Back);
    EXPECT_EQ(Settings.Country.Text(), "");
}

TEST_F(KeyHandlingTest, LeftAndRightToggleTheFirstThreeOptionsOnly) {
    OpenOptions();
    const SettingsState before = Settings;
    Press(vk::Right); // item 1: the display mode
    EXPECT_EQ(Settings.Windowed, before.Windowed ^ 1);
    SelectWithDown(3);
    Press(vk::Left);
    EXPECT_EQ(Settings.SoundOn, before.SoundOn ^ 1);
    for (int item : {4, 5}) {
        SelectWithDown(item);
        Press(vk::Left);
        Press(vk::Right);
        EXPECT_EQ(Shell.MenuSelection, item);
        EXPECT_EQ(Shell.MenuScreen, msOptions);
        EXPECT_EQ(Shell.TextEditing, 0);
    }
}

TEST_F(KeyHandlingTest, EscapeLeavesScreensAndAnswersNo) {
    OpenOptions();
    Press(vk::Escape);
    EXPECT_EQ(Shell.MenuScreen, msMain);
    EXPECT_EQ(Shell.MenuSelection, 2);
    Press(vk::Escape);
    ASSERT_EQ(Shell.MenuScreen, msExitQuery);
    EXPECT_EQ(Shell.MenuSelection, 1);
    Press(vk::Escape);
    EXPECT_EQ(Shell.MenuScreen, msMain);
    EXPECT_FALSE(host->closed());
    Press(vk::Escape);
    Press(vk::Return); // "YES"
    EXPECT_TRUE(host->closed());
}

TEST(BossKeyName, NamesOfTheKeys) {
    const struct {
        std::uint16_t key;
        const char* name; // nullptr: no name of its own
    } cases[] = {
        {0x20, "Space"},      {0x30, "0"},     {0x39, "9"},     {0x41, "A"},     {0x5A, "Z"},
        {0x5B, "Window Key"}, {0x70, "F1"},    {0x7B, "F12"},   {0x09, nullptr}, {0x2F, nullptr},
        {0x3A, nullptr},      {0x5C, nullptr}, {0x6F, nullptr}, {0x7C, nullptr}, {0x100, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const std::optional<std::string> name = BossKeyNameFor(c.key);
        if (c.name) {
            ASSERT_TRUE(name.has_value());
            EXPECT_EQ(*name, c.name);
        } else {
            EXPECT_FALSE(name.has_value());
        }
    }
}

TEST_F(KeyHandlingTest, BossKeyCaptureRefusesModifiersAndPAndKeepsTheOldNameForTab) {
    EXPECT_EQ(Shell.BossKeyName, "F12");
    OpenOptions();
    SelectWithDown(5);
    Press(vk::Return);
    ASSERT_EQ(Shell.MenuScreen, msBossKey);
    EXPECT_TRUE(Menu.ClosingWindow->Visible);
    // P too: in a game it pauses, so as the boss key it could never hide the game there.
    for (std::uint8_t refused : {vk::Shift, vk::Control, vk::Menu, vk::letter('P')}) {
        Press(refused);
        EXPECT_EQ(Shell.MenuScreen, msBossKey) << int{refused};
        EXPECT_EQ(Settings.BossKey, 0x7B);
    }
    Press(vk::Tab);
    EXPECT_EQ(Shell.MenuScreen, msOptions);
    EXPECT_EQ(Settings.BossKey, vk::Tab);
    EXPECT_EQ(Shell.BossKeyName, "F12");
    EXPECT_FALSE(Menu.ClosingWindow->Visible);

    Press(vk::Return);
    Press('Q');
    EXPECT_EQ(Settings.BossKey, 'Q');
    EXPECT_EQ(Shell.BossKeyName, "Q");
}

TEST_F(KeyHandlingTest, BossKeyMinimisesInTheMenuAndPausesAGame) {
    Press(0x7B);
    EXPECT_EQ(host->form().WindowState(), wsMinimized);
    EXPECT_EQ(Shell.GameState, gsMenu);

    host->form().SetWindowState(wsNormal);
    Shell.GameState = gsLevelIntro;
    host->pressKey(0x7B);
    EXPECT_EQ(Shell.GameState, gsPaused);
    EXPECT_EQ(Shell.StateBeforePause, gsLevelIntro);
    EXPECT_EQ(host->form().WindowState(), wsMinimized);
    EXPECT_GE(host->window().cursorCount(), 0) << "the pointer shows";

    // Again while paused: the state to return to is kept.
    host->form().SetWindowState(wsNormal);
    host->pressKey(0x7B);
    EXPECT_EQ(Shell.StateBeforePause, gsLevelIntro);
    host->pressKey('P');
    EXPECT_EQ(Shell.GameState, gsLevelIntro);
}

TEST_F(KeyHandlingTest, PPausesAndResumesOnlyInTheGameStates) {
    Shell.GameState = gsPlaying;
    host->pressKey('P');
    EXPECT_EQ(Shell.GameState, gsPaused);
    EXPECT_GE(host->window().cursorCount(), 0);
    host->pressKey('P');
    EXPECT_EQ(Shell.GameState, gsPlaying);
    EXPECT_LT(host->window().cursorCount(), 0) << "the pointer hides again in play";

    Shell.GameState = gsGameOver;
    host->pressKey('P');
    host->pressKey(vk::Escape);
    EXPECT_EQ(Shell.GameState, gsGameOver);
    EXPECT_NE(Shell.MenuScreen, msExitQuery);
    // Losing the focus pauses "GAME OVER" too; P then resumes its countdown.
    host->focusLost();
    ASSERT_EQ(Shell.GameState, gsPaused);
    host->focusGained();
    host->pressKey('P');
    EXPECT_EQ(Shell.GameState, gsGameOver);
}

TEST_F(KeyHandlingTest, EscapeInAGameAsksToExit) {
    Shell.GameState = gsPlaying;
    host->pressKey(vk::Escape);
    EXPECT_EQ(Shell.GameState, gsExitQuery);
    EXPECT_EQ(Shell.MenuScreen, msExitQuery);
    host->pressKey(vk::Escape); // "NO"
    EXPECT_EQ(Shell.GameState, gsPlaying);
}

TEST_F(KeyHandlingTest, AltEnterTogglesTheDisplayAndSavesInEveryState) {
    for (int state = gsMenu; state <= gsNextLevel; ++state) {
        SCOPED_TRACE(state);
        Shell.GameState = static_cast<TGameState>(state);
        const std::uint8_t windowed = Settings.Windowed;
        host->keyDown(vk::Menu);
        host->keyDown(vk::Return);
        host->keyUp(vk::Return);
        host->keyUp(vk::Menu);
        EXPECT_EQ(Settings.Windowed, windowed ^ 1);
        EXPECT_EQ(host->window().isFullScreen(), Settings.Windowed == 0);
        EXPECT_EQ(SavedSettings().Windowed, Settings.Windowed);
        EXPECT_EQ(Shell.GameState, state) << "Enter with Alt chooses nothing";
    }
}

TEST_F(KeyHandlingTest, EnterOnTheNameFieldAcceptsTheResult) {
    Shell.GameState = gsNameEntry;
    Shell.MenuScreen = msNameEntry;
    Shell.MenuSelection = 3;
    Shell.TextEditing = 1;
    host->typeText("Nemo");
    host->pressKey(vk::Down); // the country field, still typing
    EXPECT_EQ(Shell.TextEditing, 1);
    host->typeText("nz");
    host->pressKey(vk::Up);
    EXPECT_EQ(Settings.NewEntry.Name.Text(), "Nemo");
    EXPECT_EQ(Settings.Country.Text(), "nz");
    host->pressKey(vk::Return);
    EXPECT_EQ(Shell.GameState, gsSendQuery);
    EXPECT_EQ(Shell.MenuScreen, msSendQuery);
    EXPECT_EQ(Shell.MenuSelection, 1);
    EXPECT_EQ(Shell.TextEditing, 0);
}

} // namespace

namespace {

TEST(PadMenuKeys, MenuKeysOnScreensWithItemsStartAsPInAGameAndNothingElse) {
    using tw::platform::PadButton;
    namespace vk = tw::platform::vk;
    struct Case {
        TGameState state;
        PadButton button;
        std::uint8_t key;
    };
    const Case cases[] = {
        {gsMenu, PadButton::Up, vk::Up},
        {gsMenu, PadButton::Down, vk::Down},
        {gsMenu, PadButton::Left, vk::Left},
        {gsMenu, PadButton::Right, vk::Right},
        {gsMenu, PadButton::A, vk::Return},
        {gsMenu, PadButton::B, vk::Escape},
        {gsMenu, PadButton::Start, 0},
        {gsExitQuery, PadButton::A, vk::Return},
        {gsNameEntry, PadButton::Down, vk::Down},
        {gsSendQuery, PadButton::B, vk::Escape},
        // In a game the pad's buttons are the diver's, and reach it as input states only.
        {gsPlaying, PadButton::A, 0},
        {gsPlaying, PadButton::B, 0},
        {gsPlaying, PadButton::Up, 0},
        {gsPlaying, PadButton::Start, vk::letter('P')},
        {gsLevelIntro, PadButton::Start, vk::letter('P')},
        {gsPaused, PadButton::Start, vk::letter('P')},
        {gsPaused, PadButton::A, 0},
        {gsGameOver, PadButton::Start, 0},
        {gsGameOver, PadButton::A, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.state) + " " + std::to_string(static_cast<int>(c.button)));
        EXPECT_EQ(PadMenuKey(c.button, c.state), c.key);
    }
}

} // namespace
