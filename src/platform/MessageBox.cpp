// SPDX-License-Identifier: MIT
// The game's message box: its own in-window message while the game's window exists, SDL's desktop
// dialog before and after it, and a stderr line always.
#include "platform/MessageBox.h"

#include "platform/Window.h"
#include "platform/WindowMessage.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tw::platform {

namespace {

// SDL's X11 dialog runs in a forked child, which deadlocks in the sanitizers' allocator: such builds
// never use it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool DesktopDialogMayHang = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
constexpr bool DesktopDialogMayHang = true;
#else
constexpr bool DesktopDialogMayHang = false;
#endif
#else
constexpr bool DesktopDialogMayHang = false;
#endif

std::function<void(const std::string&)>& handler() {
    static std::function<void(const std::string&)> instance;
    return instance;
}

// Without a display a message box would either fail or, on the dummy driver, never appear.
bool windowSystemAvailable() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return false;
    const char* hint = std::getenv("SDL_VIDEODRIVER");
    if (hint != nullptr && (std::strcmp(hint, "dummy") == 0 || std::strcmp(hint, "offscreen") == 0)) return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// The game's window as the box's parent, so the box stays above it, even in full screen.
SDL_Window* gameWindow() {
    if (SDL_Window* focused = SDL_GetKeyboardFocus()) return focused;
    if (SDL_Window* hovered = SDL_GetMouseFocus()) return hovered;
    for (Uint32 id = 1; id <= 16; ++id) // the program makes one window; its id is small
        if (SDL_Window* window = SDL_GetWindowFromID(id)) return window;
    return nullptr;
}

} // namespace

void setMessageBoxHandler(std::function<void(const std::string&)> newHandler) { handler() = std::move(newHandler); }

void showMessageBox(const std::string& text) {
    if (handler()) {
        handler()(text);
        return;
    }
    // Always on stderr too: a log keeps what a dialog shows only once.
    std::fprintf(stderr, "Tide Warden: %s\n", text.c_str());
    if (!windowSystemAvailable()) return;
    // In the game's window the message also shows in full screen and needs nothing from the desktop
    // (SDL's X11 dialog needs the X core fonts, which many desktops lack).
    if (Window* window = Window::current(); window && showMessageInWindow(*window, text)) return;
    if (!DesktopDialogMayHang)
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Tide Warden", text.c_str(), gameWindow());
}

} // namespace tw::platform
