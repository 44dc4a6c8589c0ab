// SPDX-License-Identifier: MIT
// The SDL window, its renderer and the streaming texture the back buffer is copied into.
#include "platform/Window.h"

#include "platform/Png.h"

#include <SDL.h>

#include <dlfcn.h>
#include <link.h>

#include <cstddef>
#include <cstring>
#include <utility>
#include <filesystem>

namespace tw::platform {

ViewRect letterbox(int outputWidth, int outputHeight, int sourceWidth, int sourceHeight) {
    if (outputWidth <= 0 || outputHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return {};
    // Compare the two aspects in integers: width fits when out_w * src_h <= out_h * src_w.
    const auto ow = static_cast<std::int64_t>(outputWidth), oh = static_cast<std::int64_t>(outputHeight);
    const auto sw = static_cast<std::int64_t>(sourceWidth), sh = static_cast<std::int64_t>(sourceHeight);
    ViewRect r;
    if (ow * sh <= oh * sw) {
        r.width = outputWidth;
        r.height = static_cast<int>(ow * sh / sw);
    } else {
        r.height = outputHeight;
        r.width = static_cast<int>(oh * sw / sh);
    }
    r.x = (outputWidth - r.width) / 2;
    r.y = (outputHeight - r.height) / 2;
    return r;
}

namespace {

Window* currentWindow = nullptr;

// The graphics driver the renderer loads (Mesa's "*_dri.so") leaves a little memory behind when the
// video system unloads it. Kept mapped to the end, a leak check can name it instead of reporting an
// address in no library; the sanitizer builds let exactly those leftovers through.
int keepDriverMapped(dl_phdr_info* info, std::size_t, void*) {
    if (info->dlpi_name == nullptr || std::strstr(info->dlpi_name, "_dri.so") == nullptr) return 0;
    if (void* driver = dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(driver);
    return 0;
}

// The window's icon for desktops that take it from the window rather than from the desktop entry:
// "tidewarden.png" beside the program, when it is there (the build and the install put it there).
void setIconFromProgramFolder(SDL_Window* window) {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    const std::filesystem::path file = program.parent_path() / "tidewarden.png";
    if (!std::filesystem::is_regular_file(file, ec)) return;
    try {
        PngImage icon = readPng(file.string());
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(icon.pixels.data(), icon.width, icon.height, 32,
                                                                  icon.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            SDL_SetWindowIcon(window, surface);
            SDL_FreeSurface(surface);
        }
    } catch (const PngError&) {
        // A damaged icon costs only the icon.
    }
}

} // namespace

Window* Window::current() { return currentWindow; }

Window::Window(const std::string& caption) {
    // The window's own pixels are the desktop's (X11: shared memory), never a texture SDL would
    // draw through a renderer of its own: that is the GL this way avoids.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw WindowError(std::string("Cannot start the video system: ") + SDL_GetError());
    window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ClientWidth,
                               ClientHeight, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!window_) {
        std::string error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        throw WindowError("Cannot create the window: " + error);
    }
    // Vsync where the driver offers it; a software renderer (dummy driver, no GPU) has none.
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) {
        std::string error = SDL_GetError();
        SDL_DestroyWindow(window_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        throw WindowError("Cannot create the renderer: " + error);
    }
    // Only now: an OpenGL renderer makes X11 recreate the window, and the new one would lack the
    // hints given to the first (the desktop would let the window shrink to nothing, and show no icon).
    SDL_SetWindowMinimumSize(window_, MinimumWidth, MinimumHeight);
    setIconFromProgramFolder(window_);
    // Typed characters arrive as text events; the text fields take them from there.
    SDL_StartTextInput();
    previous_ = currentWindow;
    currentWindow = this;
}

Window::~Window() {
    if (currentWindow == this) currentWindow = previous_;
    if (cursorCount_ < 0) SDL_ShowCursor(SDL_ENABLE);
    if (texture_) SDL_DestroyTexture(texture_);
    dl_iterate_phdr(keepDriverMapped, nullptr);
    SDL_DestroyRenderer(renderer_);
    SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Window::present(const std::uint32_t* pixels, int width, int height, int pitchInPixels, Picture picture) {
    if (!pixels || width <= 0 || height <= 0) return;
    ++presentCount_;
    if (!pictureSeen()) return;
    const bool sameSize = width == lastWidth_ && height == lastHeight_;
    if (picture == Picture::Same && onScreen_ && sameSize) return;
    // A window of the picture's size, or a whole multiple of it, gets it straight into its own
    // pixels (each pixel a square of them), which the desktop is handed without any GL. Only other
    // sizes need the renderer: with software GL, scaling costs most of a core.
    int outW = 0, outH = 0;
    SDL_GetWindowSizeInPixels(window_, &outW, &outH);
    const int scale = outW % width == 0 && outW / width == outH / height && outH % height == 0 ? outW / width : 0;
    if (scale > 0 && presentOnSurface(pixels, width, height, pitchInPixels, picture, scale)) return;
    presentThroughRenderer(pixels, width, height, pitchInPixels, picture);
}

namespace {

// Copies the rows of the picture that differ from the copy into it (all of them when the copy is
// unknown), telling copied(y) of each; returns the first and one past the last row copied
// (first == end: none).
template <typename Copied>
std::pair<int, int> copyChangedRows(const std::uint32_t* pixels, int width, int height, int pitchInPixels,
                                    std::uint8_t* copy, std::ptrdiff_t copyPitch, bool all, Copied copied) {
    const std::size_t bytes = static_cast<std::size_t>(width) * 4;
    int first = height, end = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = pixels + static_cast<std::ptrdiff_t>(y) * pitchInPixels;
        std::uint8_t* to = copy + static_cast<std::ptrdiff_t>(y) * copyPitch;
        if (!all && std::memcmp(to, from, bytes) == 0) continue;
        std::memcpy(to, from, bytes);
        copied(y);
        if (y < first) first = y;
        end = y + 1;
    }
    return first < end ? std::pair{first, end} : std::pair{0, 0};
}

std::pair<int, int> copyChangedRows(const std::uint32_t* pixels, int width, int height, int pitchInPixels,
                                    std::uint8_t* copy, std::ptrdiff_t copyPitch, bool all) {
    return copyChangedRows(pixels, width, height, pitchInPixels, copy, copyPitch, all, [](int) {});
}

std::uint32_t* surfaceRow(SDL_Surface* surface, int y) {
    return reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) +
                                            static_cast<std::ptrdiff_t>(y) * surface->pitch);
}

// Row y of the picture as scale rows of the surface, each pixel repeated scale times.
void writeScaledRow(SDL_Surface* surface, const std::uint32_t* row, int width, int y, int scale) {
    std::uint32_t* out = surfaceRow(surface, y * scale);
    for (int x = 0; x < width; ++x)
        std::fill(out + static_cast<std::ptrdiff_t>(x) * scale, out + static_cast<std::ptrdiff_t>(x + 1) * scale,
                  row[x]);
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(scale) * 4;
    for (int r = 1; r < scale; ++r) std::memcpy(surfaceRow(surface, y * scale + r), out, bytes);
}

} // namespace

bool Window::presentOnSurface(const std::uint32_t* pixels, int width, int height, int pitchInPixels, Picture picture,
                              int scale) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    // The picture's pixels are 0x00RRGGBB: the surface must hold them the same way to take them as is.
    if (!surface || surface->w != width * scale || surface->h != height * scale ||
        (surface->format->format != SDL_PIXELFORMAT_RGB888 && surface->format->format != SDL_PIXELFORMAT_ARGB8888))
        return false;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
    // Unless another path or scale drew the window last, the copy of what it shows is the window's
    // own pixels, or when scaled a copy of the picture.
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const bool all = path_ != Path::Surface || surfaceScale_ != scale || !onScreen_ || width != lastWidth_ ||
                     height != lastHeight_ || (scale > 1 && shown_.size() != size);
    std::pair<int, int> rows;
    if (scale == 1) {
        rows = copyChangedRows(pixels, width, height, pitchInPixels, static_cast<std::uint8_t*>(surface->pixels),
                               surface->pitch, all);
        shown_.clear(); // the renderer's copy is of an older picture now
    } else {
        shown_.resize(size);
        rows = copyChangedRows(pixels, width, height, pitchInPixels, reinterpret_cast<std::uint8_t*>(shown_.data()),
                               static_cast<std::ptrdiff_t>(width) * 4, all, [&](int y) {
                                   writeScaledRow(surface, shown_.data() + static_cast<std::ptrdiff_t>(y) * width,
                                                  width, y, scale);
                               });
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    path_ = Path::Surface;
    surfaceScale_ = scale;
    lastWidth_ = width;
    lastHeight_ = height;
    onScreen_ = true;
    const auto [first, end] = rows;
    if (first == end && picture != Picture::New) return true;
    if (first < end) {
        const SDL_Rect changed{0, first * scale, width * scale, (end - first) * scale};
        SDL_UpdateWindowSurfaceRects(window_, &changed, 1);
    }
    ++uploadCount_;
    return true;
}

void Window::presentThroughRenderer(const std::uint32_t* pixels, int width, int height, int pitchInPixels,
                                    Picture picture) {
    if (!texture_ || width != textureWidth_ || height != textureHeight_) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (!texture_) { // nothing can be shown; the next frame tries again
            invalidatePicture();
            return;
        }
        // A window of any size shows the picture scaled: smoothed, so small text stays readable
        // and large screens get no uneven pixel rows.
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
        textureWidth_ = width;
        textureHeight_ = height;
        shown_.clear();
    }
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const bool all =
        path_ != Path::Renderer || !onScreen_ || shown_.size() != size || width != lastWidth_ || height != lastHeight_;
    if (shown_.size() != size) shown_.resize(size);
    // Only the rows that changed go to the texture; the whole of it is drawn all the same, since the
    // renderer's buffers hold no earlier picture to build on.
    const auto [first, end] =
        copyChangedRows(pixels, width, height, pitchInPixels, reinterpret_cast<std::uint8_t*>(shown_.data()),
                        static_cast<std::ptrdiff_t>(width) * 4, all);
    path_ = Path::Renderer;
    lastWidth_ = width;
    lastHeight_ = height;
    onScreen_ = true;
    if (first == end && picture != Picture::New) return;
    if (first < end) {
        const SDL_Rect rows{0, first, width, end - first};
        SDL_UpdateTexture(texture_, &rows,
                          shown_.data() + static_cast<std::size_t>(first) * static_cast<std::size_t>(width), width * 4);
    }
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer_, &outW, &outH);
    const ViewRect v = letterbox(outW, outH, width, height);
    const SDL_Rect dest{v.x, v.y, v.width, v.height};
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, &dest);
    SDL_RenderPresent(renderer_);
    ++uploadCount_;
}

std::vector<std::uint32_t> Window::shownPicture() const {
    if (!onScreen_) return {};
    if (path_ == Path::Renderer) return shown_;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    const int scale = surfaceScale_;
    if (!surface || surface->w != lastWidth_ * scale || surface->h != lastHeight_ * scale) return {};
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return {};
    const auto w = static_cast<std::size_t>(lastWidth_);
    std::vector<std::uint32_t> picture(w * static_cast<std::size_t>(lastHeight_));
    // Each pixel's square read at its far corner, so that a square written only in part shows.
    for (int y = 0; y < lastHeight_; ++y) {
        const std::uint32_t* row = surfaceRow(surface, y * scale + scale - 1);
        for (std::size_t x = 0; x < w; ++x)
            picture[static_cast<std::size_t>(y) * w + x] =
                row[x * static_cast<std::size_t>(scale) + static_cast<std::size_t>(scale - 1)];
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    // The window's pixels carry no alpha; the picture's top byte is always 0.
    for (std::uint32_t& p : picture) p &= 0x00FFFFFFu;
    return picture;
}

void Window::setFullScreen(bool fullScreen) {
    if (fullScreen == fullScreen_) return;
    if (fullScreen) SDL_GetWindowPosition(window_, &normalX_, &normalY_);
    // Desktop full screen: the desktop keeps its mode and the picture is scaled, never a mode change.
    SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    invalidatePicture();
    fullScreen_ = fullScreen;
    if (!fullScreen) SDL_SetWindowSize(window_, normalWidth_, normalHeight_);
}

void Window::center() {
    if (!fullScreen_) SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void Window::minimize() { SDL_MinimizeWindow(window_); }
void Window::restore() { SDL_RestoreWindow(window_); }
bool Window::isMinimized() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0; }
bool Window::pictureSeen() const {
    return (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

WindowPlacement Window::placement() const {
    WindowPlacement p;
    SDL_GetWindowPosition(window_, &p.x, &p.y);
    p.width = pendingWidth_ > 0 ? pendingWidth_ : normalWidth_;
    p.height = pendingHeight_ > 0 ? pendingHeight_ : normalHeight_;
    p.minimized = isMinimized();
    return p;
}

WindowPlacement Window::windowedPlacement() const {
    WindowPlacement p = placement();
    if (fullScreen_) {
        p.x = normalX_;
        p.y = normalY_;
    }
    p.minimized = false;
    return p;
}

ViewRect Window::usableBounds() const {
    SDL_Rect r{0, 0, ClientWidth, ClientHeight};
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (display < 0 || SDL_GetDisplayUsableBounds(display, &r) != 0)
        SDL_GetDisplayBounds(display < 0 ? 0 : display, &r);
    return {r.x, r.y, r.w, r.h};
}

bool Window::onSomeDisplay(const WindowPlacement& p) {
    // Enough of the window to take hold of it: a corner of 100 x 50 pixels at its top left.
    const SDL_Rect grip{p.x, p.y, 100, 50};
    for (int i = 0; i < SDL_GetNumVideoDisplays(); ++i) {
        SDL_Rect bounds{};
        if (SDL_GetDisplayUsableBounds(i, &bounds) != 0 && SDL_GetDisplayBounds(i, &bounds) != 0) continue;
        SDL_Rect overlap{};
        if (SDL_IntersectRect(&grip, &bounds, &overlap) == SDL_TRUE && overlap.w >= 50 && overlap.h >= 25) return true;
    }
    return false;
}

void Window::setPlacement(const WindowPlacement& p) {
    if (fullScreen_) return; // a placement only means something for the window on the desktop
    if (p.width > 0 && p.height > 0) {
        SDL_SetWindowSize(window_, p.width, p.height);
        normalWidth_ = p.width;
        normalHeight_ = p.height;
        pendingWidth_ = pendingHeight_ = 0;
    }
    SDL_SetWindowPosition(window_, p.x, p.y);
    if (p.minimized) SDL_MinimizeWindow(window_);
}

void Window::noteResized(int width, int height) {
    if (fullScreen_ || width <= 0 || height <= 0) return;
    if ((SDL_GetWindowFlags(window_) & (SDL_WINDOW_MAXIMIZED | SDL_WINDOW_FULLSCREEN)) != 0) return;
    pendingWidth_ = width;
    pendingHeight_ = height;
}

void Window::eventsHandled() {
    if (pendingWidth_ > 0 && pendingHeight_ > 0) {
        normalWidth_ = pendingWidth_;
        normalHeight_ = pendingHeight_;
    }
    pendingWidth_ = pendingHeight_ = 0;
}

std::string Window::caption() const { return SDL_GetWindowTitle(window_); }

int Window::clientWidth() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return w;
}

int Window::clientHeight() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return h;
}

std::uint32_t Window::id() const { return SDL_GetWindowID(window_); }

int Window::showCursor(bool show) {
    cursorCount_ += show ? 1 : -1;
    SDL_ShowCursor(cursorCount_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCount_;
}

ViewRect Window::view() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return letterbox(w, h, lastWidth_, lastHeight_);
}

void Window::warpCursor(int x, int y) {
    const ViewRect v = view();
    if (v.width <= 0 || v.height <= 0) return;
    const int wx = v.x + static_cast<int>(static_cast<std::int64_t>(x) * v.width / lastWidth_);
    const int wy = v.y + static_cast<int>(static_cast<std::int64_t>(y) * v.height / lastHeight_);
    SDL_WarpMouseInWindow(window_, wx, wy);
}

void Window::toBackBuffer(int windowX, int windowY, int& x, int& y) const {
    const ViewRect v = view();
    if (v.width <= 0 || v.height <= 0) {
        x = windowX;
        y = windowY;
        return;
    }
    // Floor division, so a point on the left or top bar stays negative.
    const auto scale = [](int pos, int origin, int viewSize, int sourceSize) {
        const std::int64_t n = static_cast<std::int64_t>(pos - origin) * sourceSize;
        std::int64_t q = n / viewSize;
        if (n % viewSize != 0 && n < 0) --q;
        return static_cast<int>(q);
    };
    x = scale(windowX, v.x, v.width, lastWidth_);
    y = scale(windowY, v.y, v.height, lastHeight_);
}

} // namespace tw::platform
