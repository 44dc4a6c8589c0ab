// SPDX-License-Identifier: MIT
// The screen states and the shell's module-level variables: which screen shows, what the menus have
// selected, the dialogs' saved states. Shell, game and online all read them, so they sit below all
// three. One instance; a test starts from a fresh one with `ResetSharedState()`.
#pragma once

#include <cstdint>
#include <string>

// The global screen state. 0 until the main window has been created.
enum TGameState : std::uint8_t {
    gsNone = 0,
    gsMenu = 1,
    gsPlaying = 2,
    gsExitQuery = 3,
    gsHeroDying = 4,
    gsLevelIntro = 5,
    gsGameOver = 6,
    gsPaused = 7,
    gsNameEntry = 8,
    gsSendQuery = 9,
    gsSending = 10,
    gsSendFailed = 11,
    gsNextLevel = 12,
};

// The menu screen or dialog that items, keys and clicks refer to.
enum TMenuScreen : std::uint8_t {
    msNone = 0,
    msMain = 1,
    msOptions = 2,
    msScores = 3,
    msHelp = 4,
    msExitQuery = 5,
    msClearScores = 6,
    msBossKey = 7,
    msNameEntry = 8,
    msSendQuery = 9,
};

// The items of each screen as `MenuSelection` numbers them, from 1 in the screen's order.
enum TMainItem : std::uint8_t { miPlay = 1, miOptions, miScores, miHelp, miPublisher, miExit };
enum TOptionsItem : std::uint8_t { oiWindowed = 1, oiMusic, oiSound, oiCountry, oiBossKey, oiBack };
enum TScoresItem : std::uint8_t { siClear = 1, siWorldScores, siBack };
enum THelpItem : std::uint8_t { hiPrevious = 1, hiNext, hiBack };
// A question's two answers; the name entry has them too, then its two text fields.
enum TAnswerItem : std::uint8_t { aiYes = 1, aiNo, aiName, aiCountry };

// Both frame timers tick every 16 ms; the timed screens and bonus clocks count down by it.
constexpr std::int32_t FrameIntervalMs = 16;

struct ShellState {
    TGameState GameState = gsNone;
    TMenuScreen MenuScreen = msMain;
    std::uint8_t MenuSelection = 0;
    std::uint8_t MainSelection = 0;
    std::uint8_t MainColumnHover = 0;
    std::uint8_t ItemHovered = 0;
    TGameState SavedGameState = gsNone;
    TMenuScreen SavedMenuScreen = msNone;
    TGameState StateBeforePause = gsNone;
    std::uint8_t BlinkCounter = 0;
    std::uint8_t TextEditing = 0;
    std::uint8_t CloseConfirmed = 0;
    std::uint8_t HelpPage = 1;
    std::uint32_t SongHandle = 0;
    std::string BossKeyName;
    std::int32_t StateTimer = 0;
    std::int32_t MousePushLeft = 0;
    std::int32_t MousePushRight = 0;
    std::int32_t MousePushUp = 0;
    std::int32_t MousePushDown = 0;
    std::uint8_t MouseFireHeld = 0;
    std::uint8_t MouseNetHeld = 0;
};

extern ShellState Shell;

// True in the states in which a game is under way and the hero can act or is shown.
constexpr bool IsRunningGameState(TGameState state) {
    return state == gsPlaying || state == gsHeroDying || state == gsLevelIntro;
}

// True while the menu timer runs: the menus and their dialogs.
constexpr bool IsMenuState(TGameState state) { return state == gsMenu; }

// True while a game is being played or is paused: the game keys act, and a close request asks
// whether to end the game.
constexpr bool IsGameInPlay(TGameState state) { return IsRunningGameState(state) || state == gsPaused; }

// True in the states whose screen has items to choose: the menu keys, hover and clicks act.
constexpr bool TakesMenuInput(TGameState state) {
    return state == gsMenu || state == gsExitQuery || state == gsNameEntry || state == gsSendQuery;
}

// Every shared variable back to its start value: the screen state and the settings.
void ResetSharedState();
