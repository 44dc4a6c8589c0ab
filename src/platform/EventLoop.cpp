// SPDX-License-Identifier: MIT
// SDL events into the game's handler, and the wait between them.
#include "platform/EventLoop.h"

#include "platform/KeyboardState.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <limits>

namespace tw::platform {

namespace {

std::uint8_t buttonFlag(MouseButton b) {
    switch (b) {
    case MouseButton::Left: return ssLeft;
    case MouseButton::Right: return ssRight;
    case MouseButton::Middle: return ssMiddle;
    }
    return 0;
}

// Decodes UTF-8 and calls `out` with every code point that fits in 8 bits.
template <class F>
void forEachLatin1(const std::string& text, F out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = 0;
        std::size_t len = 1;
        if (b < 0x80)
            cp = b;
        else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1Fu;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0Fu;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07u;
            len = 4;
        } else {
            ++i;
            continue;
        } // a stray continuation byte
        if (i + len > text.size()) return;
        bool valid = true;
        for (std::size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3Fu);
        }
        i += valid ? len : 1;
        if (valid && cp <= 0xFF) out(static_cast<char>(static_cast<unsigned char>(cp)));
    }
}

bool insideBackBuffer(int x, int y) { return x >= 0 && y >= 0 && x < Window::ClientWidth && y < Window::ClientHeight; }

} // namespace

std::uint8_t EventDispatcher::shiftState() const {
    const auto& keys = KeyboardState::instance();
    std::uint8_t s = buttons_;
    if (keys.isDown(vk::Shift)) s |= ssShift;
    if (keys.isDown(vk::Menu)) s |= ssAlt;
    if (keys.isDown(vk::Control)) s |= ssCtrl;
    return s;
}

void EventDispatcher::deliver(const Event& e, EventHandler& handler) {
    auto& keys = KeyboardState::instance();
    using T = Event::Type;
    switch (e.type) {
    case T::CloseRequest: handler.closeRequest(); break;
    case T::KeyDown: {
        if (e.key == 0) break;
        keys.setDown(e.heldKey != 0 ? e.heldKey : e.key, true);
        const std::uint8_t key = genericVirtualKey(e.key);
        // Alt+F4 is the desktop's close command, not a key for the game.
        if (key == vk::function(4) && keys.isDown(vk::Menu)) {
            if (!e.repeat) handler.closeRequest();
            break;
        }
        handler.keyDown(key, e.repeat, shiftState());
        break;
    }
    case T::KeyUp:
        if (e.key == 0) break;
        keys.setDown(e.heldKey != 0 ? e.heldKey : e.key, false);
        handler.keyUp(genericVirtualKey(e.key), shiftState());
        break;
    case T::Text: forEachLatin1(e.text, [&](char c) { handler.keyPress(c); }); break;
    case T::MouseMove: handler.mouseMove(e.x, e.y, shiftState()); break;
    case T::MouseDown:
        buttons_ = static_cast<std::uint8_t>(buttons_ | buttonFlag(e.button));
        if (e.button == MouseButton::Left) leftPressed_ = true;
        handler.mouseDown(e.button, e.x, e.y, shiftState());
        break;
    case T::MouseUp: {
        buttons_ = static_cast<std::uint8_t>(buttons_ & ~buttonFlag(e.button));
        const bool clicked = e.button == MouseButton::Left && leftPressed_ && insideBackBuffer(e.x, e.y);
        if (e.button == MouseButton::Left) leftPressed_ = false;
        if (clicked) handler.click();
        handler.mouseUp(e.button, e.x, e.y, shiftState());
        break;
    }
    case T::FocusGained: handler.focusGained(); break;
    case T::FocusLost:
        // Key-ups are not seen while another window has the focus: forget what was held.
        keys.clear();
        buttons_ = 0;
        leftPressed_ = false;
        handler.focusLost();
        break;
    case T::MaximizeRequest: handler.maximizeRequest(); break;
    case T::CaptionDoubleClick: handler.captionDoubleClick(); break;
    case T::Exposed: handler.exposed(); break;
    case T::Minimized: handler.minimizedChanged(true); break;
    case T::Restored: handler.minimizedChanged(false); break;
    case T::PadDown: handler.padButton(e.pad, true); break;
    case T::PadUp: handler.padButton(e.pad, false); break;
    }
}

PadDirections::Held& PadDirections::of(int device) {
    for (Held& h : held_)
        if (h.device == device) return h;
    held_.push_back(Held{device});
    return held_.back();
}

std::vector<PadDirections::Change> PadDirections::differences(std::uint8_t before, std::uint8_t after) {
    static constexpr PadButton kButtons[] = {PadButton::Up, PadButton::Right, PadButton::Down, PadButton::Left};
    std::vector<Change> changes;
    // Releases first, so a stick swept from left to right lets go of Left before it presses Right.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 4; ++i) {
            const bool was = ((before >> i) & 1) != 0, is = ((after >> i) & 1) != 0;
            if (was != is && is == (pass == 1)) changes.push_back({kButtons[i], is});
        }
    }
    return changes;
}

std::vector<PadDirections::Change> PadDirections::stick(int device, int axis, int value) {
    if (axis != 0 && axis != 1) return {};
    Held& h = of(device);
    // Bits of this axis: up (1) and down (4), or right (2) and left (8).
    const std::uint8_t negative = axis == 0 ? 8 : 1, positive = axis == 0 ? 2 : 4;
    constexpr int Press = 16384, Release = 10923; // half and a third of the travel
    std::uint8_t bits = h.stick;
    const std::uint8_t held = bits & (negative | positive);
    std::uint8_t now = 0;
    if (value >= Press || (value > Release && (held & positive)))
        now = positive;
    else if (value <= -Press || (value < -Release && (held & negative)))
        now = negative;
    bits = static_cast<std::uint8_t>((bits & ~(negative | positive)) | now);
    std::vector<Change> changes = differences(h.stick | h.hat, bits | h.hat);
    h.stick = bits;
    return changes;
}

std::vector<PadDirections::Change> PadDirections::hat(int device, std::uint8_t bits) {
    Held& h = of(device);
    bits &= 0x0F;
    std::vector<Change> changes = differences(h.stick | h.hat, h.stick | bits);
    h.hat = bits;
    return changes;
}

std::vector<PadDirections::Change> PadDirections::forget(int device) {
    Held& h = of(device);
    std::vector<Change> changes = differences(h.stick | h.hat, 0);
    std::erase_if(held_, [device](const Held& x) { return x.device == device; });
    return changes;
}

EventLoop::EventLoop(Window& window) : window_(window) {
    // The close button must become the game's close request, not an immediate quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

bool EventLoop::translatePad(const void* raw, std::vector<Event>& out) {
    const auto& sdl = *static_cast<const SDL_Event*>(raw);
    const auto push = [&](PadButton button, bool down) {
        Event e;
        e.type = down ? Event::Type::PadDown : Event::Type::PadUp;
        e.pad = button;
        out.push_back(e);
    };
    const auto pushAll = [&](const std::vector<PadDirections::Change>& changes) {
        for (const PadDirections::Change& c : changes) push(c.button, c.down);
    };
    // A pad SDL knows sends both its layout's events and its raw joystick's: only the layout's count.
    const auto isPad = [](SDL_JoystickID which) { return SDL_GameControllerFromInstanceID(which) != nullptr; };
    switch (sdl.type) {
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        const bool down = sdl.type == SDL_CONTROLLERBUTTONDOWN;
        switch (sdl.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_A: push(PadButton::A, down); break;
        case SDL_CONTROLLER_BUTTON_B: push(PadButton::B, down); break;
        case SDL_CONTROLLER_BUTTON_START: push(PadButton::Start, down); break;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: push(PadButton::Up, down); break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: push(PadButton::Down, down); break;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: push(PadButton::Left, down); break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: push(PadButton::Right, down); break;
        default: break;
        }
        return true;
    }
    case SDL_CONTROLLERAXISMOTION:
        if (sdl.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX || sdl.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)
            pushAll(padDirections_.stick(sdl.caxis.which, sdl.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ? 0 : 1,
                                         sdl.caxis.value));
        return true;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        if (!isPad(sdl.jbutton.which) && sdl.jbutton.button < 2)
            push(sdl.jbutton.button == 0 ? PadButton::A : PadButton::B, sdl.type == SDL_JOYBUTTONDOWN);
        return true;
    case SDL_JOYHATMOTION:
        if (!isPad(sdl.jhat.which) && sdl.jhat.hat == 0) pushAll(padDirections_.hat(sdl.jhat.which, sdl.jhat.value));
        return true;
    case SDL_JOYAXISMOTION:
        if (!isPad(sdl.jaxis.which)) pushAll(padDirections_.stick(sdl.jaxis.which, sdl.jaxis.axis, sdl.jaxis.value));
        return true;
    case SDL_JOYDEVICEREMOVED: pushAll(padDirections_.forget(sdl.jdevice.which)); return true;
    default: return false;
    }
}

void EventLoop::translate(const void* raw, EventHandler& handler) {
    const auto& sdl = *static_cast<const SDL_Event*>(raw);
    std::vector<Event> padEvents;
    if (translatePad(raw, padEvents)) {
        for (const Event& e : padEvents) dispatcher_.deliver(e, handler);
        return;
    }
    Event e;
    using T = Event::Type;
    switch (sdl.type) {
    case SDL_QUIT: // a signal such as SIGTERM: end without questions
        quit_ = true;
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        e.type = sdl.type == SDL_KEYDOWN ? T::KeyDown : T::KeyUp;
        e.key = virtualKeyFromSdl(sdl.key.keysym.sym, sdl.key.keysym.scancode);
        e.heldKey = heldKeyFromSdl(sdl.key.keysym.sym, sdl.key.keysym.scancode);
        e.repeat = sdl.key.repeat != 0;
        if (e.key == 0) return;
        break;
    case SDL_TEXTINPUT:
        e.type = T::Text;
        e.text = sdl.text.text;
        break;
    case SDL_MOUSEMOTION:
        e.type = T::MouseMove;
        window_.toBackBuffer(sdl.motion.x, sdl.motion.y, e.x, e.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        e.type = sdl.type == SDL_MOUSEBUTTONDOWN ? T::MouseDown : T::MouseUp;
        if (sdl.button.button == SDL_BUTTON_LEFT)
            e.button = MouseButton::Left;
        else if (sdl.button.button == SDL_BUTTON_RIGHT)
            e.button = MouseButton::Right;
        else if (sdl.button.button == SDL_BUTTON_MIDDLE)
            e.button = MouseButton::Middle;
        else
            return;
        window_.toBackBuffer(sdl.button.x, sdl.button.y, e.x, e.y);
        break;
    case SDL_WINDOWEVENT:
        if (sdl.window.windowID != window_.id()) return;
        switch (sdl.window.event) {
        case SDL_WINDOWEVENT_CLOSE: e.type = T::CloseRequest; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: e.type = T::FocusGained; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: e.type = T::FocusLost; break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            // The window is never maximised: undo it and let the game decide what the request means.
            window_.noteMaximized();
            window_.restore();
            e.type = T::MaximizeRequest;
            break;
        case SDL_WINDOWEVENT_MINIMIZED: e.type = T::Minimized; break;
        case SDL_WINDOWEVENT_RESTORED:
            window_.invalidatePicture();
            e.type = T::Restored;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            window_.invalidatePicture();
            e.type = T::Exposed;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // The player resized the window: the picture is scaled to the new size at the next frame.
            window_.noteResized(sdl.window.data1, sdl.window.data2);
            window_.invalidatePicture();
            return;
        default: return;
        }
        break;
    default: return;
    }
    dispatcher_.deliver(e, handler);
}

bool EventLoop::pumpPending(EventHandler& handler) {
    SDL_Event e;
    while (!quit_ && SDL_PollEvent(&e)) translate(&e, handler);
    window_.eventsHandled();
    return !quit_;
}

void EventLoop::run(EventHandler& handler) {
    while (!quit_) {
        if (!pumpPending(handler)) break;
        const std::optional<std::uint32_t> wait = handler.idle();
        if (quit_) break;
        if (wait && *wait == 0) continue; // due again at once
        // Sleep until an event comes or the next tick is due.
        const int timeout =
            wait ? static_cast<int>(std::min<std::uint32_t>(*wait, std::numeric_limits<int>::max())) : -1;
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, timeout)) translate(&e, handler);
    }
}

} // namespace tw::platform
