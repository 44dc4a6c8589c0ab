// SPDX-License-Identifier: MIT
// The display component: device, front and back surfaces, the option sets, set-up and tear-down with
// their notifications to registered listeners, and presenting the back buffer on the window.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <vector>

#include "graphics/Surface.h"

namespace tw::platform {
class Window;
}

// "Form not found", "Display mode cannot be changed (%dx%d %dbit)", "%s cannot be made".
class EDXDrawError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TDXDrawOption : std::uint8_t {
    doFullScreen = 0,
    doNoWindowChange,
    doAllowReboot,
    doWaitVBlank,
    doAllowPalette256,
    doSystemMemory,
    doStretch,
    doCenter,
    doFlip,
    do3D,
    doDirectX7Mode,
    doRetainedMode,
    doHardware,
    doSelectDriver,
    doZBuffer
};

// A set of TDXDrawOption, bit n for option n.
class TDXDrawOptions {
public:
    constexpr TDXDrawOptions() = default;
    constexpr TDXDrawOptions(std::initializer_list<TDXDrawOption> options) {
        for (auto o : options) bits_ = static_cast<std::uint16_t>(bits_ | bit(o));
    }
    static constexpr TDXDrawOptions FromBits(std::uint16_t bits) {
        TDXDrawOptions s;
        s.bits_ = static_cast<std::uint16_t>(bits & 0x7FFF);
        return s;
    }
    constexpr std::uint16_t Bits() const { return bits_; }
    constexpr bool Has(TDXDrawOption o) const { return (bits_ & bit(o)) != 0; }
    constexpr TDXDrawOptions& Include(TDXDrawOption o) {
        bits_ = static_cast<std::uint16_t>(bits_ | bit(o));
        return *this;
    }
    constexpr TDXDrawOptions& Exclude(TDXDrawOption o) {
        bits_ = static_cast<std::uint16_t>(bits_ & ~bit(o));
        return *this;
    }
    constexpr TDXDrawOptions operator+(TDXDrawOptions o) const {
        return FromBits(static_cast<std::uint16_t>(bits_ | o.bits_));
    }
    constexpr TDXDrawOptions operator-(TDXDrawOptions o) const {
        return FromBits(static_cast<std::uint16_t>(bits_ & ~o.bits_));
    }
    constexpr TDXDrawOptions operator*(TDXDrawOptions o) const {
        return FromBits(static_cast<std::uint16_t>(bits_ & o.bits_));
    }
    constexpr bool operator==(const TDXDrawOptions&) const = default;

private:
    static constexpr std::uint16_t bit(TDXDrawOption o) { return static_cast<std::uint16_t>(1u << o); }
    std::uint16_t bits_ = 0;
};

enum TDXDrawNotifyType : std::uint8_t {
    dnDestroying = 0,
    dnInitializing,
    dnInitialize,
    dnInitializeSurface,
    dnFinalize,
    dnFinalizeSurface,
    dnRestore,
    dnSetSurfaceSize
};

class TCustomDXDraw;

// Whoever keeps device resources made from the display's surfaces (picture lists, the sprite engine).
class TDXDrawNotifyListener {
public:
    virtual ~TDXDrawNotifyListener() = default;
    virtual void DXDrawNotify(TCustomDXDraw& sender, TDXDrawNotifyType notifyType) = 0;
};

struct TDXDrawDisplayMode {
    int Width = 0, Height = 0, BitCount = 0;
    bool operator==(const TDXDrawDisplayMode&) const = default;
};

// The full-screen display mode wanted, and the rules for choosing a near one.
class TDXDrawDisplay {
public:
    int BitCount() const { return bitCount_; }
    // Throws EDirectDrawError "It should be either of 8 or 16 or 24 or 32".
    void SetBitCount(int value);
    int Width() const { return width_; }
    void SetWidth(int value) { width_ = value < 0 ? 0 : value; }
    int Height() const { return height_; }
    void SetHeight(int value) { height_ = value < 0 ? 0 : value; }
    bool FixedBitCount = false, FixedRatio = false, FixedSize = false;

private:
    int bitCount_ = 8;
    int width_ = 640, height_ = 480;
};

// The mode to set for `wanted` among the device's modes (the exact one when listed); false when none
// fits. Bit counts other than 8/16/24/32 and sizes of 0 or less never fit.
bool FindDisplayMode(const std::vector<TDXDrawDisplayMode>& modes, const TDXDrawDisplay& wanted,
                     TDXDrawDisplayMode& chosen);

// A presentation strategy: makes the device and the surfaces, and shows the back surface.
class TDXDrawDriver {
public:
    explicit TDXDrawDriver(TCustomDXDraw& owner);
    virtual ~TDXDrawDriver();
    TDXDrawDriver(const TDXDrawDriver&) = delete;
    TDXDrawDriver& operator=(const TDXDrawDriver&) = delete;

    virtual void Flip(bool waitVBlank) = 0;
    virtual void Initialize() = 0;               // makes the front and back surfaces
    virtual bool SetSize(int width, int height); // resizes the back surface; false when it cannot

protected:
    TCustomDXDraw& owner_;
};

class TCustomDXDraw {
public:
    using TNotifyEvent = std::function<void(TCustomDXDraw& sender)>;

    // window may be nullptr: nothing is presented (tests, the screenshot host). Not owned.
    explicit TCustomDXDraw(tw::platform::Window* window);
    virtual ~TCustomDXDraw();
    TCustomDXDraw(const TCustomDXDraw&) = delete;
    TCustomDXDraw& operator=(const TCustomDXDraw&) = delete;

    tw::platform::Window* Window() const { return window_; }

    // Published properties.
    bool AutoInitialize = true;
    bool AutoSize = true;
    TDXDrawDisplay Display;
    TDXDrawOptions Options() const { return options_; }
    void SetOptions(TDXDrawOptions value);
    TDXDrawOptions NowOptions() const { return nowOptions_; } // the effective set
    int SurfaceWidth() const { return surfaceWidth_; }
    int SurfaceHeight() const { return surfaceHeight_; }
    void SetSurfaceWidth(int value);
    void SetSurfaceHeight(int value);
    TNotifyEvent OnInitialize, OnInitializing, OnInitializeSurface, OnFinalize, OnFinalizeSurface, OnRestoreSurface;

    // The control's place on its form (a new control is 100 x 100).
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    // The control sits on a form; without one Initialize fails with "Form not found".
    bool HasParentForm() const { return hasParentForm_; }
    void SetParentForm(bool value) { hasParentForm_ = value; }

    void Initialize();
    void Finalize();
    void Restore();
    bool CheckSurfaces();
    bool CanDraw();
    // Whether the window shows what is presented: not while it is minimised or hidden (always
    // without a window). The ticks go on regardless; only drawing and presenting can rest.
    bool PictureSeen() const;
    // Shows the back surface; does nothing while the picture cannot be seen.
    void Flip();

    bool Initialized() const { return initialized_; }
    bool SurfaceInitialized() const { return surfaceInitialized_; }
    bool Updating() const { return updating_; }

    TDirectDraw* DDraw() const { return device_.get(); }
    TDirectDrawSurface* Primary() const { return primary_.get(); } // what the screen shows
    TDirectDrawSurface* Surface() const { return surface_.get(); } // the back buffer: draw here

    // Listeners are told last registered first. Registering again moves a listener to the end.
    void RegisterNotify(TDXDrawNotifyListener* listener);
    void UnregisterNotify(TDXDrawNotifyListener* listener);

    // The device's settings, handed to each new device: its display modes and video memory.
    std::vector<TDXDrawDisplayMode> DeviceModes{{640, 480, 16}, {640, 480, 32},  {800, 600, 16},
                                                {800, 600, 32}, {1024, 768, 16}, {1024, 768, 32}};
    std::int64_t DeviceVideoMemory = -1; // bytes; negative: no limit
    // The device's display modes as enumerated (on first use; cleared at Finalize).
    const std::vector<TDXDrawDisplayMode>& DisplayModes();
    TDXDrawDisplayMode CurrentDisplayMode() const { return currentMode_; }
    std::uint32_t CooperativeLevel() const { return cooperativeLevel_; }

    // The form's window, as the display sees it.
    void FormShown();      // Initialize once, with AutoInitialize
    void FormDestroying(); // Finalize
    void FormActivate(bool active);
    void Paint(); // shows the back surface once more, without waiting
    bool FormActive() const { return formActive_; }
    int GdiFlipCount() const { return gdiFlips_; } // times the desktop was let through (full screen)
    int PresentCount() const { return presents_; }
    // Where the back surface lands on the control when presented in a window.
    TRect PresentRect() const;

    // Optional: called with each presented frame (the front surface), e.g. to record it.
    std::function<void(const TDirectDrawSurface& front)> OnPresent;

private:
    friend class TDXDrawDriver;
    friend class TDXDrawDriverFlip;
    friend class TDXDrawDriverBlt;
    void notify(TDXDrawNotifyType type);
    void notifyOne(TDXDrawNotifyListener* listener, TDXDrawNotifyType type);
    void updateNowOptions();
    void setDisplayMode();
    void showFront();
    void flipToGdi();
    void resizeBack(int width, int height);

    tw::platform::Window* window_;
    TDXDrawOptions options_{doAllowReboot, doWaitVBlank, doCenter, doFlip, doHardware, doSelectDriver};
    TDXDrawOptions nowOptions_;
    int surfaceWidth_ = 640, surfaceHeight_ = 480;
    int left_ = 0, top_ = 0, width_ = 100, height_ = 100;
    bool hasParentForm_ = true;
    bool formActive_ = true;

    bool initializedOnce_ = false;
    bool initializing_ = false;
    bool initialized_ = false;
    bool updating_ = false;
    bool surfaceInitialized_ = false;
    bool eventsFired_ = false;
    bool modesListed_ = false;
    std::vector<TDXDrawDisplayMode> modes_;
    TDXDrawDisplayMode currentMode_;
    std::uint32_t cooperativeLevel_ = 0;
    int gdiFlips_ = 0;
    int presents_ = 0;
    // The front surface's state when it was last presented; a new device starts unknown.
    bool frontShown_ = false;
    std::uint64_t frontGeneration_ = 0;

    std::vector<TDXDrawNotifyListener*> listeners_;
    std::unique_ptr<TDirectDraw> device_;
    std::unique_ptr<TDirectDrawSurface> primary_;
    std::unique_ptr<TDirectDrawSurface> surface_;
    std::unique_ptr<TDXDrawDriver> driver_;
};

// The component the main form places; the game's display.
class TDXDraw : public TCustomDXDraw {
public:
    using TCustomDXDraw::TCustomDXDraw;
};
