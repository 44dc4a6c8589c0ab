// SPDX-License-Identifier: MIT
// Every menu and dialog action (RunMenuCommand), hover and clicks over the items, the mouse buttons
// and mouse steering during play, and the addresses of the two web pages.
#include "shell/MenuCommands.h"

#include "platform/ShellOpen.h"
#include "platform/Window.h"
#include "shell/Config.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "shell/MenuFrame.h"
#include "shell/Music.h"
#include "shell/TableReplays.h"
#include "state/ScreenFlow.h"
#include "state/ShellState.h"
#include "state/Settings.h"
#include "shell/WebConfig.h"

#include <string>
#include <system_error>
#include <vector>
#include <utility>

namespace {

using tw::platform::MouseButton;

void SetSpriteVisible(TSprite* sprite, bool visible) {
    if (sprite) sprite->Visible = visible;
}

void MarkSpriteDead(TSprite* sprite) {
    if (sprite) sprite->MarkDead();
}

// The last steps of every back item: the main menu is the current screen again.
void ReturnToMainMenu() {
    SetMenuScreen(msMain);
    Shell.MenuSelection = Shell.MainSelection;
    Menu.CurrentItems = Menu.MainMenuItems;
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return program.parent_path();
}

} // namespace

std::string PublisherPageAddress(std::string_view configured, const std::filesystem::path& programFolder) {
    if (!configured.empty()) return std::string(configured);
    return (std::filesystem::absolute(programFolder) / AboutPageFile).lexically_normal().string();
}

std::string WorldScoresPageAddress(std::string_view base) {
    if (!base.empty() && base.back() == '/') base.remove_suffix(1);
    return std::string(base) + std::string(WorldScoresPagePath);
}

std::string PublisherPageAddress() { return PublisherPageAddress(ConfiguredPublisherUrl, ProgramFolder()); }
namespace {
std::string RunScoresBase = ConfiguredScoresUrl;
} // namespace

std::string WorldScoresPageAddress() { return WorldScoresPageAddress(RunScoresBase); }
std::string ScoresServiceBase() { return RunScoresBase; }
void SetScoresServiceBase(std::string base) { RunScoresBase = std::move(base); }

void StoreNewResult(TmainForm& form) {
    form.CopyScoreToNewEntry();
    const std::size_t place = InsertResult();
    form.SaveConfig();
    const std::optional<TReplay> replay = form.TakeFinishedReplay();
    std::string encoded;
    if (replay) {
        const std::vector<std::uint8_t> bytes = EncodeReplay(*replay);
        encoded.assign(bytes.begin(), bytes.end());
    }
    form.KeepReplayToSend(std::move(encoded));
    // The table is saved already: a replay that cannot be written loses the replay, not the entry.
    try {
        StoreTableReplay(place, replay ? &*replay : nullptr);
    } catch (const EReplayError&) {
        form.application().HandleException(std::current_exception());
    }
}

void AcceptNewResult(TmainForm& form) {
    StoreNewResult(form);
    SetGameState(gsSendQuery);
    SetMenuScreen(msSendQuery);
    Shell.MenuSelection = aiYes;
    form.ShowSelection();
}

std::uint8_t BackItem(std::uint8_t screen) {
    switch (screen) {
    case msOptions: return oiBack;
    case msScores: return siBack;
    case msHelp: return hiBack;
    case msExitQuery:
    case msClearScores: return aiNo;
    default: return 0;
    }
}

namespace {

// One step per screen: the action of item `item` on that screen. An item not listed does nothing.

void RunMainItem(TmainForm& form, std::uint8_t item) {
    switch (item) {
    case miPlay:
        // The running timer goes first: the two share one idle hook.
        form.DXTimer1->SetEnabled(false);
        form.DXTimer2->SetEnabled(true);
        SetGameState(gsPlaying);
        form.CreateGameField();
        break;
    case miOptions: form.CreateOptions(); break;
    case miScores: form.CreateScores(); break;
    case miHelp: form.CreateHelp(); break;
    case miPublisher: tw::platform::shellOpen(PublisherPageAddress()); break;
    case miExit:
        Shell.MainSelection = miExit;
        form.Close();
        break;
    default: break;
    }
}

void RunOptionsItem(TmainForm& form, std::uint8_t item) {
    switch (item) {
    case oiWindowed:
        Settings.Windowed ^= 1;
        form.ChangeMode();
        form.SaveConfig();
        break;
    case oiMusic:
        Settings.MusicOn ^= 1;
        if (Settings.MusicOn)
            LoadAndPlaySong(std::string(MenuSongFile), Settings.MusicOn, Shell.SongHandle);
        else
            SongStop(Shell.SongHandle);
        SetSpriteVisible(Menu.OptionToggles[3], Settings.MusicOn != 0);
        SetSpriteVisible(Menu.OptionToggles[4], Settings.MusicOn == 0);
        form.SaveConfig();
        break;
    case oiSound:
        Settings.SoundOn ^= 1;
        SetSpriteVisible(Menu.OptionToggles[5], Settings.SoundOn != 0);
        SetSpriteVisible(Menu.OptionToggles[6], Settings.SoundOn == 0);
        form.SaveConfig();
        break;
    case oiCountry: Shell.TextEditing ^= 1; break;
    case oiBossKey:
        Shell.SavedMenuScreen = msOptions;
        SetMenuScreen(msBossKey);
        form.SetClosingWindowVisible(true);
        break;
    case oiBack:
        form.SaveConfig();
        MarkSpriteDead(Menu.SubBackground);
        form.DestroyMenu();
        for (std::size_t i = 1; i <= MenuItemSlots; ++i) MarkSpriteDead(Menu.OptionToggles[i]);
        // Leaving the screen ends typing into its country field, however it is left.
        Shell.TextEditing = 0;
        ReturnToMainMenu();
        break;
    default: break;
    }
}

void RunScoresItem(TmainForm& form, std::uint8_t item) {
    switch (item) {
    case siClear:
        Shell.SavedMenuScreen = msScores;
        SetMenuScreen(msClearScores);
        // The question opens on "NO": the screen opens on CLEAR, so Enter, Enter, Enter from the main
        // menu must not wipe the table.
        Shell.MenuSelection = aiNo;
        form.SetClosingWindowVisible(true);
        Menu.SavedItems = Menu.CurrentItems;
        form.CreateExit();
        break;
    case siWorldScores: tw::platform::shellOpen(WorldScoresPageAddress()); break;
    case siBack:
        MarkSpriteDead(Menu.SubBackground);
        form.DestroyMenu();
        ReturnToMainMenu();
        break;
    default: break;
    }
}

void RunHelpItem(TmainForm& form, std::uint8_t item) {
    switch (item) {
    case hiPrevious:
    case hiNext:
        if (item == hiPrevious && Shell.HelpPage > 1) --Shell.HelpPage;
        if (item == hiNext && Shell.HelpPage < THelpImageSprite::PageCount) ++Shell.HelpPage;
        if (Menu.HelpImage) Menu.HelpImage->ShowPage(form.DXImageList1->Items(), Shell.HelpPage);
        break;
    case hiBack:
        Shell.HelpPage = 1;
        MarkSpriteDead(Menu.HelpImage);
        MarkSpriteDead(Menu.SubBackground);
        form.DestroyMenu();
        ReturnToMainMenu();
        break;
    default: break;
    }
}

void RunExitQueryItem(TmainForm& form, std::uint8_t item) {
    if (item == aiYes) {
        // Leaving from the name entry is no "NO" to it: the result the game earned is kept, with
        // the name as far as it was typed.
        if (Shell.GameState == gsExitQuery && Shell.SavedGameState == gsNameEntry) StoreNewResult(form);
        Shell.CloseConfirmed = 1;
        SetMenuScreen(Shell.SavedMenuScreen);
        form.Close();
    } else if (item == aiNo) {
        // Whatever the question covered comes back as it was: a dialog with its frame, its own
        // way back and its selection, a text field still being typed into.
        form.DestroyMenu();
        form.RestoreScreenUnderExitQuery();
        if (Shell.GameState == gsPlaying) SetCursorVisible(false);
    }
}

void RunClearScoresItem(TmainForm& form, std::uint8_t item) {
    if (item != aiYes && item != aiNo) return;
    form.DestroyMenu();
    Menu.CurrentItems = Menu.SavedItems;
    if (item == aiYes) {
        ResetHighScores();
        form.SaveConfig();
        DropTableReplays();
    }
    SetMenuScreen(Shell.SavedMenuScreen);
    form.SetClosingWindowVisible(false);
    // Back on CLEAR, which asked the question: the highlight and the item Enter acts on agree.
    Shell.MenuSelection = siClear;
    form.ShowSelection();
}

void RunNameEntryItem(TmainForm& form, std::uint8_t item) {
    if (item == 1) {
        AcceptNewResult(form);
    } else if (item == 2) {
        // The result is not stored.
        SetGameState(gsMenu);
        form.DXSpriteEngine1->Engine().FreeChildren();
        form.DXTimer2->SetEnabled(false);
        form.CreateMenuField();
        form.DXTimer1->SetEnabled(true);
    }
}

void RunSendQueryItem(TmainForm& form, std::uint8_t item) {
    if (item == aiYes) {
        form.SendResult();
    } else if (item == aiNo) {
        // Back to the menu, with the high-score screen open.
        SetGameState(gsMenu);
        form.DXTimer2->SetEnabled(false);
        form.DestroyMenu();
        form.DXSpriteEngine1->Engine().FreeChildren();
        form.CreateMenuField();
        Shell.MenuSelection = miScores;
        form.ShowSelection();
        form.RunMenuCommand();
        form.DXTimer1->SetEnabled(true);
    }
}

// A main-menu item was chosen while another screen lies over the main menu: leave that screen (its
// back item, or "NO" of a dialog) until the main menu is open, so the item runs there. A dialog over
// a sub-screen leaves both, and "CLEAR SCORES" is answered "NO", never "YES".
void LeaveForMainColumn(TmainForm& form) {
    Shell.MainColumnHover = 0;
    const std::uint8_t chosen = Shell.MainSelection;
    while (const std::uint8_t item = BackItem(Shell.MenuScreen)) {
        const std::uint8_t screen = Shell.MenuScreen;
        Shell.MenuSelection = item;
        form.RunMenuCommand();
        // A screen that does not give way would make this loop forever: give up instead.
        if (Shell.MenuScreen == screen) return;
    }
    // "NO" to the exit question brought back the selections beneath it: the chosen item wins.
    if (Shell.MenuScreen == msMain) {
        Shell.MainSelection = chosen;
        Shell.MenuSelection = chosen;
        form.ShowMainMenuHighlight(chosen);
    }
}

} // namespace

void TmainForm::RunMenuCommand() {
    if (Shell.MainColumnHover == 1) LeaveForMainColumn(*this);
    if (Settings.SoundOn) DXWaveList1->Items().Find("menu").Play(false);

    const std::uint8_t item = Shell.MenuSelection;
    switch (Shell.MenuScreen) {
    case msMain: RunMainItem(*this, item); break;
    case msOptions: RunOptionsItem(*this, item); break;
    case msScores: RunScoresItem(*this, item); break;
    case msHelp: RunHelpItem(*this, item); break;
    case msExitQuery: RunExitQueryItem(*this, item); break;
    case msClearScores: RunClearScoresItem(*this, item); break;
    case msBossKey: break; // the key capture acts on key-down
    case msNameEntry: RunNameEntryItem(*this, item); break;
    case msSendQuery: RunSendQueryItem(*this, item); break;
    case msNone: break;
    }
}

void TmainForm::DXDrawClick() {
    if (!TakesMenuInput(Shell.GameState) || Shell.ItemHovered != 1) return;
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

void TmainForm::DXDrawMouseDown(MouseButton Button, std::uint8_t, int X, int Y) {
    if (Shell.GameState == gsMenu && Shell.MenuScreen == msScores && Button == MouseButton::Left &&
        Shell.ItemHovered == 0) {
        // A click on a row of the table watches that entry's game.
        if (const std::size_t place = HighScoreRowAt(X, Y)) WatchTableReplay(place);
        return;
    }
    if (Shell.GameState != gsPlaying) return;
    if (Button == MouseButton::Left) Shell.MouseFireHeld = 1;
    if (Button == MouseButton::Right) Shell.MouseNetHeld = 1;
}

void TmainForm::DXDrawMouseUp(MouseButton Button, std::uint8_t, int, int) {
    if (Button == MouseButton::Left) Shell.MouseFireHeld = 0;
    if (Button == MouseButton::Right) Shell.MouseNetHeld = 0;
}

void TmainForm::DXDrawMouseMove(std::uint8_t, int X, int Y) {
    if (Shell.GameState == gsPlaying) {
        // Steering by relative motion: the pointer is hidden and put back at the centre after each
        // reading, so its offset from the centre is the distance moved since the last one.
        const TDXInputStates held = DXInput1->InputStates;
        bool taken = false;
        auto half = [](int distance) { return static_cast<std::uint8_t>(distance / 2); };
        if (X > MouseCentreX && !held.Has(InputRight)) {
            Shell.MousePushLeft = 0;
            Shell.MousePushRight = half(X - MouseCentreX);
            taken = true;
        }
        if (X < MouseCentreX && !held.Has(InputLeft)) {
            Shell.MousePushLeft = half(MouseCentreX - X);
            Shell.MousePushRight = 0;
            taken = true;
        }
        if (Y > MouseCentreY && !held.Has(InputDown)) {
            Shell.MousePushUp = 0;
            Shell.MousePushDown = half(Y - MouseCentreY);
            taken = true;
        }
        if (Y < MouseCentreY && !held.Has(InputUp)) {
            Shell.MousePushUp = half(MouseCentreY - Y);
            Shell.MousePushDown = 0;
            taken = true;
        }
        if (taken && Window()) Window()->warpCursor(MouseCentreX, MouseCentreY);
        return;
    }
    if (!TakesMenuInput(Shell.GameState)) return;

    Shell.MainColumnHover = 0;
    Shell.ItemHovered = 0;
    const std::uint8_t screen = Shell.MenuScreen;
    for (std::uint8_t i = 1; i <= Menu.ItemCount[screen] && i <= MenuItemSlots; ++i) {
        if (!Menu.MenuItemRect[screen][i].Contains(X, Y)) continue;
        if (Shell.MenuSelection != i) {
            if (Shell.GameState == gsNameEntry && (Shell.MenuSelection == aiName || Shell.MenuSelection == aiCountry))
                Shell.TextEditing = 0;
            Shell.MenuSelection = i;
            ShowSelection();
        }
        Shell.ItemHovered = 1;
        return;
    }
    // The main menu's column stays live beside a sub-screen or dialog of the menu.
    if (!IsMenuState(Shell.GameState) || screen == msMain) return;
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
