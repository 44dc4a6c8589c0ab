// SPDX-License-Identifier: MIT
// The game's one top-level window: an 800 x 600 client area, centred when windowed, which the player
// may resize; desktop full screen otherwise. Either way the picture is scaled to fit (aspect kept,
// black bars). It shows finished back buffers, and owns the mouse cursor's visibility and position.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace tw::platform {

class WindowError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a picture of the back buffer's size lands inside an output of another size.
struct ViewRect {
    int x = 0, y = 0, width = 0, height = 0;
};
// The largest rectangle of the source's aspect that fits the output, centred.
ViewRect letterbox(int outputWidth, int outputHeight, int sourceWidth, int sourceHeight);

// What the caller of Window::present knows of its picture.
enum class Picture {
    Unknown, // compare it with the one on screen
    Same,    // the very picture handed over last time
    New,     // a changed picture
};

// The window's place on the desktop, kept while full screen so that the windowed place comes back.
struct WindowPlacement {
    int x = 0, y = 0, width = 0, height = 0;
    bool minimized = false;
};

class Window {
public:
    static constexpr int ClientWidth = 800;
    static constexpr int ClientHeight = 600;
    // The smallest size a player can drag the window to: half the picture, still readable.
    static constexpr int MinimumWidth = ClientWidth / 2;
    static constexpr int MinimumHeight = ClientHeight / 2;

    // Initialises SDL's video (any driver, the dummy one included); throws WindowError.
    explicit Window(const std::string& caption = "Tide Warden");
    ~Window();
    // The window made last that still exists (the game makes one): where messages are shown.
    static Window* current();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Shows a buffer of 0x00RRGGBB pixels, scaled to the window with its aspect kept. Only the rows
    // that differ from the picture on screen are sent, and a picture equal to it not at all: a still
    // menu then costs no upload and no render, which matters most where the renderer runs on the CPU.
    // A window of exactly the picture's size, or a whole multiple of it, gets it straight into its
    // own pixels (a square of them to each pixel), with no renderer (no GL) at all. A caller that knows its picture is the Same as last time spares the comparison;
    // a New one is shown even when no row differs.
    void present(const std::uint32_t* pixels, int width, int height, int pitchInPixels,
                 Picture picture = Picture::Unknown);
    // Whether anything shown can be seen: not while the window is minimised or hidden. Pictures
    // presented meanwhile are dropped; the desktop's restore or expose lets the next one through.
    bool pictureSeen() const;
    int presentCount() const { return presentCount_; } // pictures handed to present()
    int uploadCount() const { return uploadCount_; }   // pictures actually sent to the screen
    // The window's contents may be gone (uncovered, restored, resized, mode switched): the next
    // present() sends its picture whatever it holds.
    void invalidatePicture() {
        onScreen_ = false;
        shown_.clear();
    }
    // The picture on screen, rows packed (empty when unknown), and its size.
    std::vector<std::uint32_t> shownPicture() const;
    int shownWidth() const { return lastWidth_; }
    int shownHeight() const { return lastHeight_; }
    // Whether the last picture went the unscaled way, straight into the window's pixels, and by what
    // whole multiple (0: through the renderer).
    bool presentsUnscaled() const { return surfaceScale() == 1; }
    int surfaceScale() const { return path_ == Path::Surface ? surfaceScale_ : 0; }

    void setFullScreen(bool fullScreen);
    bool isFullScreen() const { return fullScreen_; }
    void center();
    void minimize();
    void restore();
    bool isMinimized() const;

    // The placement keeps the size the player gave the window, never a maximised or full-screen one.
    WindowPlacement placement() const;
    void setPlacement(const WindowPlacement& placement);
    // The window's place on the desktop when it is not full screen: the current one, or while full
    // screen the one it had before and comes back to. Never minimised.
    WindowPlacement windowedPlacement() const;
    // The part of the window's display that windows may cover (without panels and docks).
    ViewRect usableBounds() const;
    // Whether a window placed so could be taken hold of on some display: its top left corner lies
    // on one. A place remembered from a display that has gone is not.
    static bool onSomeDisplay(const WindowPlacement& placement);
    // What the message loop learns from the desktop: the window was resized (to a size in window
    // pixels), the desktop maximised it, and the events that came together have all been handled.
    // A size is the player's only if no maximise came with it: a desktop may report the size of a
    // maximised window before it says the window is maximised.
    void noteResized(int width, int height);
    void noteMaximized() { pendingWidth_ = pendingHeight_ = 0; }
    void eventsHandled();

    std::string caption() const;
    int clientWidth() const; // the window's drawable size in its own pixels
    int clientHeight() const;
    std::uint32_t id() const; // identifies the window in SDL's events

    // The cursor keeps a display counter: shown while it is 0 or more. Each call adds or takes one
    // and returns the new count; the counter starts at 0 (shown).
    int showCursor(bool show);
    int cursorCount() const { return cursorCount_; }
    // Moves the pointer to a back-buffer position.
    void warpCursor(int x, int y);

    // Window pixel to back-buffer pixel (may lie outside 0..799, 0..599 on a black bar).
    void toBackBuffer(int windowX, int windowY, int& x, int& y) const;

private:
    ViewRect view() const;
    // The two ways to the screen; the first answers false when the window's pixels cannot take it.
    bool presentOnSurface(const std::uint32_t* pixels, int width, int height, int pitchInPixels, Picture picture,
                          int scale);
    void presentThroughRenderer(const std::uint32_t* pixels, int width, int height, int pitchInPixels, Picture picture);
    enum class Path : std::uint8_t { None, Surface, Renderer };

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0, textureHeight_ = 0;
    int lastWidth_ = ClientWidth, lastHeight_ = ClientHeight; // size of the last picture shown
    bool fullScreen_ = false;
    // The size the player gave the window, and a new one not yet known to be theirs (0: none).
    int normalWidth_ = ClientWidth, normalHeight_ = ClientHeight;
    int normalX_ = 0, normalY_ = 0; // the windowed position, kept while full screen
    int pendingWidth_ = 0, pendingHeight_ = 0;
    int cursorCount_ = 0;
    int presentCount_ = 0;
    int uploadCount_ = 0;
    // What the window shows: whether it is known, which way it went (and at what whole multiple), and
    // a copy of it (rows packed) to compare the next picture with; the window's own pixels are that
    // copy on the unscaled way.
    bool onScreen_ = false;
    Path path_ = Path::None;
    int surfaceScale_ = 1;
    std::vector<std::uint32_t> shown_;
    Window* previous_ = nullptr; // current() before this one was made
};

} // namespace tw::platform
