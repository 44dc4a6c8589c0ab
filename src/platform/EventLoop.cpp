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
    }
}

EventLoop::EventLoop(Window& window) : window_(window) {
    // The close button must become the game's close request, not an immediate quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

void EventLoop::translate(const void* raw, EventHandler& handler) {
    const auto& sdl = *static_cast<const SDL_Event*>(raw);
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
