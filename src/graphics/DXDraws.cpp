// SPDX-License-Identifier: MIT
// The display component: option sets, display-mode choice, set-up and tear-down with their events and
// notifications, surface loss and restore, and the flip and blit strategies that present on the window.
#include "graphics/DXDraws.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/Window.h"

namespace {

bool validBitCount(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Runs f; an exception is kept (the first one) instead of stopping the caller's sequence.
template <class F>
void keepGoing(std::exception_ptr& first, F&& f) {
    try {
        f();
    } catch (...) {
        if (!first) first = std::current_exception();
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Display modes

void TDXDrawDisplay::SetBitCount(int value) {
    if (!validBitCount(value)) throw EDirectDrawError("It should be either of 8 or 16 or 24 or 32");
    bitCount_ = value;
}

bool FindDisplayMode(const std::vector<TDXDrawDisplayMode>& modes, const TDXDrawDisplay& wanted,
                     TDXDrawDisplayMode& chosen) {
    const int w = wanted.Width(), h = wanted.Height(), bits = wanted.BitCount();
    if (!validBitCount(bits) || w <= 0 || h <= 0) return false;
    const TDXDrawDisplayMode exact{w, h, bits};
    if (std::find(modes.begin(), modes.end(), exact) != modes.end()) {
        chosen = exact;
        return true;
    }
    auto search = [&](bool sameRatio, TDXDrawDisplayMode& best) {
        bool found = false;
        for (const TDXDrawDisplayMode& m : modes) {
            if (sameRatio && std::int64_t{m.Width} * h != std::int64_t{m.Height} * w) continue;
            const bool sizeFits = wanted.FixedSize ? (m.Width == w && m.Height == h) : (m.Width >= w && m.Height >= h);
            bool bitsFit;
            if (wanted.FixedBitCount)
                bitsFit = m.BitCount == bits;
            else if (m.BitCount <= 8 || bits <= 8)
                bitsFit = m.BitCount >= bits;
            else
                bitsFit = true;
            if (!sizeFits || !bitsFit) continue;
            if (!found || (m.Width <= best.Width && m.Height <= best.Height)) {
                best = m;
                found = true;
            }
        }
        return found;
    };
    TDXDrawDisplayMode best;
    bool found = wanted.FixedRatio && search(true, best);
    if (!found) found = search(false, best);
    if (!found) return false;
    if (best.BitCount != bits &&
        std::find(modes.begin(), modes.end(), TDXDrawDisplayMode{best.Width, best.Height, bits}) != modes.end())
        best.BitCount = bits;
    chosen = best;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Presentation strategies

TDXDrawDriver::TDXDrawDriver(TCustomDXDraw& owner) : owner_(owner) {
    owner_.frontShown_ = false;
    owner_.device_ = std::make_unique<TDirectDraw>();
    owner_.device_->SetVideoMemoryLimit(owner_.DeviceVideoMemory);
}

TDXDrawDriver::~TDXDrawDriver() {
    owner_.surface_.reset();
    owner_.primary_.reset();
    owner_.device_.reset();
    owner_.frontShown_ = false;
    owner_.currentMode_ = TDXDrawDisplayMode{};
}

bool TDXDrawDriver::SetSize(int, int) { return false; }

// Full screen with page flipping: a front surface and one back buffer of the display mode's size.
class TDXDrawDriverFlip : public TDXDrawDriver {
public:
    using TDXDrawDriver::TDXDrawDriver;

    void Initialize() override {
        int w = owner_.currentMode_.Width, h = owner_.currentMode_.Height;
        if (w <= 0 || h <= 0) {
            w = owner_.surfaceWidth_;
            h = owner_.surfaceHeight_;
        }
        try {
            owner_.primary_ = std::make_unique<TDirectDrawSurface>(owner_.device_.get());
            owner_.primary_->SetSize(w, h);
            owner_.surface_ = std::make_unique<TDirectDrawSurface>(owner_.device_.get());
            owner_.surface_->SetSize(w, h);
        } catch (const EDirectDrawSurfaceError&) {
            throw EDXDrawError("Primary Surface cannot be made");
        }
    }

    void Flip(bool) override {
        // Only the active window owns the screen; a flip while another window is in front shows nothing.
        if (!owner_.formActive_) return;
        TDirectDrawSurface& front = *owner_.primary_;
        const TDirectDrawSurface& back = *owner_.surface_;
        if (front.Width() == back.Width() && front.Height() == back.Height()) front.CopyChangedRows(back);
        owner_.showFront();
    }
};

// Windowed: the back surface is copied into the front (the window's client area) at its place.
class TDXDrawDriverBlt : public TDXDrawDriver {
public:
    using TDXDrawDriver::TDXDrawDriver;

    void Initialize() override {
        try {
            owner_.primary_ = std::make_unique<TDirectDrawSurface>(owner_.device_.get());
            owner_.primary_->SetSize(std::max(owner_.width_, 1), std::max(owner_.height_, 1));
        } catch (const EDirectDrawSurfaceError&) {
            throw EDXDrawError("Primary Surface cannot be made");
        }
        makeBack();
    }

    void Flip(bool) override {
        TDirectDrawSurface& front = *owner_.primary_;
        TDirectDrawSurface& back = *owner_.surface_;
        const TRect target = owner_.PresentRect();
        if (target == front.ClientRect() && target.Width() == back.Width() && target.Height() == back.Height()) {
            front.CopyChangedRows(back);
        } else {
            front.Fill(0);
            if (owner_.nowOptions_.Has(doStretch))
                stretch(back, front, target);
            else
                front.Draw(target.Left, target.Top, &back, false);
        }
        owner_.showFront();
    }

    bool SetSize(int width, int height) override {
        std::exception_ptr first;
        owner_.notify(dnFinalizeSurface);
        if (owner_.OnFinalizeSurface) keepGoing(first, [&] { owner_.OnFinalizeSurface(owner_); });
        owner_.surfaceWidth_ = std::max(width, 1);
        owner_.surfaceHeight_ = std::max(height, 1);
        makeBack();
        owner_.notify(dnInitializeSurface);
        if (owner_.OnInitializeSurface) keepGoing(first, [&] { owner_.OnInitializeSurface(owner_); });
        if (first) std::rethrow_exception(first);
        return true;
    }

private:
    void makeBack() {
        auto back = std::make_unique<TDirectDrawSurface>(owner_.device_.get());
        back->SetSystemMemory(owner_.nowOptions_.Has(doSystemMemory));
        try {
            back->SetSize(std::max(owner_.surfaceWidth_, 1), std::max(owner_.surfaceHeight_, 1));
        } catch (const EDirectDrawSurfaceError&) {
            throw EDXDrawError("Surface cannot be made");
        }
        if (back->SystemMemory()) owner_.nowOptions_.Include(doSystemMemory);
        back->Fill(0);
        owner_.surface_ = std::move(back);
    }

    // Nearest-pixel scaling of the whole back surface onto the target rectangle.
    static void stretch(const TDirectDrawSurface& src, TDirectDrawSurface& dst, const TRect& target) {
        TDDSurfaceDesc desc;
        if (target.Width() <= 0 || target.Height() <= 0 || !dst.Lock(desc)) return;
        auto* base = static_cast<std::uint8_t*>(desc.Bits);
        for (int y = std::max(target.Top, 0); y < std::min(target.Bottom, dst.Height()); ++y) {
            auto* out = reinterpret_cast<std::uint32_t*>(base + static_cast<std::ptrdiff_t>(y) * desc.Pitch);
            const int sy = static_cast<int>(std::int64_t{y - target.Top} * src.Height() / target.Height());
            for (int x = std::max(target.Left, 0); x < std::min(target.Right, dst.Width()); ++x) {
                const int sx = static_cast<int>(std::int64_t{x - target.Left} * src.Width() / target.Width());
                out[x] = src.Pixel(sx, sy);
            }
        }
        dst.Unlock();
    }
};

// ---------------------------------------------------------------------------------------------------
// The display component

TCustomDXDraw::TCustomDXDraw(tw::platform::Window* window) : window_(window) { updateNowOptions(); }

TCustomDXDraw::~TCustomDXDraw() {
    notify(dnDestroying);
    try {
        Finalize();
    } catch (...) {
        // A listener failing while the display goes away cannot be reported to anyone.
    }
    listeners_.clear();
}

void TCustomDXDraw::updateNowOptions() {
    TDXDrawOptions o = options_;
    if (!o.Has(doFullScreen)) o = o - TDXDrawOptions{doNoWindowChange, doAllowReboot, doAllowPalette256, doFlip};
    if (!o.Has(do3D)) o = o - TDXDrawOptions{doDirectX7Mode, doRetainedMode, doHardware, doSelectDriver, doZBuffer};
    if (o.Has(doSystemMemory)) o.Exclude(doFlip);
    if (o.Has(doDirectX7Mode)) o.Exclude(doRetainedMode);
    o.Exclude(doHardware);
    nowOptions_ = o;
}

void TCustomDXDraw::SetOptions(TDXDrawOptions value) {
    if (initialized_) {
        // A running display takes only what needs no new device: the presentation's timing and placement.
        const TDXDrawOptions live{doWaitVBlank, doStretch, doCenter};
        nowOptions_ = (nowOptions_ - live) + (value * live);
        if (!nowOptions_.Has(do3D))
            nowOptions_ = nowOptions_ - TDXDrawOptions{doRetainedMode, doHardware, doSelectDriver, doZBuffer};
        options_ = value;
    } else {
        options_ = value;
        updateNowOptions();
    }
}

void TCustomDXDraw::SetSurfaceWidth(int value) { resizeBack(value, surfaceHeight_); }
void TCustomDXDraw::SetSurfaceHeight(int value) { resizeBack(surfaceWidth_, value); }

void TCustomDXDraw::resizeBack(int width, int height) {
    const bool changed = width != surfaceWidth_ || height != surfaceHeight_;
    surfaceWidth_ = width;
    surfaceHeight_ = height;
    // The flip strategy cannot resize; the size then waits for the next Initialize.
    if (changed && initialized_ && !updating_ && driver_) driver_->SetSize(width, height);
}

void TCustomDXDraw::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
}

const std::vector<TDXDrawDisplayMode>& TCustomDXDraw::DisplayModes() {
    if (!modesListed_) {
        modes_ = DeviceModes;
        modesListed_ = true;
    }
    return modes_;
}

void TCustomDXDraw::setDisplayMode() {
    TDXDrawDisplayMode chosen;
    if (!FindDisplayMode(DisplayModes(), Display, chosen)) {
        char text[96];
        std::snprintf(text, sizeof text, "Display mode cannot be changed (%dx%d %dbit)", Display.Width(),
                      Display.Height(), Display.BitCount());
        throw EDXDrawError(text);
    }
    currentMode_ = chosen;
}

void TCustomDXDraw::Initialize() {
    initializedOnce_ = true;
    if (initialized_) Finalize();
    if (!hasParentForm_) throw EDXDrawError("Form not found");

    initializing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{initializing_};

    try {
        if (OnInitializing) OnInitializing(*this);
        updating_ = true;
        notify(dnInitializing);
        if (nowOptions_.Has(doFlip))
            driver_ = std::make_unique<TDXDrawDriverFlip>(*this);
        else
            driver_ = std::make_unique<TDXDrawDriverBlt>(*this);

        const bool fullScreen = nowOptions_.Has(doFullScreen);
        if (fullScreen)
            cooperativeLevel_ = nowOptions_.Has(doNoWindowChange) ? 0x55u : 0x51u;
        else
            cooperativeLevel_ = 8u;
        if (nowOptions_.Has(doAllowReboot)) cooperativeLevel_ |= 2u;

        if (fullScreen) setDisplayMode();
        if (window_ != nullptr && window_->isFullScreen() != fullScreen) window_->setFullScreen(fullScreen);

        if (AutoSize) {
            surfaceWidth_ = width_;
            surfaceHeight_ = height_;
        }
        driver_->Initialize();
        updating_ = false;
    } catch (...) {
        Finalize();
        throw;
    }

    initialized_ = true;
    notify(dnSetSurfaceSize);
    notify(dnInitialize);
    eventsFired_ = true;
    if (OnInitialize) OnInitialize(*this);
    notify(dnInitializeSurface);
    surfaceInitialized_ = true;
    if (OnInitializeSurface) OnInitializeSurface(*this);
    Restore();
}

void TCustomDXDraw::Finalize() {
    if (!initialized_ && !initializing_) return;
    if (surface_) {
        surfaceWidth_ = surface_->Width();
        surfaceHeight_ = surface_->Height();
    }
    modes_.clear();
    modesListed_ = false;
    updating_ = true;
    std::exception_ptr first;
    if (surfaceInitialized_) {
        if (OnFinalizeSurface) keepGoing(first, [&] { OnFinalizeSurface(*this); });
        keepGoing(first, [&] { notify(dnFinalizeSurface); });
    }
    if (eventsFired_) {
        if (OnFinalize) keepGoing(first, [&] { OnFinalize(*this); });
        keepGoing(first, [&] { notify(dnFinalize); });
    }
    initialized_ = false;
    surfaceInitialized_ = false;
    eventsFired_ = false;
    updating_ = false;
    updateNowOptions();
    driver_.reset();
    if (first) std::rethrow_exception(first);
}

void TCustomDXDraw::Restore() {
    if (!initialized_ || updating_ || !primary_ || !surface_) return;
    const bool frontBack = primary_->Restore();
    const bool back = surface_->Restore();
    if (!frontBack || !back) return;
    primary_->Fill(0);
    surface_->Fill(0);
    notify(dnRestore);
    if (OnRestoreSurface) OnRestoreSurface(*this);
}

bool TCustomDXDraw::CheckSurfaces() {
    if (!initialized_ || updating_ || !primary_) return false;
    auto lost = [&] {
        return primary_->IsLost() == ddresult::SurfaceLost || (surface_ && surface_->IsLost() == ddresult::SurfaceLost);
    };
    if (!lost()) return true;
    Restore();
    return !lost();
}

bool TCustomDXDraw::CanDraw() { return initialized_ && !updating_ && surface_ && CheckSurfaces(); }

bool TCustomDXDraw::PictureSeen() const { return window_ == nullptr || window_->pictureSeen(); }

void TCustomDXDraw::Flip() {
    if (!PictureSeen()) {
        // Minimised or hidden: comparing and sending a picture nobody sees is wasted work. The
        // window may have lost its contents by the time it is back, so the next picture goes out whole.
        frontShown_ = false;
        return;
    }
    if (initialized_ && !updating_ && CheckSurfaces()) driver_->Flip(nowOptions_.Has(doWaitVBlank));
}

TRect TCustomDXDraw::PresentRect() const {
    const int bw = surface_ ? surface_->Width() : 0, bh = surface_ ? surface_->Height() : 0;
    if (nowOptions_.Has(doStretch)) return TRect{0, 0, width_, height_};
    if (nowOptions_.Has(doCenter)) return Bounds((width_ - bw) / 2, (height_ - bh) / 2, bw, bh);
    return TRect{0, 0, bw, bh};
}

void TCustomDXDraw::showFront() {
    ++presents_;
    const TDirectDrawSurface& front = *primary_;
    // The front surface is the picture last handed to the window; while its pixels have not changed
    // the window need not compare them again.
    const bool same = frontShown_ && front.Generation() == frontGeneration_;
    if (window_ != nullptr)
        window_->present(front.Pixels(), front.Width(), front.Height(), front.PitchPixels(),
                         same ? tw::platform::Picture::Same : tw::platform::Picture::New);
    frontShown_ = true;
    frontGeneration_ = front.Generation();
    if (OnPresent) OnPresent(front);
}

void TCustomDXDraw::notifyOne(TDXDrawNotifyListener* listener, TDXDrawNotifyType type) {
    listener->DXDrawNotify(*this, type);
}

void TCustomDXDraw::notify(TDXDrawNotifyType type) {
    // Last registered first; a listener that unregisters (itself or another) on the way is skipped after.
    const std::vector<TDXDrawNotifyListener*> snapshot = listeners_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it)
        if (std::find(listeners_.begin(), listeners_.end(), *it) != listeners_.end()) notifyOne(*it, type);
}

void TCustomDXDraw::RegisterNotify(TDXDrawNotifyListener* listener) {
    if (listener == nullptr) return;
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
    listeners_.push_back(listener);
    notifyOne(listener, dnSetSurfaceSize);
    if (initialized_) {
        notifyOne(listener, dnInitialize);
        if (surfaceInitialized_) notifyOne(listener, dnInitializeSurface);
        // During an Initialize the dnRestore to everybody is still to come.
        if (!initializing_) notifyOne(listener, dnRestore);
    }
}

void TCustomDXDraw::UnregisterNotify(TDXDrawNotifyListener* listener) {
    auto it = std::find(listeners_.begin(), listeners_.end(), listener);
    if (it == listeners_.end()) return;
    listeners_.erase(it);
    if (surfaceInitialized_) notifyOne(listener, dnFinalizeSurface);
    if (initialized_) notifyOne(listener, dnFinalize);
}

void TCustomDXDraw::FormShown() {
    if (AutoInitialize && !initializedOnce_) Initialize();
}

void TCustomDXDraw::FormDestroying() { Finalize(); }

void TCustomDXDraw::FormActivate(bool active) {
    formActive_ = active;
    if (!active) flipToGdi();
}

void TCustomDXDraw::flipToGdi() {
    // The desktop's own windows become visible over a page-flipped screen.
    if (initialized_ && nowOptions_.Has(doFullScreen) && nowOptions_.Has(doFlip)) ++gdiFlips_;
}

void TCustomDXDraw::Paint() {
    if (initialized_ && !updating_ && primary_ && surface_) driver_->Flip(false);
}
