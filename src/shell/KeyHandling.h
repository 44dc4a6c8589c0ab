// SPDX-License-Identifier: MIT
// The main window's keys: menu navigation, the dialogs, pause, Alt+Enter, the two text fields
// (country and name) and the boss key with its capture and its shown name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/EventLoop.h"
#include "state/ShellState.h"
#include "state/Settings.h"

// The name shown for a boss key, or nothing for a key without one (the old name then stays).
std::optional<std::string> BossKeyNameFor(std::uint16_t key);

// The text field that typed characters and Backspace change now, or nullptr.
TShortText* EditedTextField();

// Characters a text field takes: a blank, digits and the letters A to Z in either case.
constexpr bool IsTextFieldCharacter(char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The key a pad's button stands for in this state, or 0 for none. On the screens with items the
// d-pad and stick are the arrow keys, A is Enter and B is Esc; in a game Start is P and the rest are
// the diver's (they reach it through the input states, never as keys).
std::uint8_t PadMenuKey(tw::platform::PadButton button, TGameState state);
