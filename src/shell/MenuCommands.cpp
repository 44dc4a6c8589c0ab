// Every menu and dialog action (RunMenuCommand), hover and clicks over the items, the mouse buttons
// and mouse steering during play, and the addresses of the two web pages.
#include "shell/MenuCommands.h"

#include "platform/ShellOpen.h"
#include "platform/Window.h"
#include "shell/Config.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "shell/Music.h"
#include "state/ShellState.h"
#include "state/Settings.h"
#include "shell/WebConfig.h"

#include <system_error>

namespace {

using tw::platform::MouseButton;

constexpr int CentreX = 400;
constexpr int CentreY = 300;

void SetSpriteVisible(TSprite* sprite, bool visible)
{
    if (sprite) sprite->Visible = visible;
}

void MarkSpriteDead(TSprite* sprite)
{
    if (sprite) sprite->MarkDead();
}

// The last steps of every back item: the main menu is the current screen again.
void ReturnToMainMenu()
{
    Shell.MenuScreen = msMain;
    Shell.MenuSelection = Shell.MainSelection;
    Menu.CurrentItems = Menu.MainMenuItems;
}

// The item that leaves a screen lying over the main menu: its back item, or "NO" of a dialog.
// 0 for the main menu itself and for screens that cannot be left that way.
std::uint8_t LeavingItem(std::uint8_t screen)
{
    switch (screen) {
    case msOptions: return 6;
    case msScores:
    case msHelp: return 3;
    case msExitQuery:
    case msClearScores: return 2;
    default: return 0;
    }
}

std::filesystem::path ProgramFolder()
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return program.parent_path();
}

} // namespace

std::string PublisherPageAddress(std::string_view configured, const std::filesystem::path& programFolder)
{
    if (!configured.empty()) return std::string(configured);
    return (std::filesystem::absolute(programFolder) / AboutPageFile).lexically_normal().string();
}

std::string WorldScoresPageAddress(std::string_view base)
{
    if (!base.empty() && base.back() == '/') base.remove_suffix(1);
    return std::string(base) + std::string(WorldScoresPagePath);
}

std::string PublisherPageAddress() { return PublisherPageAddress(ConfiguredPublisherUrl, ProgramFolder()); }
std::string WorldScoresPageAddress() { return WorldScoresPageAddress(ConfiguredScoresUrl); }
std::string ScoresServiceBase() { return ConfiguredScoresUrl; }

void AcceptNewResult(TmainForm& form)
{
    form.CopyScoreToNewEntry();
    InsertResult();
    form.SaveConfig();
    Shell.GameState = gsSendQuery;
    Shell.MenuScreen = msSendQuery;
    Shell.MenuSelection = 1;
    form.ShowSelection();
}

void TmainForm::RunMenuCommand()
{
    if (Shell.MainColumnHover == 1) {
        // A main-menu item was chosen while another screen lies over the main menu: leave that
        // screen (its back item, or "NO" of a dialog) until the main menu is open, then run the item.
        // A dialog over a sub-screen leaves both, and "CLEAR SCORES" is answered "NO", never "YES".
        // Each of those commands selects MainSelection on the screen it returns to.
        Shell.MainColumnHover = 0;
        while (const std::uint8_t item = LeavingItem(Shell.MenuScreen)) {
            const std::uint8_t screen = Shell.MenuScreen;
            Shell.MenuSelection = item;
            RunMenuCommand();
            // A screen that does not give way would make this loop forever: give up instead.
            if (Shell.MenuScreen == screen) return;
        }
    }

    if (Settings.SoundOn) DXWaveList1->Items().Find("menu").Play(false);

    switch (Shell.MenuScreen) {
    case msMain:
        switch (Shell.MenuSelection) {
        case 1:
            // The running timer goes first: the two share one idle hook.
            DXTimer1->SetEnabled(false);
            DXTimer2->SetEnabled(true);
            Shell.GameState = gsPlaying;
            CreateGameField();
            break;
        case 2: CreateOptions(); break;
        case 3: CreateScores(); break;
        case 4: CreateHelp(); break;
        case 5: tw::platform::shellOpen(PublisherPageAddress()); break;
        case 6:
            Shell.MainSelection = 6;
            Close();
            break;
        default: break;
        }
        break;

    case msOptions:
        switch (Shell.MenuSelection) {
        case 1:
            Settings.Windowed ^= 1;
            ChangeMode();
            SaveConfig();
            break;
        case 2:
            Settings.MusicOn ^= 1;
            if (Settings.MusicOn)
                LoadAndPlaySong("Sound\\1.xm", Settings.MusicOn, Shell.SongHandle);
            else
                SongStop(Shell.SongHandle);
            SetSpriteVisible(Menu.OptionToggles[3], Settings.MusicOn != 0);
            SetSpriteVisible(Menu.OptionToggles[4], Settings.MusicOn == 0);
            SaveConfig();
            break;
        case 3:
            Settings.SoundOn ^= 1;
            SetSpriteVisible(Menu.OptionToggles[5], Settings.SoundOn != 0);
            SetSpriteVisible(Menu.OptionToggles[6], Settings.SoundOn == 0);
            SaveConfig();
            break;
        case 4: Shell.TextEditing ^= 1; break;
        case 5:
            Shell.SavedMenuScreen = msOptions;
            Shell.MenuScreen = msBossKey;
            SetClosingWindowVisible(true);
            break;
        case 6:
            SaveConfig();
            MarkSpriteDead(Menu.SubBackground);
            DestroyMenu();
            for (std::size_t i = 1; i <= 6; ++i) MarkSpriteDead(Menu.OptionToggles[i]);
            // Leaving the screen ends typing into its country field, however it is left.
            Shell.TextEditing = 0;
            ReturnToMainMenu();
            break;
        default: break;
        }
        break;

    case msScores:
        switch (Shell.MenuSelection) {
        case 1:
            Shell.SavedMenuScreen = msScores;
            Shell.MenuScreen = msClearScores;
            Shell.MenuSelection = 1;
            SetClosingWindowVisible(true);
            Menu.SavedItems = Menu.CurrentItems;
            CreateExit();
            break;
        case 2: tw::platform::shellOpen(WorldScoresPageAddress()); break;
        case 3:
            MarkSpriteDead(Menu.SubBackground);
            DestroyMenu();
            ReturnToMainMenu();
            break;
        default: break;
        }
        break;

    case msHelp:
        switch (Shell.MenuSelection) {
        case 1:
        case 2:
            if (Shell.MenuSelection == 1 && Shell.HelpPage > 1) --Shell.HelpPage;
            if (Shell.MenuSelection == 2 && Shell.HelpPage < THelpImageSprite::PageCount) ++Shell.HelpPage;
            if (Menu.HelpImage) Menu.HelpImage->ShowPage(DXImageList1->Items(), Shell.HelpPage);
            break;
        case 3:
            Shell.HelpPage = 1;
            MarkSpriteDead(Menu.HelpImage);
            MarkSpriteDead(Menu.SubBackground);
            DestroyMenu();
            ReturnToMainMenu();
            break;
        default: break;
        }
        break;

    case msExitQuery:
        if (Shell.MenuSelection == 1) {
            Shell.CloseConfirmed = 1;
            Shell.MenuScreen = Shell.SavedMenuScreen;
            Close();
        } else if (Shell.MenuSelection == 2) {
            DestroyMenu();
            if (Shell.GameState == gsMenu)
                Menu.CurrentItems = Menu.SavedItems;
            else
                Shell.GameState = Shell.SavedGameState;
            Shell.MenuScreen = Shell.SavedMenuScreen;
            Shell.MenuSelection = Shell.MainSelection;
            SetClosingWindowVisible(false);
            if (Shell.GameState == gsPlaying) SetCursorVisible(false);
        }
        break;

    case msClearScores:
        if (Shell.MenuSelection == 1 || Shell.MenuSelection == 2) {
            DestroyMenu();
            Menu.CurrentItems = Menu.SavedItems;
            if (Shell.MenuSelection == 1) {
                ResetHighScores();
                SaveConfig();
            }
            Shell.MenuScreen = Shell.SavedMenuScreen;
            SetClosingWindowVisible(false);
        }
        break;

    case msNameEntry:
        if (Shell.MenuSelection == 1) {
            AcceptNewResult(*this);
        } else if (Shell.MenuSelection == 2) {
            // The result is not stored.
            Shell.GameState = gsMenu;
            DXSpriteEngine1->Engine().FreeChildren();
            DXTimer2->SetEnabled(false);
            CreateMenuField();
            DXTimer1->SetEnabled(true);
        }
        break;

    case msSendQuery:
        if (Shell.MenuSelection == 1) {
            SendResult();
        } else if (Shell.MenuSelection == 2) {
            // Back to the menu, with the high-score screen open.
            Shell.GameState = gsMenu;
            DXTimer2->SetEnabled(false);
            DestroyMenu();
            DXSpriteEngine1->Engine().FreeChildren();
            CreateMenuField();
            Shell.MenuSelection = 3;
            ShowSelection();
            RunMenuCommand();
            DXTimer1->SetEnabled(true);
        }
        break;

    default: break;
    }
}

void TmainForm::DXDrawClick()
{
    if (!IsMenuState(Shell.GameState) || Shell.ItemHovered != 1) return;
    const TGameState state = Shell.GameState;
    const std::uint8_t screen = Shell.MenuScreen;
    RunMenuCommand();
    // The items under the mouse belonged to the screen just left: only a move finds the new ones,
    // so a second click in place does not choose whatever the new screen put there.
    if (Shell.GameState != state || Shell.MenuScreen != screen) {
        Shell.ItemHovered = 0;
        Shell.MainColumnHover = 0;
    }
}

void TmainForm::DXDrawMouseDown(MouseButton Button, std::uint8_t, int, int)
{
    if (Shell.GameState != gsPlaying) return;
    if (Button == MouseButton::Left) Shell.MouseFireHeld = 1;
    if (Button == MouseButton::Right) Shell.MouseNetHeld = 1;
}

void TmainForm::DXDrawMouseUp(MouseButton Button, std::uint8_t, int, int)
{
    if (Button == MouseButton::Left) Shell.MouseFireHeld = 0;
    if (Button == MouseButton::Right) Shell.MouseNetHeld = 0;
}

void TmainForm::DXDrawMouseMove(std::uint8_t, int X, int Y)
{
    if (Shell.GameState == gsPlaying) {
        // Steering by relative motion: the pointer is hidden and put back at the centre after each
        // reading, so its offset from the centre is the distance moved since the last one.
        const TDXInputStates held = DXInput1->InputStates;
        bool taken = false;
        auto half = [](int distance) { return static_cast<std::uint8_t>(distance / 2); };
        if (X > CentreX && !held.Has(InputRight)) {
            Shell.MousePushLeft = 0;
            Shell.MousePushRight = half(X - CentreX);
            taken = true;
        }
        if (X < CentreX && !held.Has(InputLeft)) {
            Shell.MousePushLeft = half(CentreX - X);
            Shell.MousePushRight = 0;
            taken = true;
        }
        if (Y > CentreY && !held.Has(InputDown)) {
            Shell.MousePushUp = 0;
            Shell.MousePushDown = half(Y - CentreY);
            taken = true;
        }
        if (Y < CentreY && !held.Has(InputUp)) {
            Shell.MousePushUp = half(CentreY - Y);
            Shell.MousePushDown = 0;
            taken = true;
        }
        if (taken && Window()) Window()->warpCursor(CentreX, CentreY);
        return;
    }
    if (!IsMenuState(Shell.GameState)) return;

    Shell.MainColumnHover = 0;
    Shell.ItemHovered = 0;
    const std::uint8_t screen = Shell.MenuScreen;
    for (std::uint8_t i = 1; i <= Menu.ItemCount[screen] && i <= MenuItemSlots; ++i) {
        if (!Menu.MenuItemRect[screen][i].Contains(X, Y)) continue;
        if (Shell.MenuSelection != i) {
            if (Shell.GameState == gsNameEntry && (Shell.MenuSelection == 3 || Shell.MenuSelection == 4))
                Shell.TextEditing = 0;
            Shell.MenuSelection = i;
            ShowSelection();
        }
        Shell.ItemHovered = 1;
        return;
    }
    // The main menu's column stays live beside a sub-screen or dialog of the menu.
    if (Shell.GameState != gsMenu || screen == msMain) return;
    for (std::uint8_t i = 1; i <= MenuItemSlots; ++i) {
        if (!Menu.MenuItemRect[msMain][i].Contains(X, Y)) continue;
        Shell.MainColumnHover = 1;
        if (Shell.MainSelection != i) {
            Shell.MainSelection = i;
            ShowSelection();
        }
        Shell.ItemHovered = 1;
        return;
    }
}
