// The main window's keys: menu navigation, the dialogs, pause, Alt+Enter, the two text fields
// (country and name) and the boss key with its capture and its shown name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "state/ShellState.h"
#include "state/Settings.h"

// Virtual-key codes the handlers test.
enum TVirtualKey : std::uint8_t {
    vkBack = 0x08,
    vkTab = 0x09,
    vkReturn = 0x0D,
    vkShift = 0x10,
    vkControl = 0x11,
    vkMenu = 0x12, // Alt
    vkEscape = 0x1B,
    vkLeft = 0x25,
    vkUp = 0x26,
    vkRight = 0x27,
    vkDown = 0x28,
    vkP = 0x50,
};

// The name shown for a boss key, or nothing for a key without one (the old name then stays).
std::optional<std::string> BossKeyNameFor(std::uint16_t key);

// The text field that typed characters and Backspace change now, or nullptr.
TShortText* EditedTextField();

// Characters a text field takes: a blank, digits and the letters A to Z in either case.
constexpr bool IsTextFieldCharacter(char c)
{
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
