// SPDX-License-Identifier: MIT
// Key-down, key-up and typed characters of the main window: the menu keys, the game keys, the text
// fields, the boss key and Alt+Enter.
#include "shell/KeyHandling.h"

#include "platform/EventLoop.h"
#include "platform/VirtualKeys.h"
#include "shell/Config.h"
#include "shell/MainForm.h"
#include "shell/MenuCommands.h"
#include "shell/MenuField.h"
#include "shell/Music.h"
#include "state/ScreenFlow.h"

#include <cstdint>

namespace vk = tw::platform::vk;

static_assert(DefaultBossKey == vk::F12, "a new settings file hides the game with F12");

namespace {

bool AltHeld(std::uint8_t shift) { return (shift & tw::platform::ssAlt) != 0; }

// The dialogs and sub-screens on which Left and Right move like Up and Down.
bool ArrowsMoveSideways(std::uint8_t screen) {
    return screen == msScores || screen == msHelp || screen == msExitQuery || screen == msClearScores ||
           screen == msNameEntry || screen == msSendQuery;
}

void SelectPrevious(TmainForm& form) {
    Shell.MainColumnHover = 0;
    const std::uint8_t count = Menu.ItemCount[Shell.MenuScreen];
    Shell.MenuSelection = Shell.MenuSelection <= 1 ? count : static_cast<std::uint8_t>(Shell.MenuSelection - 1);
    form.ShowSelection();
}

void SelectNext(TmainForm& form) {
    Shell.MainColumnHover = 0;
    const std::uint8_t count = Menu.ItemCount[Shell.MenuScreen];
    Shell.MenuSelection = Shell.MenuSelection < count ? static_cast<std::uint8_t>(Shell.MenuSelection + 1) : 1;
    form.ShowSelection();
}

void MinimizeWindow(TmainForm& form) { form.SetWindowState(wsMinimized); }

void MenuKeyDown(TmainForm& form, std::uint8_t key, std::uint8_t shift) {
    const std::uint8_t screen = Shell.MenuScreen;
    const bool optionToggle =
        screen == msOptions && Shell.MenuSelection >= oiWindowed && Shell.MenuSelection <= oiSound;
    switch (key) {
    case vk::Return:
        if (AltHeld(shift)) return; // the display toggle acts on the key-up
        if (Shell.GameState == gsNameEntry && Shell.MenuSelection == aiName && Shell.TextEditing == 1) {
            Shell.TextEditing = 0;
            AcceptNewResult(form);
        } else {
            form.RunMenuCommand();
        }
        return;
    case vk::Escape:
        Shell.MainColumnHover = 0;
        if (screen == msMain) {
            form.Close();
        } else if (const std::uint8_t back = BackItem(screen)) {
            Shell.MenuSelection = back;
            form.RunMenuCommand();
        }
        return;
    case vk::Up: SelectPrevious(form); return;
    case vk::Down: SelectNext(form); return;
    case vk::Left:
        if (optionToggle)
            form.RunMenuCommand();
        else if (ArrowsMoveSideways(screen))
            SelectPrevious(form);
        return;
    case vk::Right:
        if (optionToggle)
            form.RunMenuCommand();
        else if (ArrowsMoveSideways(screen))
            SelectNext(form);
        return;
    default: break;
    }

    if (screen == msBossKey) {
        // Modifiers are held with other keys all the time, and P would pause a game, not hide it.
        if (!CanBeBossKey(key)) return;
        Settings.BossKey = key;
        form.SetClosingWindowVisible(false);
        SetMenuScreen(Shell.SavedMenuScreen);
        form.BossKeyNameOf();
        return;
    }
    if (key == Settings.BossKey) {
        MinimizeWindow(form);
        return;
    }
    // On the high scores a place's number (0 for the tenth) watches its game.
    if (screen == msScores && Shell.GameState == gsMenu && key >= '0' && key <= '9')
        form.WatchTableReplay(key == '0' ? 10 : static_cast<std::size_t>(key - '0'));
}

void GameKeyDown(TmainForm& form, std::uint8_t key) {
    if (key == vk::Escape) {
        form.Close();
        return;
    }
    if (key == vk::letter('P')) {
        if (IsRunningGameState(Shell.GameState)) {
            SetCursorVisible(true);
            Shell.StateBeforePause = Shell.GameState;
            SetGameState(gsPaused);
        } else if (Shell.GameState == gsPaused) {
            SetGameState(Shell.StateBeforePause);
            if (Shell.GameState == gsPlaying) SetCursorVisible(false);
            form.CentreCursor();
        }
        return;
    }
    if (key == Settings.BossKey) {
        if (Settings.MusicOn) SongStop(Shell.SongHandle);
        SetCursorVisible(true);
        if (Shell.GameState != gsPaused) {
            Shell.StateBeforePause = Shell.GameState;
            SetGameState(gsPaused);
        }
        MinimizeWindow(form);
    }
}

} // namespace

std::optional<std::string> BossKeyNameFor(std::uint16_t key) {
    if (key == vk::Space) return "Space";
    if ((key >= vk::digit(0) && key <= vk::digit(9)) || (key >= vk::letter('A') && key <= vk::letter('Z')))
        return std::string(1, static_cast<char>(key));
    if (key == vk::LWin) return "Window Key";
    if (key >= vk::function(1) && key <= vk::function(12)) {
        // Built by appending: GCC 12 at -O2 warns falsely (-Wrestrict) about "F" + std::to_string.
        std::string name = "F";
        name += std::to_string(key - vk::function(1) + 1);
        return name;
    }
    return std::nullopt;
}

std::uint8_t PadMenuKey(tw::platform::PadButton button, TGameState state) {
    using tw::platform::PadButton;
    if (TakesMenuInput(state)) {
        switch (button) {
        case PadButton::Up: return vk::Up;
        case PadButton::Down: return vk::Down;
        case PadButton::Left: return vk::Left;
        case PadButton::Right: return vk::Right;
        case PadButton::A: return vk::Return;
        case PadButton::B: return vk::Escape;
        case PadButton::Start: return 0;
        }
    }
    if (IsGameInPlay(state) && button == PadButton::Start) return vk::letter('P');
    return 0;
}

void TmainForm::FormPadButton(tw::platform::PadButton button, bool down) {
    // Straight to the key handlers, never into the held-key table: a pad's A must not become the
    // keyboard's Enter, which casts the net once a game has begun.
    std::uint8_t key = PadMenuKey(button, Shell.GameState);
    if (key == 0) return;
    if (down)
        FormKeyDown(key, 0, false);
    else
        FormKeyUp(key, 0);
}

TShortText* EditedTextField() {
    if (Shell.MenuScreen == msOptions) return &Settings.Country;
    if (Shell.MenuScreen == msNameEntry) {
        if (Shell.MenuSelection == aiName) return &Settings.NewEntry.Name;
        if (Shell.MenuSelection == aiCountry) return &Settings.Country;
    }
    return nullptr;
}

void TmainForm::BossKeyNameOf() {
    if (std::optional<std::string> name = BossKeyNameFor(Settings.BossKey)) Shell.BossKeyName = *name;
}

void TmainForm::FormKeyDown(std::uint8_t& Key, std::uint8_t Shift, bool Repeat) {
    // Backspace keeps deleting while held, so it comes before the latch.
    if (Key == vk::Back && Shell.TextEditing == 1) {
        if (TShortText* field = EditedTextField()) field->DeleteLast();
    }
    // Each key is latched by itself: a held key acts once, and a key pressed while others are held
    // (fire, a steering key) acts at once, so pause, Esc and the boss key work in the thick of play.
    if (Repeat) return;
    // A replay in the window: F changes its speed and Esc goes back; the game's own keys have
    // nothing to steer.
    if (Watching()) {
        if (Key == vk::Escape) {
            StopWatching();
            return;
        }
        if (Key == vk::letter('F')) {
            SetWatchingFast(!WatchingFast());
            return;
        }
    }
    const TGameState state = Shell.GameState;
    if (TakesMenuInput(state))
        MenuKeyDown(*this, Key, Shift);
    else if (IsGameInPlay(state))
        GameKeyDown(*this, Key);
}

void TmainForm::FormKeyUp(std::uint8_t& Key, std::uint8_t Shift) {
    if (AltHeld(Shift) && Key == vk::Return) {
        Settings.Windowed ^= 1;
        ChangeMode();
        SaveConfig();
    }
}

void TmainForm::FormKeyPress(char& Key) {
    if (Shell.TextEditing != 1 || !IsTextFieldCharacter(Key)) return;
    // A full field drops the character.
    if (TShortText* field = EditedTextField()) field->Append(Key);
}
