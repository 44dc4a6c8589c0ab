// SPDX-License-Identifier: MIT
// The menu field on the built menu pictures: what start-up shows, the sub-screens' sprites, the hover
// rectangles taken from the pictures, tearing screens down, and which highlight shows.
#include "graphics/PictureCollection.h"
#include "host/GameHost.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tw::test::GameHost;

GameHost::Options withGameData() {
    GameHost::Options options;
    options.gameData = true;
    return options;
}

TPictureCollection& pictures(GameHost& host) { return host.form().DXImageList1->Items(); }

// Opens a sub-screen the way its main-menu item does: that item is the selection.
void open(GameHost& host, std::uint8_t screen) {
    Shell.MenuSelection = screen;
    if (screen == msOptions) host.form().CreateOptions();
    if (screen == msScores) host.form().CreateScores();
    if (screen == msHelp) host.form().CreateHelp();
}

std::vector<bool> visibility(const TMenuItemList& list, int first, int last) {
    std::vector<bool> shown;
    for (int i = first; i <= last; ++i)
        shown.push_back(list[static_cast<std::size_t>(i)] && list[static_cast<std::size_t>(i)]->Visible);
    return shown;
}

TEST(MenuField, StartUpShowsTheBackgroundTheFirstMainItemAndAHiddenDialogFrame) {
    GameHost host(withGameData());
    ASSERT_TRUE(host.messages().empty()) << host.messages().front();
    EXPECT_EQ(Shell.MenuScreen, msMain);
    EXPECT_EQ(Shell.MenuSelection, 1);

    ASSERT_NE(Menu.Background, nullptr);
    EXPECT_EQ(Menu.Background->Image, pictures(host).ItemAt(0));
    EXPECT_TRUE(Menu.Background->Visible);
    EXPECT_EQ(Menu.Background->Z(), 0);
    EXPECT_EQ(Menu.Background->Width, 800);
    EXPECT_EQ(Menu.Background->Height, 600);

    ASSERT_NE(Menu.ClosingWindow, nullptr);
    EXPECT_EQ(Menu.ClosingWindow->Image, pictures(host).Find("console"));
    EXPECT_FALSE(Menu.ClosingWindow->Visible);
    EXPECT_EQ(Menu.ClosingWindow->X, 188);
    EXPECT_EQ(Menu.ClosingWindow->Y, 160);
    EXPECT_EQ(Menu.ClosingWindow->Z(), 5);

    EXPECT_EQ(visibility(Menu.MainMenuItems, 1, 6), (std::vector<bool>{true, false, false, false, false, false}));
    EXPECT_EQ(Menu.CurrentItems, Menu.MainMenuItems);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(Menu.MainMenuItems[static_cast<std::size_t>(i)]->Image, pictures(host).ItemAt(i));

    // The first highlight is what the frame shows over the start item: hiding it changes those pixels.
    host.runTicks(1);
    const auto withHighlight = host.backBuffer();
    Menu.MainMenuItems[1]->Visible = false;
    host.runTicks(1);
    const auto without = host.backBuffer();
    const TMenuItemRect r = Menu.MenuItemRect[msMain][1];
    int changed = 0, changedElsewhere = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            if (withHighlight[static_cast<std::size_t>(y * 800 + x)] == without[static_cast<std::size_t>(y * 800 + x)])
                continue;
            (r.Contains(x, y) ? changed : changedElsewhere)++;
        }
    EXPECT_GT(changed, 100);
    EXPECT_EQ(changedElsewhere, 0);
}

TEST(MenuField, MainMenuHoverRectanglesFollowTheHighlightPictures) {
    GameHost host(withGameData());
    for (int i = 1; i <= 6; ++i) {
        SCOPED_TRACE(i);
        const TMenuItemRect r = Menu.MenuItemRect[msMain][static_cast<std::size_t>(i)];
        const TPictureCollectionItem* picture = pictures(host).ItemAt(i);
        EXPECT_EQ(r.X, 489);
        EXPECT_EQ(r.Y, 177 + 44 * (i - 1));
        EXPECT_GT(r.W, 0);
        EXPECT_EQ(r.W, picture->Width());
        EXPECT_EQ(r.H, picture->Height());
    }
}

TEST(MenuField, OptionsShowOneOfEachTogglePairAsTheSettingsSay) {
    struct Case {
        std::uint8_t windowed, music, sound;
    };
    for (const Case c : {Case{1, 1, 1}, Case{0, 0, 0}, Case{1, 0, 1}, Case{0, 1, 0}}) {
        SCOPED_TRACE(std::to_string(c.windowed) + std::to_string(c.music) + std::to_string(c.sound));
        GameHost host(withGameData());
        Settings.Windowed = c.windowed;
        Settings.MusicOn = c.music;
        Settings.SoundOn = c.sound;
        open(host, msOptions);
        EXPECT_EQ(Shell.MenuScreen, msOptions);
        EXPECT_EQ(Shell.MainSelection, msOptions);
        EXPECT_EQ(Shell.MenuSelection, 1);
        EXPECT_EQ(visibility(Menu.OptionToggles, 1, 6),
                  (std::vector<bool>{c.windowed == 1, c.windowed == 0, c.music == 1, c.music == 0, c.sound == 1,
                                     c.sound == 0}));
        const char* names[] = {"window", "full", "muson", "musoff", "soundon", "soundoff"};
        for (std::size_t k = 1; k <= 6; ++k) {
            EXPECT_EQ(Menu.OptionToggles[k]->Image, pictures(host).Find(names[k - 1]));
            EXPECT_EQ(Menu.OptionToggles[k]->Z(), 2);
        }
        ASSERT_NE(Menu.SubBackground, nullptr);
        EXPECT_EQ(Menu.SubBackground->Image, pictures(host).Find("optionsback"));
        EXPECT_EQ(Menu.SubBackground->X, 31);
        EXPECT_EQ(Menu.SubBackground->Y, 175);
        // Options 1 to 5 are framed, not highlighted; the back item has a hidden highlight.
        EXPECT_EQ(visibility(Menu.CurrentItems, 1, 5), std::vector<bool>(5, false));
        for (std::size_t k = 1; k <= 5; ++k) EXPECT_EQ(Menu.CurrentItems[k], nullptr);
        ASSERT_NE(Menu.CurrentItems[6], nullptr);
        EXPECT_FALSE(Menu.CurrentItems[6]->Visible);
        EXPECT_EQ(Menu.CurrentItems[6]->X, 318);
        EXPECT_EQ(Menu.CurrentItems[6]->Y, 504);
        EXPECT_EQ(Menu.MenuItemRect[msOptions][6].W, pictures(host).Find("backactive")->Width());
        // The main menu stays behind with the item that opened the screen.
        EXPECT_NE(Menu.MainMenuItems[1], nullptr);
    }
}

TEST(MenuField, TheDisplayPicturesFollowAModeSwitchWhileOptionsAreOpen) {
    GameHost host(withGameData());
    open(host, msOptions);
    Settings.Windowed = 0;
    host.form().ChangeMode();
    EXPECT_EQ(visibility(Menu.OptionToggles, 1, 2), (std::vector<bool>{false, true}));
    Settings.Windowed = 1;
    host.form().ChangeMode();
    EXPECT_EQ(visibility(Menu.OptionToggles, 1, 2), (std::vector<bool>{true, false}));
    EXPECT_EQ(visibility(Menu.OptionToggles, 3, 6), (std::vector<bool>{false, true, true, false})) << "the others stay";
}

TEST(MenuField, ScoresAndHelpBuildTheirHighlightsWithThePicturesSizes) {
    struct Case {
        std::uint8_t screen;
        const char* panel;
        std::vector<const char*> items;
    };
    for (const Case& c : {Case{msScores, "scoreback", {"clearscore", "viewscore", "backactive"}},
                          Case{msHelp, "helpback", {"prev", "next", "backactive"}}}) {
        SCOPED_TRACE(c.panel);
        GameHost host(withGameData());
        const TMenuItemRects initial = InitialMenuItemRects();
        open(host, c.screen);
        EXPECT_EQ(Shell.MenuScreen, c.screen);
        EXPECT_EQ(Menu.SubBackground->Image, pictures(host).Find(c.panel));
        EXPECT_EQ(visibility(Menu.CurrentItems, 1, 3), (std::vector<bool>{true, false, false}));
        for (std::size_t k = 1; k <= 3; ++k) {
            const TMenuItem* item = Menu.CurrentItems[k];
            const TMenuItemRect r = Menu.MenuItemRect[c.screen][k];
            EXPECT_EQ(item->Image, pictures(host).Find(c.items[k - 1]));
            EXPECT_EQ(item->X, initial[c.screen][k].X);
            EXPECT_EQ(item->Y, initial[c.screen][k].Y);
            EXPECT_EQ(r.W, item->Image->Width());
            EXPECT_EQ(r.H, item->Image->Height());
        }
    }
}

TEST(MenuField, HelpAlwaysOpensOnTheFirstPage) {
    GameHost host(withGameData());
    Shell.HelpPage = 5; // as a help screen left on page 5 would have it, had nothing reset it
    open(host, msHelp);
    ASSERT_NE(Menu.HelpImage, nullptr);
    EXPECT_EQ(Shell.HelpPage, 1);
    EXPECT_EQ(Menu.HelpImage->Image, pictures(host).ItemAt(24));
    EXPECT_EQ(Menu.HelpImage->X, 45);
    EXPECT_EQ(Menu.HelpImage->Y, 187);
    EXPECT_EQ(Menu.HelpImage->Z(), 2);
    EXPECT_TRUE(Menu.HelpImage->Visible);
    EXPECT_EQ(Menu.HelpImage->Width, pictures(host).ItemAt(24)->Width());

    Menu.HelpImage->ShowPage(pictures(host), 7);
    EXPECT_EQ(Menu.HelpImage->Image, pictures(host).ItemAt(30));
}

TEST(MenuField, DestroyMenuRemovesTheScreensItemsIncludingTheBackItem) {
    GameHost host(withGameData());
    const int before = host.form().DXSpriteEngine1->Engine().SpriteCount();
    open(host, msScores);
    std::vector<TMenuItem*> items(Menu.CurrentItems.begin() + 1, Menu.CurrentItems.begin() + 4);
    host.form().DestroyMenu();
    for (TMenuItem* item : items) EXPECT_TRUE(item->Dead());
    EXPECT_EQ(Menu.CurrentItems, Menu.MainMenuItems);
    EXPECT_NE(Menu.SubBackground, nullptr) << "the panel is left to the command that leaves the screen";
    host.runTicks(1);
    EXPECT_EQ(host.form().DXSpriteEngine1->Engine().SpriteCount(), before + 1) << "only the panel is left";

    // On the main menu itself nothing is destroyed: the items are the main menu's own.
    Shell.MenuScreen = msMain;
    host.form().DestroyMenu();
    EXPECT_EQ(Menu.CurrentItems, TMenuItemList{});
    for (std::size_t i = 1; i <= 6; ++i) EXPECT_FALSE(Menu.MainMenuItems[i]->Dead());
}

TEST(MenuField, EmptyingTheSpriteEngineLeavesNoMenuReferenceBehind) {
    GameHost host(withGameData());
    open(host, msHelp);
    host.form().KeepScreenUnderExitQuery();
    host.form().DXSpriteEngine1->Engine().FreeChildren();
    EXPECT_EQ(Menu.Background, nullptr);
    EXPECT_EQ(Menu.ClosingWindow, nullptr);
    EXPECT_EQ(Menu.SubBackground, nullptr);
    EXPECT_EQ(Menu.HelpImage, nullptr);
    EXPECT_EQ(Menu.MainMenuItems, TMenuItemList{});
    EXPECT_EQ(Menu.CurrentItems, TMenuItemList{});
    EXPECT_EQ(Menu.SavedItems, TMenuItemList{});
    EXPECT_EQ(Menu.UnderExitQuery.CurrentItems, TMenuItemList{});
    // A dialog of a game then has nothing to show or hide.
    Shell.GameState = gsExitQuery;
    Shell.MenuScreen = msExitQuery;
    host.form().DestroyMenu();
    EXPECT_EQ(Menu.CurrentItems, TMenuItemList{});
}

TEST(MenuField, ShowSelectionLeavesOnlyTheSelectedHighlight) {
    GameHost host(withGameData());
    open(host, msScores);
    Shell.MenuSelection = 3;
    host.form().ShowSelection();
    EXPECT_EQ(visibility(Menu.CurrentItems, 1, 3), (std::vector<bool>{false, false, true}))
        << "the back item is reached";

    // The mouse over the main column: the main menu's highlight follows MainSelection instead.
    Shell.MainColumnHover = 1;
    Shell.MainSelection = 5;
    host.form().ShowSelection();
    EXPECT_EQ(visibility(Menu.MainMenuItems, 1, 6), (std::vector<bool>{false, false, false, false, true, false}));
    EXPECT_EQ(visibility(Menu.CurrentItems, 1, 3), (std::vector<bool>{false, false, true}));
}

TEST(MenuField, ShowSelectionStartsAndStopsTextEditing) {
    struct Case {
        TGameState state;
        TMenuScreen screen;
        std::uint8_t selection, editingBefore, editingAfter;
    };
    const Case cases[] = {
        {gsMenu, msOptions, 4, 1, 1}, // the country field keeps its editing
        {gsMenu, msOptions, 3, 1, 0}, // leaving it ends the editing
        {gsMenu, msScores, 2, 1, 1},  // other screens leave it alone
        {gsNameEntry, msNameEntry, 1, 1, 0}, {gsNameEntry, msNameEntry, 2, 1, 0},
        {gsNameEntry, msNameEntry, 3, 0, 1}, {gsNameEntry, msNameEntry, 4, 0, 1},
    };
    GameHost host(withGameData());
    host.form().CreateExit();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int{c.state}) + "/" + std::to_string(c.selection));
        Shell.GameState = c.state;
        Shell.MenuScreen = c.screen;
        Shell.MenuSelection = c.selection;
        Shell.TextEditing = c.editingBefore;
        host.form().ShowSelection();
        EXPECT_EQ(Shell.TextEditing, c.editingAfter);
    }
}

} // namespace
