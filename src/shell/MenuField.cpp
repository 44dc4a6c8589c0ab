// SPDX-License-Identifier: MIT
// The menu field: building the main menu, the options, high-score and help screens, tearing their
// items down again, the dialogs' empty item lists, and which highlight shows.
#include "shell/MenuField.h"

#include "graphics/PictureCollection.h"
#include "platform/PathResolver.h"
#include "shell/MainForm.h"
#include "shell/Music.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"
#include "state/Settings.h"

MenuFieldState Menu;

namespace {

template <class Sprite>
void forgetIn(TMenuItemList& list, const Sprite* sprite) {
    for (auto& entry : list)
        if (entry == sprite) entry = nullptr;
}

void forgetMenuItem(const TMenuItem* item) {
    forgetIn(Menu.MainMenuItems, item);
    forgetIn(Menu.CurrentItems, item);
    forgetIn(Menu.SavedItems, item);
    forgetIn(Menu.OptionToggles, item);
    forgetIn(Menu.UnderExitQuery.CurrentItems, item);
    forgetIn(Menu.UnderExitQuery.SavedItems, item);
}

// The settings every image sprite of the menus gets: its picture with that picture's size.
template <class Sprite>
Sprite* makeImageSprite(TSprite& parent, TPictureCollectionItem* picture, int x, int y, std::int32_t z, bool visible) {
    auto* sprite = new Sprite(&parent);
    sprite->PixelPrecise = false;
    sprite->Image = picture;
    sprite->X = x;
    sprite->Y = y;
    sprite->SetZ(z);
    sprite->Visible = visible;
    sprite->Width = picture->Width();
    sprite->Height = picture->Height();
    return sprite;
}

std::uint16_t toUnsigned16(int value) { return static_cast<std::uint16_t>(value); }

// A highlight at the item's position in the table, whose picture gives the item's hover size.
TMenuItem* makeItemHighlight(TSprite& parent, TPictureCollectionItem* picture, int screen, int item, bool visible) {
    TMenuItemRect& rect = Menu.MenuItemRect[static_cast<std::size_t>(screen)][static_cast<std::size_t>(item)];
    TMenuItem* sprite = makeImageSprite<TMenuItem>(parent, picture, rect.X, rect.Y, mzItem, visible);
    rect.W = toUnsigned16(picture->Width());
    rect.H = toUnsigned16(picture->Height());
    return sprite;
}

std::size_t index(int i) { return static_cast<std::size_t>(i); }

} // namespace

TMenuBackground::~TMenuBackground() {
    if (Menu.Background == this) Menu.Background = nullptr;
}

TSubBackground::~TSubBackground() {
    if (Menu.SubBackground == this) Menu.SubBackground = nullptr;
}

TMenuItem::~TMenuItem() { forgetMenuItem(this); }

TClosingWindow::~TClosingWindow() {
    if (Menu.ClosingWindow == this) Menu.ClosingWindow = nullptr;
}

THelpImageSprite::THelpImageSprite(TSprite* parent, const TPictureCollection& pictures) : TImageSprite(parent) {
    PixelPrecise = false;
    ShowPage(pictures, 1);
    X = 45;
    Y = 187;
    SetZ(mzItem);
    Visible = true;
}

THelpImageSprite::~THelpImageSprite() {
    if (Menu.HelpImage == this) Menu.HelpImage = nullptr;
}

void THelpImageSprite::ShowPage(const TPictureCollection& pictures, int page) {
    Image = pictures.ItemAt(page + FirstPageIndex - 1);
    Width = Image->Width();
    Height = Image->Height();
}

void TmainForm::CreateMenuField() {
    TPictureCollection& pictures = DXImageList1->Items();
    pictures.LoadFromFile(tw::platform::resolvePath("data\\menu.dxg"));
    Shell.MainColumnHover = 0;

    TSpriteEngine& engine = DXSpriteEngine1->Engine();
    auto* background = new TMenuBackground(&engine);
    background->SetMapSize(1, 1);
    background->Image = pictures.ItemAt(0);
    background->Visible = true;
    background->Width = background->Image->Width();
    background->Height = background->Image->Height();
    background->SetZ(mzBackground);
    Menu.Background = background;

    Menu.ClosingWindow = makeImageSprite<TClosingWindow>(engine, pictures.Find("console"), 188, 160, mzDialog, false);

    SetMenuScreen(msMain);
    Shell.MenuSelection = miPlay;
    CreateMainMenu();

    if (IsMenuState(Shell.GameState) && Settings.MusicOn)
        LoadAndPlaySong(std::string(MenuSongFile), Settings.MusicOn, Shell.SongHandle);
}

void TmainForm::CreateMainMenu() {
    TPictureCollection& pictures = DXImageList1->Items();
    TSpriteEngine& engine = DXSpriteEngine1->Engine();
    for (int i = 1; i <= MenuItemSlots; ++i) {
        TMenuItemRect& rect = Menu.MenuItemRect[msMain][index(i)];
        TPictureCollectionItem* picture = pictures.ItemAt(i);
        Menu.CurrentItems[index(i)] =
            makeImageSprite<TMenuItem>(engine, picture, rect.X, rect.Y, mzPanel, i == Shell.MenuSelection);
        rect.W = toUnsigned16(picture->Width());
        rect.H = toUnsigned16(picture->Height());
    }
    Menu.MainMenuItems = Menu.CurrentItems;
}

void TmainForm::CreateSubMenu(const std::string& panel) {
    Menu.SubBackground = makeImageSprite<TSubBackground>(DXSpriteEngine1->Engine(), DXImageList1->Items().Find(panel),
                                                         31, 175, mzPanel, true);
}

namespace {

// The start the three sub-screens share: the main menu's item becomes the screen.
void openSubScreen(TmainForm& form, const std::string& panel) {
    form.DestroyMenu();
    // The main menu's OPTIONS, HIGH SCORES and HELP are numbered as the screens they open.
    static_assert(+miOptions == +msOptions && +miScores == +msScores && +miHelp == +msHelp);
    SetMenuScreen(static_cast<TMenuScreen>(Shell.MenuSelection));
    Shell.MainSelection = Shell.MenuSelection;
    Shell.MenuSelection = 1;
    form.CreateSubMenu(panel);
}

} // namespace

void TmainForm::CreateOptions() {
    openSubScreen(*this, "optionsback");
    TPictureCollection& pictures = DXImageList1->Items();
    TSpriteEngine& engine = DXSpriteEngine1->Engine();
    struct Toggle {
        const char* picture;
        int x, y;
        bool visible;
    };
    const Toggle toggles[] = {
        {"window", 178, 215, Settings.Windowed != 0}, {"full", 305, 215, Settings.Windowed == 0},
        {"muson", 155, 264, Settings.MusicOn != 0},   {"musoff", 213, 264, Settings.MusicOn == 0},
        {"soundon", 164, 311, Settings.SoundOn != 0}, {"soundoff", 221, 311, Settings.SoundOn == 0},
    };
    for (std::size_t k = 0; k < std::size(toggles); ++k) {
        const Toggle& t = toggles[k];
        Menu.OptionToggles[k + 1] =
            makeImageSprite<TMenuItem>(engine, pictures.Find(t.picture), t.x, t.y, mzItem, t.visible);
    }
    // Options 1 to 5 are framed by the frame loop; only the back item has a highlight.
    Menu.CurrentItems[6] = makeItemHighlight(engine, pictures.Find("backactive"), msOptions, 6, false);
}

void TmainForm::CreateScores() {
    openSubScreen(*this, "scoreback");
    TPictureCollection& pictures = DXImageList1->Items();
    TSpriteEngine& engine = DXSpriteEngine1->Engine();
    Menu.CurrentItems[1] = makeItemHighlight(engine, pictures.Find("clearscore"), msScores, 1, true);
    Menu.CurrentItems[2] = makeItemHighlight(engine, pictures.Find("viewscore"), msScores, 2, false);
    Menu.CurrentItems[3] = makeItemHighlight(engine, pictures.Find("backactive"), msScores, 3, false);
}

void TmainForm::CreateHelp() {
    openSubScreen(*this, "helpback");
    TPictureCollection& pictures = DXImageList1->Items();
    TSpriteEngine& engine = DXSpriteEngine1->Engine();
    // The screen opens on page 1 whichever way it was last left.
    Shell.HelpPage = 1;
    Menu.HelpImage = new THelpImageSprite(&engine, pictures);
    Menu.CurrentItems[1] = makeItemHighlight(engine, pictures.Find("prev"), msHelp, 1, true);
    Menu.CurrentItems[2] = makeItemHighlight(engine, pictures.Find("next"), msHelp, 2, false);
    Menu.CurrentItems[3] = makeItemHighlight(engine, pictures.Find("backactive"), msHelp, 3, false);
}

void TmainForm::DestroyMenu() {
    const int count = Shell.MenuScreen <= MenuScreenCount ? Menu.ItemCount[Shell.MenuScreen] : 0;
    if (Shell.MenuScreen == msMain && IsMenuState(Shell.GameState)) {
        // The main menu's own items stay alive behind every screen.
        for (int k = 1; k <= Menu.ItemCount[msMain]; ++k) Menu.CurrentItems[index(k)] = nullptr;
        return;
    }
    for (int k = 1; k <= count; ++k) {
        TMenuItem*& item = Menu.CurrentItems[index(k)];
        if (item) {
            item->MarkDead();
            item = nullptr;
        }
    }
    // Outside the menu the main menu's items are gone with the menu field: nothing becomes current.
    if (IsMenuState(Shell.GameState))
        Menu.CurrentItems = Menu.MainMenuItems;
    else
        Menu.CurrentItems = TMenuItemList{};
}

void TmainForm::CreateExit() { Menu.CurrentItems = TMenuItemList{}; }

namespace {

std::array<bool, MenuItemSlots + 1> shownIn(const TMenuItemList& list) {
    std::array<bool, MenuItemSlots + 1> shown{};
    for (std::size_t i = 1; i < list.size(); ++i) shown[i] = list[i] && list[i]->Visible;
    return shown;
}

void showAsKept(const TMenuItemList& list, const std::array<bool, MenuItemSlots + 1>& shown) {
    for (std::size_t i = 1; i < list.size(); ++i)
        if (list[i]) list[i]->Visible = shown[i];
}

} // namespace

void TmainForm::KeepScreenUnderExitQuery() {
    TScreenUnderExitQuery& under = Menu.UnderExitQuery;
    under.GameState = Shell.GameState;
    under.MenuScreen = Shell.MenuScreen;
    under.MenuSelection = Shell.MenuSelection;
    under.MainSelection = Shell.MainSelection;
    under.MainColumnHover = Shell.MainColumnHover;
    under.TextEditing = Shell.TextEditing;
    under.SavedGameState = Shell.SavedGameState;
    under.SavedMenuScreen = Shell.SavedMenuScreen;
    under.DialogFrameVisible = Menu.ClosingWindow && Menu.ClosingWindow->Visible;
    under.CurrentItems = Menu.CurrentItems;
    under.SavedItems = Menu.SavedItems;
    under.CurrentShown = shownIn(Menu.CurrentItems);
    under.MainShown = shownIn(Menu.MainMenuItems);
}

void TmainForm::RestoreScreenUnderExitQuery() {
    const TScreenUnderExitQuery& under = Menu.UnderExitQuery;
    SetGameState(under.GameState);
    SetMenuScreen(under.MenuScreen);
    Shell.MenuSelection = under.MenuSelection;
    Shell.MainSelection = under.MainSelection;
    Shell.MainColumnHover = under.MainColumnHover;
    Shell.TextEditing = under.TextEditing;
    Shell.SavedGameState = under.SavedGameState;
    Shell.SavedMenuScreen = under.SavedMenuScreen;
    // The items under the pointer were the question's: only a move finds the screen's own again.
    Shell.ItemHovered = 0;
    SetClosingWindowVisible(under.DialogFrameVisible);
    Menu.CurrentItems = under.CurrentItems;
    Menu.SavedItems = under.SavedItems;
    showAsKept(Menu.MainMenuItems, under.MainShown);
    showAsKept(Menu.CurrentItems, under.CurrentShown);
}

void TmainForm::ShowMainMenuHighlight(std::uint8_t item) {
    for (std::size_t i = 1; i <= MenuItemSlots; ++i)
        if (TMenuItem* sprite = Menu.MainMenuItems[i]) sprite->Visible = i == item;
}

void TmainForm::SetClosingWindowVisible(bool visible) {
    if (Menu.ClosingWindow) Menu.ClosingWindow->Visible = visible;
}

void TmainForm::UpdateModeOptionSprites() {
    if (Menu.OptionToggles[1]) Menu.OptionToggles[1]->Visible = Settings.Windowed != 0;
    if (Menu.OptionToggles[2]) Menu.OptionToggles[2]->Visible = Settings.Windowed == 0;
}

void TmainForm::ShowSelection() {
    if ((Shell.MenuScreen == msOptions && Shell.MenuSelection != oiCountry) ||
        (Shell.GameState == gsNameEntry && (Shell.MenuSelection == aiYes || Shell.MenuSelection == aiNo)))
        Shell.TextEditing = 0;
    if (Shell.GameState == gsNameEntry && (Shell.MenuSelection == aiName || Shell.MenuSelection == aiCountry))
        Shell.TextEditing = 1;

    if (Shell.MainColumnHover) {
        for (int i = 1; i <= MenuItemSlots; ++i)
            if (TMenuItem* item = Menu.MainMenuItems[index(i)]) item->Visible = false;
        if (Shell.MainSelection >= 1 && Shell.MainSelection <= MenuItemSlots)
            if (TMenuItem* item = Menu.MainMenuItems[Shell.MainSelection]) item->Visible = true;
    } else {
        const int count = Shell.MenuScreen <= MenuScreenCount ? Menu.ItemCount[Shell.MenuScreen] : 0;
        for (int k = 1; k <= count; ++k)
            if (TMenuItem* item = Menu.CurrentItems[index(k)]) item->Visible = false;
        if (Shell.MenuSelection >= 1 && Shell.MenuSelection <= MenuItemSlots)
            if (TMenuItem* item = Menu.CurrentItems[Shell.MenuSelection]) item->Visible = true;
    }

    if (Settings.SoundOn) DXWaveList1->Items().Find("menu").Play(false);
}
