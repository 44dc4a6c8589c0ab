// SPDX-License-Identifier: MIT
// Every change of the screen state goes through here: the game states and the menu screens, each
// checked against the table of changes the game makes. A debug build refuses any other change, so
// a new path through the screens is written down before it is taken.
#pragma once

#include "state/ShellState.h"

#include <stdexcept>
#include <string>

// A change of screen state the table does not list (thrown only by debug builds).
class EScreenFlowError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Whether the table lists the change (a state changed to itself always is).
bool IsListedGameStateChange(TGameState from, TGameState to);
bool IsListedMenuScreenChange(TMenuScreen from, TMenuScreen to);

// Sets Shell.GameState / Shell.MenuScreen; in a debug build an unlisted change throws
// EScreenFlowError and leaves the state as it was.
void SetGameState(TGameState to);
void SetMenuScreen(TMenuScreen to);

std::string GameStateName(TGameState state);
std::string MenuScreenName(TMenuScreen screen);
