// SPDX-License-Identifier: MIT
// The exit question over every screen and dialog, played through the headless host on the game's
// real data: it is drawn, "NO" (by key or by click) brings back exactly what it covered, and "YES"
// still closes or ends the game.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/GameHost.h"
#include "platform/VirtualKeys.h"
#include "shell/MenuField.h"
#include "shell/MenuHostTest.h"
#include "state/ShellState.h"
#include "state/Settings.h"

namespace {

namespace vk = tw::platform::vk;

constexpr std::uint32_t RedPixel = 0x00FF0000u;

class ExitQueryTest : public MenuHostTest {
public:
    // The cases' steps reach the screen through these, as the player would.
    tw::test::GameHost& Host() { return *host; }
    void Press(std::uint8_t key) {
        host->pressKey(key);
        host->runTicks(1);
    }
    void SelectWithDown(int item) {
        for (int guard = 0; Shell.MenuSelection != item && guard < 10; ++guard) Press(vk::Down);
        ASSERT_EQ(Shell.MenuSelection, item);
    }
    void Open(int mainItem) {
        SelectWithDown(mainItem);
        Press(vk::Return);
        ASSERT_EQ(Shell.MenuScreen, mainItem);
    }
    void MoveTo(int screen, int item) {
        const TMenuItemRect& r = Menu.MenuItemRect[static_cast<std::size_t>(screen)][static_cast<std::size_t>(item)];
        host->mouseMove(r.X + r.W / 2, r.Y + r.H / 2);
    }
    void ClickOn(int screen, int item) {
        const TMenuItemRect& r = Menu.MenuItemRect[static_cast<std::size_t>(screen)][static_cast<std::size_t>(item)];
        host->click(r.X + r.W / 2, r.Y + r.H / 2);
        host->runTicks(1);
    }
    // One of the game's own dialogs, as the game frame leaves it; the game timer runs.
    void GameDialog(TGameState state, TMenuScreen screen, std::uint8_t selection, std::uint8_t editing) {
        host->form().DXTimer1->SetEnabled(false);
        host->form().DXTimer2->SetEnabled(true);
        Shell.GameState = state;
        Shell.MenuScreen = screen;
        host->form().CreateExit();
        host->form().SetClosingWindowVisible(true);
        Shell.MenuSelection = selection;
        Shell.TextEditing = editing;
        Shell.StateTimer = 700;
    }
    // Red pixels in the box of item i of the exit question: the chosen answer.
    int RedIn(int item) {
        const TMenuItemRect& r = Menu.MenuItemRect[msExitQuery][static_cast<std::size_t>(item)];
        int n = 0;
        for (int y = r.Y; y <= r.Y + r.H; ++y)
            for (int x = r.X; x <= r.X + r.W; ++x) n += host->pixel(x, y) == RedPixel ? 1 : 0;
        return n;
    }
    // One menu frame with the text cursor always at the same point of its blinking.
    std::vector<std::uint32_t> Frame() {
        Shell.BlinkCounter = 0;
        host->runTicks(1);
        return host->backBuffer();
    }
};

// What the player sees and what the next key or click acts on.
std::string Seen() {
    std::ostringstream s;
    s << "state " << int{Shell.GameState} << ", screen " << int{Shell.MenuScreen} << ", selection "
      << int{Shell.MenuSelection} << ", main selection " << int{Shell.MainSelection} << ", main column "
      << int{Shell.MainColumnHover} << ", typing " << int{Shell.TextEditing} << ", saved screen "
      << int{Shell.SavedMenuScreen} << ", frame " << (Menu.ClosingWindow && Menu.ClosingWindow->Visible)
      << ", country '" << Settings.Country.Text() << "'";
    auto list = [&s](const char* name, const TMenuItemList& items) {
        s << ", " << name << " [";
        for (std::size_t i = 1; i <= MenuItemSlots; ++i) s << (items[i] ? (items[i]->Visible ? 'V' : 'h') : '-');
        s << "]";
    };
    list("main", Menu.MainMenuItems);
    list("current", Menu.CurrentItems);
    list("saved", Menu.SavedItems);
    return s.str();
}

enum class Answer { Key, Click };

struct Case {
    std::string name;
    std::function<void(ExitQueryTest&)> reach;
};

TEST_F(ExitQueryTest, NoBringsBackExactlyWhatTheQuestionCovered) {
    std::vector<Case> cases = {
        {"main menu, HELP highlighted after options was open",
         [](ExitQueryTest& t) {
             t.Open(msOptions);
             t.Press(vk::Escape);
             t.SelectWithDown(4);
         }},
        {"options, MUSIC framed",
         [](ExitQueryTest& t) {
             t.Open(msOptions);
             t.SelectWithDown(2);
         }},
        {"options while typing the country",
         [](ExitQueryTest& t) {
             t.Open(msOptions);
             t.SelectWithDown(4);
             t.Press(vk::Return);
             t.Host().typeText("de");
         }},
        {"high scores, world scores highlighted",
         [](ExitQueryTest& t) {
             t.Open(msScores);
             t.SelectWithDown(2);
         }},
        {"clear-scores dialog, YES chosen",
         [](ExitQueryTest& t) {
             t.Open(msScores);
             t.Press(vk::Return);
             t.Press(vk::Left);
             ASSERT_EQ(Shell.MenuScreen, msClearScores);
         }},
        {"boss-key dialog",
         [](ExitQueryTest& t) {
             t.Open(msOptions);
             t.SelectWithDown(5);
             t.Press(vk::Return);
             ASSERT_EQ(Shell.MenuScreen, msBossKey);
         }},
        {"name entry, typing the name",
         [](ExitQueryTest& t) {
             t.GameDialog(gsNameEntry, msNameEntry, 3, 1);
             Settings.NewEntry.Name.SetText("Ann");
         }},
        {"name entry, country field", [](ExitQueryTest& t) { t.GameDialog(gsNameEntry, msNameEntry, 4, 1); }},
        {"send question, NO chosen", [](ExitQueryTest& t) { t.GameDialog(gsSendQuery, msSendQuery, 2, 0); }},
        {"sending failed", [](ExitQueryTest& t) { t.GameDialog(gsSendFailed, msSendQuery, 1, 0); }},
    };
    for (int page = 1; page <= THelpImageSprite::PageCount; ++page) {
        cases.push_back({"help page " + std::to_string(page) + ", NEXT highlighted", [page](ExitQueryTest& t) {
                             t.Open(msHelp);
                             t.SelectWithDown(2);
                             for (int p = 1; p < page; ++p) t.Press(vk::Return);
                             ASSERT_EQ(Shell.HelpPage, page);
                         }});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Every case starts from a freshly started game.
        host.reset();
        SetUp();
        c.reach(*this);
        if (HasFatalFailure()) return;
        const bool menu = IsMenuState(Shell.GameState);
        const std::vector<std::uint32_t> frameBefore = menu ? Frame() : std::vector<std::uint32_t>{};
        const std::string before = Seen();
        const std::int32_t timerBefore = Shell.StateTimer;

        for (const Answer answer : {Answer::Key, Answer::Click}) {
            SCOPED_TRACE(answer == Answer::Key ? "NO by key" : "NO by click");
            host->closeRequest();
            host->runTicks(1);
            ASSERT_EQ(Shell.MenuScreen, msExitQuery);
            ASSERT_NE(Menu.ClosingWindow, nullptr);
            EXPECT_TRUE(Menu.ClosingWindow->Visible);
            if (menu) {
                EXPECT_GT(RedIn(1), 0) << "the question is drawn with YES chosen";
                EXPECT_EQ(RedIn(2), 0);
            } else {
                EXPECT_EQ(Shell.GameState, gsExitQuery) << "the state in which the game frame draws it";
            }
            // The question takes no typing: the covered text field must not change under it.
            host->typeText("xy");
            host->keyDown(vk::Back);
            host->keyUp(vk::Back);

            EXPECT_EQ(Shell.StateTimer, timerBefore) << "the question holds the time a timed screen had left";

            if (answer == Answer::Key) {
                // The main column lights up under the pointer on the way, as it does beside a dialog.
                MoveTo(msMain, 6);
                host->mouseMove(5, 5);
                Press(vk::Right);
                ASSERT_EQ(Shell.MenuSelection, 2);
                Press(vk::Return);
            } else {
                ClickOn(msExitQuery, 2);
            }
            EXPECT_FALSE(host->closed());
            EXPECT_EQ(Seen(), before);
            // Only the tick after "NO" counted down a timed screen.
            EXPECT_GE(Shell.StateTimer, timerBefore - 16);
            Shell.StateTimer = timerBefore;
            if (menu) {
                const std::vector<std::uint32_t> frameAfter = Frame();
                std::size_t differing = 0;
                for (std::size_t i = 0; i < frameAfter.size(); ++i)
                    differing += frameAfter[i] != frameBefore[i] ? 1u : 0u;
                EXPECT_EQ(differing, 0u) << "pixels differ from the frame before the question";
            }
        }

        // "YES" still leaves: the menu and the game's finished dialogs close the window.
        host->closeRequest();
        Press(vk::Return);
        EXPECT_TRUE(host->closed());
    }
}

} // namespace
