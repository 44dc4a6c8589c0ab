// SPDX-License-Identifier: MIT
// The menu field: the menu's sprite classes, the item geometry every screen shares with the mouse and
// the frame loops, and the sprite references the screens keep. The TmainForm methods that build and
// tear down the screens (CreateMenuField ... ShowSelection) are declared with the form, defined in
// MenuField.cpp.
#pragma once

#include <array>
#include <cstdint>

#include "engine/DXSprite.h"
#include "state/ShellState.h"

class TPictureCollection;

// The menu's sprites are told apart by their type only; none adds behaviour to its base. Whoever
// empties the sprite engine, a destroyed menu sprite leaves no reference to it behind in `Menu`.
class TMenuBackground : public TBackgroundSprite {
public:
    using TBackgroundSprite::TBackgroundSprite;
    ~TMenuBackground() override;
};

// The panel of a sub-screen: "optionsback", "scoreback" or "helpback".
class TSubBackground : public TImageSprite {
public:
    using TImageSprite::TImageSprite;
    ~TSubBackground() override;
};

// The highlight picture of one selectable item, and the options screen's state pictures.
class TMenuItem : public TImageSprite {
public:
    using TImageSprite::TImageSprite;
    ~TMenuItem() override;
};

// The dialog frame "console", shown while a dialog is open.
class TClosingWindow : public TImageSprite {
public:
    using TImageSprite::TImageSprite;
    ~TClosingWindow() override;
};

// The help page on show. Starts on the first page (collection item 24) at (45, 187), depth 2.
class THelpImageSprite : public TImageSprite {
public:
    static constexpr int FirstPageIndex = 24;
    static constexpr int PageCount = 7;

    THelpImageSprite(TSprite* parent, const TPictureCollection& pictures);
    ~THelpImageSprite() override;
    // Shows page 1 to 7 (collection item page + 23) with that picture's size.
    void ShowPage(const TPictureCollection& pictures, int page);
};

// One item's hover rectangle and text position: X <= x <= X + W and Y <= y <= Y + H.
struct TMenuItemRect {
    std::uint16_t X = 0, Y = 0, W = 0, H = 0;
    bool Contains(int x, int y) const { return x >= X && x <= X + W && y >= Y && y <= Y + H; }
};

constexpr int MenuScreenCount = 9; // msMain .. msSendQuery
constexpr int MenuItemSlots = 6;   // items per screen

// Indexed from 1 like the screens and items they describe; index 0 of each level is unused.
using TMenuItemRects = std::array<std::array<TMenuItemRect, MenuItemSlots + 1>, MenuScreenCount + 1>;
using TMenuItemList = std::array<TMenuItem*, MenuItemSlots + 1>;

// The table at start. Widths and heights of highlighted items are filled from their pictures when
// their screen is built.
constexpr TMenuItemRects InitialMenuItemRects() {
    TMenuItemRects r{};
    auto row = [&r](int s, std::array<TMenuItemRect, MenuItemSlots> items) {
        for (int i = 0; i < MenuItemSlots; ++i)
            r[static_cast<std::size_t>(s)][static_cast<std::size_t>(i + 1)] = items[static_cast<std::size_t>(i)];
    };
    row(1,
        {{{489, 177, 0, 0}, {489, 221, 0, 0}, {489, 265, 0, 0}, {489, 309, 0, 0}, {489, 353, 0, 0}, {489, 397, 0, 0}}});
    row(2, {{{176, 210, 300, 40},
             {148, 258, 130, 40},
             {156, 306, 130, 40},
             {258, 360, 215, 30},
             {195, 406, 130, 30},
             {318, 504, 120, 18}}});
    row(3,
        {{{31, 487, 80, 18}, {270, 486, 280, 18}, {318, 504, 200, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}}});
    row(4, {{{31, 486, 80, 18}, {416, 488, 100, 18}, {318, 504, 60, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}}});
    row(5, {{{360, 320, 40, 18}, {415, 320, 30, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}}});
    row(6, {{{360, 340, 40, 18}, {415, 340, 30, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}}});
    row(7, {});
    row(8, {{{360, 350, 40, 18},
             {415, 350, 30, 18},
             {330, 260, 200, 18},
             {350, 320, 200, 18},
             {0, 0, 0, 18},
             {0, 0, 0, 18}}});
    row(9, {{{360, 320, 40, 18}, {415, 320, 30, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}, {0, 0, 0, 18}}});
    return r;
}

// The screen or dialog the exit question covers, kept whole: "NO" brings back exactly what was
// there (the state, a dialog's own saved screen and items, selection, highlights, frame, typing).
// A dialog keeps its screen beneath in SavedMenuScreen and SavedItems, so the question may not use
// those for itself.
struct TScreenUnderExitQuery {
    TGameState GameState = gsNone;
    TMenuScreen MenuScreen = msNone;
    std::uint8_t MenuSelection = 0;
    std::uint8_t MainSelection = 0;
    std::uint8_t MainColumnHover = 0;
    std::uint8_t TextEditing = 0;
    TGameState SavedGameState = gsNone;
    TMenuScreen SavedMenuScreen = msNone;
    bool DialogFrameVisible = false;
    TMenuItemList CurrentItems{};
    TMenuItemList SavedItems{};
    // Which highlights showed, by slot of CurrentItems and of the main menu's items.
    std::array<bool, MenuItemSlots + 1> CurrentShown{};
    std::array<bool, MenuItemSlots + 1> MainShown{};
};

// The menu field's module-level state; a test starts from a fresh one with `Menu = MenuFieldState{}`.
struct MenuFieldState {
    TMenuItemRects MenuItemRect = InitialMenuItemRects();
    // Items that hover and the arrow keys reach, per screen (index 0 unused). The back items of
    // options (6), high scores (3) and help (3) count too, so a mouse user can click them.
    std::array<std::uint8_t, MenuScreenCount + 1> ItemCount{0, 6, 6, 3, 3, 2, 2, 0, 4, 2};

    // Sprites owned by the sprite engine; nullptr when there is none.
    TMenuBackground* Background = nullptr;
    TClosingWindow* ClosingWindow = nullptr;
    TSubBackground* SubBackground = nullptr;
    THelpImageSprite* HelpImage = nullptr;
    TMenuItemList MainMenuItems{};
    TMenuItemList CurrentItems{};
    TMenuItemList SavedItems{};
    // "window", "full", "muson", "musoff", "soundon", "soundoff", in this order (index 0 unused).
    TMenuItemList OptionToggles{};
    TScreenUnderExitQuery UnderExitQuery;
};

extern MenuFieldState Menu;

// The Z order of the menu's sprites.
enum TMenuDepth : std::int32_t { mzBackground = 0, mzPanel = 1, mzItem = 2, mzDialog = 5 };
