// SPDX-License-Identifier: MIT
// Translation of SDL keys into virtual-key codes. Character keys are looked up by the character
// they produce (SDL_Keycode), so letters follow the keyboard layout as the game expects; keys that
// produce no character are looked up by their position (SDL_Scancode).
#include "platform/VirtualKeys.h"

#include <SDL.h>

#include <array>

namespace tw::platform {

namespace {

std::uint8_t fromScancode(int scancode) {
    switch (scancode) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return vk::Return;
    case SDL_SCANCODE_ESCAPE: return vk::Escape;
    case SDL_SCANCODE_BACKSPACE: return vk::Back;
    case SDL_SCANCODE_TAB: return vk::Tab;
    case SDL_SCANCODE_SPACE: return vk::Space;
    case SDL_SCANCODE_CAPSLOCK: return vk::Capital;
    case SDL_SCANCODE_PRINTSCREEN: return vk::PrintScreen;
    case SDL_SCANCODE_SCROLLLOCK: return vk::Scroll;
    case SDL_SCANCODE_PAUSE: return vk::Pause;
    case SDL_SCANCODE_INSERT: return vk::Insert;
    case SDL_SCANCODE_HOME: return vk::Home;
    case SDL_SCANCODE_PAGEUP: return vk::PageUp;
    case SDL_SCANCODE_DELETE: return vk::Delete;
    case SDL_SCANCODE_END: return vk::End;
    case SDL_SCANCODE_PAGEDOWN: return vk::PageDown;
    case SDL_SCANCODE_RIGHT: return vk::Right;
    case SDL_SCANCODE_LEFT: return vk::Left;
    case SDL_SCANCODE_DOWN: return vk::Down;
    case SDL_SCANCODE_UP: return vk::Up;
    case SDL_SCANCODE_NUMLOCKCLEAR: return vk::NumLock;
    // The numeric pad keeps its own codes whatever the Num Lock state: the game steers with it.
    case SDL_SCANCODE_KP_DIVIDE: return vk::Divide;
    case SDL_SCANCODE_KP_MULTIPLY: return vk::Multiply;
    case SDL_SCANCODE_KP_MINUS: return vk::Subtract;
    case SDL_SCANCODE_KP_PLUS: return vk::Add;
    case SDL_SCANCODE_KP_PERIOD: return vk::Decimal;
    case SDL_SCANCODE_KP_1: return vk::numpad(1);
    case SDL_SCANCODE_KP_2: return vk::numpad(2);
    case SDL_SCANCODE_KP_3: return vk::numpad(3);
    case SDL_SCANCODE_KP_4: return vk::numpad(4);
    case SDL_SCANCODE_KP_5: return vk::numpad(5);
    case SDL_SCANCODE_KP_6: return vk::numpad(6);
    case SDL_SCANCODE_KP_7: return vk::numpad(7);
    case SDL_SCANCODE_KP_8: return vk::numpad(8);
    case SDL_SCANCODE_KP_9: return vk::numpad(9);
    case SDL_SCANCODE_KP_0: return vk::numpad(0);
    case SDL_SCANCODE_APPLICATION: return vk::Apps;
    case SDL_SCANCODE_LCTRL: return vk::LControl;
    case SDL_SCANCODE_LSHIFT: return vk::LShift;
    case SDL_SCANCODE_LALT: return vk::LMenu;
    case SDL_SCANCODE_LGUI: return vk::LWin;
    case SDL_SCANCODE_RCTRL: return vk::RControl;
    case SDL_SCANCODE_RSHIFT: return vk::RShift;
    case SDL_SCANCODE_RALT: return vk::RMenu;
    case SDL_SCANCODE_RGUI: return vk::RWin;
    default: break;
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return vk::function(scancode - SDL_SCANCODE_F1 + 1);
    return 0;
}

std::uint8_t fromCharacter(std::int32_t keycode) {
    if (keycode >= 'a' && keycode <= 'z') return static_cast<std::uint8_t>(keycode - 'a' + 'A');
    if (keycode >= '0' && keycode <= '9') return static_cast<std::uint8_t>(keycode);
    switch (keycode) {
    case ';': return vk::Semicolon;
    case '=': return vk::Plus;
    case ',': return vk::Comma;
    case '-': return vk::Minus;
    case '.': return vk::Period;
    case '/': return vk::Slash;
    case '`': return vk::Grave;
    case '[': return vk::LBracket;
    case '\\': return vk::Backslash;
    case ']': return vk::RBracket;
    case '\'': return vk::Quote;
    default: return 0;
    }
}

} // namespace

std::uint8_t virtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode) {
    // Position first: the numeric pad, arrows and modifiers must not depend on the layout.
    if (std::uint8_t code = fromScancode(sdlScancode)) return code;
    if (std::uint8_t code = fromCharacter(sdlKeycode)) return code;
    // A layout whose key gives no ASCII character: fall back to the key's position on a US board.
    if (sdlScancode >= SDL_SCANCODE_A && sdlScancode <= SDL_SCANCODE_Z)
        return static_cast<std::uint8_t>('A' + (sdlScancode - SDL_SCANCODE_A));
    if (sdlScancode >= SDL_SCANCODE_1 && sdlScancode <= SDL_SCANCODE_9)
        return static_cast<std::uint8_t>('1' + (sdlScancode - SDL_SCANCODE_1));
    if (sdlScancode == SDL_SCANCODE_0) return vk::digit(0);
    return 0;
}

std::uint8_t heldKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode) {
    if (sdlScancode >= SDL_SCANCODE_A && sdlScancode <= SDL_SCANCODE_Z)
        return static_cast<std::uint8_t>('A' + (sdlScancode - SDL_SCANCODE_A));
    return virtualKeyFromSdl(sdlKeycode, sdlScancode);
}

std::uint8_t genericVirtualKey(std::uint8_t code) {
    switch (code) {
    case vk::LShift:
    case vk::RShift: return vk::Shift;
    case vk::LControl:
    case vk::RControl: return vk::Control;
    case vk::LMenu:
    case vk::RMenu: return vk::Menu;
    default: return code;
    }
}

bool isDeliveredVirtualKey(std::uint16_t code) {
    // Built from the translation itself, so the two cannot drift apart.
    static const std::array<bool, 256> delivered = [] {
        std::array<bool, 256> table{};
        for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
            table[genericVirtualKey(fromScancode(scancode))] = true;
        for (std::int32_t keycode = 0; keycode < 128; ++keycode) table[fromCharacter(keycode)] = true;
        table[0] = false;
        return table;
    }();
    return code < delivered.size() && delivered[code];
}

} // namespace tw::platform
