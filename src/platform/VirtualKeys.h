// SPDX-License-Identifier: MIT
// The platform's virtual-key codes, the numbers the game's key tables and "config.dat" store, and the
// translation of SDL key events into them. Every key has its own code: no punctuation key shares one
// with an arrow or an editing key.
#pragma once

#include <cstdint>

namespace tw::platform {

namespace vk {
inline constexpr std::uint8_t Back = 0x08;
inline constexpr std::uint8_t Tab = 0x09;
inline constexpr std::uint8_t Return = 0x0D;
inline constexpr std::uint8_t Shift = 0x10;
inline constexpr std::uint8_t Control = 0x11;
inline constexpr std::uint8_t Menu = 0x12; // Alt
inline constexpr std::uint8_t Pause = 0x13;
inline constexpr std::uint8_t Capital = 0x14; // Caps Lock
inline constexpr std::uint8_t Escape = 0x1B;
inline constexpr std::uint8_t Space = 0x20;
inline constexpr std::uint8_t PageUp = 0x21;
inline constexpr std::uint8_t PageDown = 0x22;
inline constexpr std::uint8_t End = 0x23;
inline constexpr std::uint8_t Home = 0x24;
inline constexpr std::uint8_t Left = 0x25;
inline constexpr std::uint8_t Up = 0x26;
inline constexpr std::uint8_t Right = 0x27;
inline constexpr std::uint8_t Down = 0x28;
inline constexpr std::uint8_t PrintScreen = 0x2C;
inline constexpr std::uint8_t Insert = 0x2D;
inline constexpr std::uint8_t Delete = 0x2E;
inline constexpr std::uint8_t Key0 = 0x30; // '0' to '9' are 0x30 to 0x39
inline constexpr std::uint8_t KeyA = 0x41; // 'A' to 'Z' are 0x41 to 0x5A
inline constexpr std::uint8_t LWin = 0x5B;
inline constexpr std::uint8_t RWin = 0x5C;
inline constexpr std::uint8_t Apps = 0x5D;
inline constexpr std::uint8_t Numpad0 = 0x60; // Numpad0 to Numpad9 are 0x60 to 0x69
inline constexpr std::uint8_t Multiply = 0x6A;
inline constexpr std::uint8_t Add = 0x6B;
inline constexpr std::uint8_t Subtract = 0x6D;
inline constexpr std::uint8_t Decimal = 0x6E;
inline constexpr std::uint8_t Divide = 0x6F;
inline constexpr std::uint8_t F1 = 0x70; // F1 to F12 are 0x70 to 0x7B
inline constexpr std::uint8_t F12 = 0x7B;
inline constexpr std::uint8_t NumLock = 0x90;
inline constexpr std::uint8_t Scroll = 0x91;
inline constexpr std::uint8_t LShift = 0xA0;
inline constexpr std::uint8_t RShift = 0xA1;
inline constexpr std::uint8_t LControl = 0xA2;
inline constexpr std::uint8_t RControl = 0xA3;
inline constexpr std::uint8_t LMenu = 0xA4;
inline constexpr std::uint8_t RMenu = 0xA5;
inline constexpr std::uint8_t Semicolon = 0xBA; // ;
inline constexpr std::uint8_t Plus = 0xBB;      // =
inline constexpr std::uint8_t Comma = 0xBC;     // ,
inline constexpr std::uint8_t Minus = 0xBD;     // -
inline constexpr std::uint8_t Period = 0xBE;    // .
inline constexpr std::uint8_t Slash = 0xBF;     // /
inline constexpr std::uint8_t Grave = 0xC0;     // `
inline constexpr std::uint8_t LBracket = 0xDB;  // [
inline constexpr std::uint8_t Backslash = 0xDC; // backslash
inline constexpr std::uint8_t RBracket = 0xDD;  // ]
inline constexpr std::uint8_t Quote = 0xDE;     // '

constexpr std::uint8_t digit(int d) { return static_cast<std::uint8_t>(Key0 + d); }
constexpr std::uint8_t letter(char upper) { return static_cast<std::uint8_t>(upper); }
constexpr std::uint8_t numpad(int d) { return static_cast<std::uint8_t>(Numpad0 + d); }
constexpr std::uint8_t function(int n) { return static_cast<std::uint8_t>(F1 + n - 1); } // n = 1..12
} // namespace vk

// The virtual-key code of an SDL key (its SDL_Keycode and SDL_Scancode as plain integers, so that
// callers need no SDL header); 0 for a key the game has no code for. Left and right Shift, Ctrl and
// Alt give their sided codes; the generic 0x10, 0x11, 0x12 are kept by KeyboardState.
std::uint8_t virtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode);

// The code the held-key table records for an SDL key, which the input component steers by: as
// virtualKeyFromSdl, except that the letter keys count by their place on the board (the key where
// a US board has W is 'W' on any layout), so W, A, S and D steer with the same fingers on a French
// or German keyboard. Key events keep the layout's letter: typing and the boss key follow the label.
std::uint8_t heldKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode);

// The generic code of a sided modifier (LShift/RShift give Shift, ...), or the code itself.
std::uint8_t genericVirtualKey(std::uint8_t code);

// Whether a key event can bring this code: some key translates to it on some layout, sided
// modifiers counted as their generic code (the code key events carry). 0 is no key.
bool isDeliveredVirtualKey(std::uint16_t code);

} // namespace tw::platform
