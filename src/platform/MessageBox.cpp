// The game's message box on SDL, with a stderr fallback where no window system answers.
#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tw::platform {

namespace {

std::function<void(const std::string&)>& handler() {
    static std::function<void(const std::string&)> instance;
    return instance;
}

// Without a display a message box would either fail or, on the dummy driver, never appear.
bool windowSystemAvailable() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0))
        return false;
    const char* hint = std::getenv("SDL_VIDEODRIVER");
    if (hint != nullptr && (std::strcmp(hint, "dummy") == 0 || std::strcmp(hint, "offscreen") == 0))
        return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// The game's window as the box's parent, so the box stays above it, even in full screen.
SDL_Window* gameWindow() {
    if (SDL_Window* focused = SDL_GetKeyboardFocus())
        return focused;
    if (SDL_Window* hovered = SDL_GetMouseFocus())
        return hovered;
    for (Uint32 id = 1; id <= 16; ++id) // the program makes one window; its id is small
        if (SDL_Window* window = SDL_GetWindowFromID(id))
            return window;
    return nullptr;
}

} // namespace

void setMessageBoxHandler(std::function<void(const std::string&)> newHandler) {
    handler() = std::move(newHandler);
}

void showMessageBox(const std::string& text) {
    if (handler()) {
        handler()(text);
        return;
    }
    if (windowSystemAvailable() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "Tide Warden", text.c_str(), gameWindow()) == 0)
        return;
    std::fprintf(stderr, "Tide Warden: %s\n", text.c_str());
}

} // namespace tw::platform
