// SPDX-License-Identifier: MIT
// The display component: effective options, display-mode choice, the order of events and
// notifications through set-up, loss, resize and tear-down, failures, and what a flip shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/DXDraws.h"
#include "platform/Window.h"

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

const char* name(TDXDrawNotifyType t) {
    static const char* names[] = {"dnDestroying", "dnInitializing",    "dnInitialize", "dnInitializeSurface",
                                  "dnFinalize",   "dnFinalizeSurface", "dnRestore",    "dnSetSurfaceSize"};
    return names[t];
}

struct Log {
    std::vector<std::string> lines;
    void add(const std::string& s) { lines.push_back(s); }
};

class Listener : public TDXDrawNotifyListener {
public:
    Listener(Log& log, std::string tag) : log_(log), tag_(std::move(tag)) {}
    void DXDrawNotify(TCustomDXDraw&, TDXDrawNotifyType t) override { log_.add(tag_ + ":" + name(t)); }

private:
    Log& log_;
    std::string tag_;
};

using Lines = std::vector<std::string>;

const TDXDrawOptions kGameOptions{doAllowReboot,  doWaitVBlank, doCenter,      doFlip,
                                  doDirectX7Mode, doHardware,   doSelectDriver};

// The display as the game's form sets it up: 800 x 600 control, 800 x 600 x 32 fixed.
void setUpLikeTheGame(TDXDraw& d, bool fullScreen) {
    d.SetBounds(0, 0, 800, 600);
    d.Display.SetWidth(800);
    d.Display.SetHeight(600);
    d.Display.SetBitCount(32);
    d.Display.FixedBitCount = d.Display.FixedRatio = d.Display.FixedSize = true;
    TDXDrawOptions o = kGameOptions;
    if (fullScreen) o.Include(doFullScreen);
    d.SetOptions(o);
}

void logEvents(TDXDraw& d, Log& log) {
    d.OnInitializing = [&](TCustomDXDraw&) { log.add("OnInitializing"); };
    d.OnInitialize = [&](TCustomDXDraw&) { log.add("OnInitialize"); };
    d.OnInitializeSurface = [&](TCustomDXDraw&) { log.add("OnInitializeSurface"); };
    d.OnRestoreSurface = [&](TCustomDXDraw&) { log.add("OnRestoreSurface"); };
    d.OnFinalizeSurface = [&](TCustomDXDraw&) { log.add("OnFinalizeSurface"); };
    d.OnFinalize = [&](TCustomDXDraw&) { log.add("OnFinalize"); };
}

} // namespace

TEST(DXDrawOptions, EffectiveOptionsAsComputed) {
    struct Case {
        const char* what;
        TDXDrawOptions set, effective;
    };
    const Case cases[] = {
        {"defaults",
         {doAllowReboot, doWaitVBlank, doCenter, doFlip, doHardware, doSelectDriver},
         {doWaitVBlank, doCenter}},
        {"game windowed", kGameOptions, {doWaitVBlank, doCenter}},
        {"game full screen",
         kGameOptions + TDXDrawOptions{doFullScreen},
         {doFullScreen, doAllowReboot, doWaitVBlank, doCenter, doFlip}},
        {"system memory rules out flipping", {doFullScreen, doFlip, doSystemMemory}, {doFullScreen, doSystemMemory}},
        {"3-D with DirectX 7 drops retained mode, hardware always",
         {do3D, doDirectX7Mode, doRetainedMode, doHardware, doZBuffer},
         {do3D, doDirectX7Mode, doZBuffer}},
        {"windowed drops the full-screen-only ones", {doNoWindowChange, doAllowPalette256, doStretch}, {doStretch}},
    };
    for (const Case& c : cases) {
        TDXDraw d(nullptr);
        d.SetOptions(c.set);
        EXPECT_EQ(d.Options(), c.set) << c.what;
        EXPECT_EQ(d.NowOptions().Bits(), c.effective.Bits()) << c.what;
    }
}

TEST(DXDrawOptions, WhileInitialisedOnlyTimingAndPlacementChange) {
    TDXDraw d(nullptr);
    setUpLikeTheGame(d, false);
    d.Initialize();
    d.SetOptions(TDXDrawOptions{doFullScreen, doFlip, doStretch});
    EXPECT_FALSE(d.NowOptions().Has(doWaitVBlank));
    EXPECT_FALSE(d.NowOptions().Has(doCenter));
    EXPECT_TRUE(d.NowOptions().Has(doStretch));
    EXPECT_FALSE(d.NowOptions().Has(doFullScreen));
    EXPECT_FALSE(d.NowOptions().Has(doFlip));
    // The next set-up takes the whole new set.
    d.Finalize();
    EXPECT_TRUE(d.NowOptions().Has(doFullScreen));
    EXPECT_TRUE(d.NowOptions().Has(doFlip));
}

TEST(DXDrawDisplay, BitCountIsCheckedAndNegativeSizesStoredAsZero) {
    TDXDrawDisplay disp;
    EXPECT_EQ(disp.BitCount(), 8);
    try {
        disp.SetBitCount(15);
        FAIL();
    } catch (const EDirectDrawError& e) {
        EXPECT_STREQ(e.what(), "It should be either of 8 or 16 or 24 or 32");
    }
    EXPECT_EQ(disp.BitCount(), 8);
    disp.SetWidth(-5);
    EXPECT_EQ(disp.Width(), 0);
}

TEST(DXDrawDisplay, ModeSearch) {
    const std::vector<TDXDrawDisplayMode> modes{{640, 480, 8},   {1280, 1024, 32}, {1024, 768, 32},
                                                {1024, 768, 16}, {800, 600, 16},   {1280, 720, 32}};
    struct Case {
        const char* what;
        int w, h, bits;
        bool fixedBits, fixedRatio, fixedSize;
        bool found;
        TDXDrawDisplayMode mode;
    };
    const Case cases[] = {
        {"exact", 800, 600, 16, false, false, false, true, {800, 600, 16}},
        {"the game's fixed mode missing", 800, 600, 32, true, true, true, false, {}},
        {"smallest that holds it, any depth above 8", 800, 600, 32, false, false, false, true, {800, 600, 16}},
        {"the wanted depth where the chosen size has it", 900, 700, 32, false, false, false, true, {1024, 768, 32}},
        {"fixed depth", 700, 500, 32, true, false, false, true, {1024, 768, 32}},
        {"same ratio first", 640, 360, 32, false, true, false, true, {1280, 720, 32}},
        {"without the ratio rule", 640, 360, 32, false, false, false, true, {800, 600, 16}},
        {"8-bit wants at least 8", 600, 400, 8, false, false, false, true, {640, 480, 8}},
        {"too big", 2000, 2000, 32, false, false, false, false, {}},
        {"zero size", 0, 600, 32, false, false, false, false, {}},
    };
    for (const Case& c : cases) {
        TDXDrawDisplay want;
        want.SetWidth(c.w);
        want.SetHeight(c.h);
        want.SetBitCount(c.bits);
        want.FixedBitCount = c.fixedBits;
        want.FixedRatio = c.fixedRatio;
        want.FixedSize = c.fixedSize;
        TDXDrawDisplayMode got;
        EXPECT_EQ(FindDisplayMode(modes, want, got), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(got, c.mode) << c.what;
        }
    }
}

TEST(DXDrawNotify, InitializeAndFinalizeInOrderLastRegisteredFirst) {
    Log log;
    Listener a(log, "A"), b(log, "B");
    TDXDraw d(nullptr);
    setUpLikeTheGame(d, false);
    logEvents(d, log);
    d.RegisterNotify(&a);
    d.RegisterNotify(&b);
    EXPECT_EQ(log.lines, (Lines{"A:dnSetSurfaceSize", "B:dnSetSurfaceSize"}));
    log.lines.clear();

    d.Initialize();
    EXPECT_EQ(log.lines, (Lines{"OnInitializing", "B:dnInitializing", "A:dnInitializing", "B:dnSetSurfaceSize",
                                "A:dnSetSurfaceSize", "B:dnInitialize", "A:dnInitialize", "OnInitialize",
                                "B:dnInitializeSurface", "A:dnInitializeSurface", "OnInitializeSurface", "B:dnRestore",
                                "A:dnRestore", "OnRestoreSurface"}));
    EXPECT_TRUE(d.Initialized());
    EXPECT_TRUE(d.CanDraw());
    ASSERT_NE(d.Surface(), nullptr);
    EXPECT_EQ(d.Surface()->Width(), 800);
    EXPECT_EQ(d.Surface()->Height(), 600);
    EXPECT_EQ(d.CooperativeLevel(), 8u);
    log.lines.clear();

    d.Finalize();
    EXPECT_EQ(log.lines, (Lines{"OnFinalizeSurface", "B:dnFinalizeSurface", "A:dnFinalizeSurface", "OnFinalize",
                                "B:dnFinalize", "A:dnFinalize"}));
    EXPECT_FALSE(d.Initialized());
    EXPECT_FALSE(d.CanDraw());
    EXPECT_EQ(d.Surface(), nullptr);
    EXPECT_EQ(d.SurfaceWidth(), 800) << "the back-buffer size is kept";
    log.lines.clear();
    d.Finalize();
    EXPECT_TRUE(log.lines.empty()) << "a second Finalize does nothing";
}

TEST(DXDrawNotify, RegisterAndUnregisterCatchUpWithTheState) {
    Log log;
    Listener a(log, "A"), late(log, "L"), never(log, "N");
    TDXDraw d(nullptr);
    d.RegisterNotify(&a);
    d.Initialize();
    log.lines.clear();

    d.RegisterNotify(&late);
    EXPECT_EQ(log.lines, (Lines{"L:dnSetSurfaceSize", "L:dnInitialize", "L:dnInitializeSurface", "L:dnRestore"}));
    log.lines.clear();

    d.UnregisterNotify(&late);
    EXPECT_EQ(log.lines, (Lines{"L:dnFinalizeSurface", "L:dnFinalize"}));
    log.lines.clear();
    d.UnregisterNotify(&never);
    EXPECT_TRUE(log.lines.empty());

    // Registering twice keeps one entry: one notification each.
    d.RegisterNotify(&a);
    log.lines.clear();
    d.Restore();
    EXPECT_EQ(log.lines, (Lines{"A:dnRestore"}));

    // A listener registered while the display is being set up gets its dnRestore with everybody.
    TDXDraw e(nullptr);
    log.lines.clear();
    e.OnInitialize = [&](TCustomDXDraw& sender) { sender.RegisterNotify(&late); };
    e.Initialize();
    EXPECT_EQ(log.lines, (Lines{"L:dnSetSurfaceSize", "L:dnInitialize", "L:dnInitializeSurface", "L:dnRestore"}));
    e.UnregisterNotify(&late);
}

TEST(DXDrawNotify, DestroyingThenFinalizing) {
    Log log;
    Listener a(log, "A");
    {
        TDXDraw d(nullptr);
        d.Initialize();
        d.RegisterNotify(&a);
        log.lines.clear();
    }
    EXPECT_EQ(log.lines, (Lines{"A:dnDestroying", "A:dnFinalizeSurface", "A:dnFinalize"}));
}

TEST(DXDrawNotify, FinalizeSendsItsNotificationsEvenWhenAnEventFails) {
    Log log;
    Listener a(log, "A");
    TDXDraw d(nullptr);
    d.RegisterNotify(&a);
    d.Initialize();
    log.lines.clear();
    d.OnFinalizeSurface = [](TCustomDXDraw&) { throw std::runtime_error("boom"); };
    EXPECT_THROW(d.Finalize(), std::runtime_error);
    EXPECT_EQ(log.lines, (Lines{"A:dnFinalizeSurface", "A:dnFinalize"}));
    EXPECT_FALSE(d.Initialized());
    EXPECT_EQ(d.DDraw(), nullptr);
}

TEST(DXDrawInitialize, FailuresFinaliseAndReachTheCaller) {
    struct Case {
        const char* what;
        void (*prepare)(TDXDraw&);
        const char* message;
    };
    const Case cases[] = {
        {"no form", [](TDXDraw& d) { d.SetParentForm(false); }, "Form not found"},
        {"full-screen mode missing",
         [](TDXDraw& d) {
             setUpLikeTheGame(d, true);
             d.DeviceModes = {{640, 480, 32}};
         },
         "Display mode cannot be changed (800x600 32bit)"},
        {"front surface too big", [](TDXDraw& d) { d.SetBounds(0, 0, 1 << 15, 1 << 15); },
         "Primary Surface cannot be made"},
        {"back surface too big",
         [](TDXDraw& d) {
             d.AutoSize = false;
             d.SetSurfaceWidth(1 << 15);
             d.SetSurfaceHeight(1 << 15);
         },
         "Surface cannot be made"},
    };
    for (const Case& c : cases) {
        Log log;
        Listener a(log, "A");
        TDXDraw d(nullptr);
        c.prepare(d);
        d.RegisterNotify(&a);
        EXPECT_THAT([&] { d.Initialize(); }, ThrowsMessage<EDXDrawError>(StrEq(c.message))) << c.what;
        EXPECT_FALSE(d.Initialized()) << c.what;
        EXPECT_FALSE(d.Updating()) << c.what;
        EXPECT_EQ(d.DDraw(), nullptr) << c.what;
        EXPECT_FALSE(d.CanDraw()) << c.what;
        for (const std::string& line : log.lines)
            EXPECT_TRUE(line == "A:dnSetSurfaceSize" || line == "A:dnInitializing") << c.what << ": " << line;
    }
}

TEST(DXDrawInitialize, FormShownInitialisesOnlyTheFirstTime) {
    TDXDraw d(nullptr);
    d.FormShown();
    EXPECT_TRUE(d.Initialized());
    d.Finalize();
    d.FormShown();
    EXPECT_FALSE(d.Initialized());
    TDXDraw manual(nullptr);
    manual.AutoInitialize = false;
    manual.FormShown();
    EXPECT_FALSE(manual.Initialized());
}

TEST(DXDrawSurfaces, LostSurfacesAreRestoredByCanDrawAndListenersRefill) {
    Log log;
    Listener a(log, "A");
    TDXDraw d(nullptr);
    d.Initialize();
    d.RegisterNotify(&a);
    d.Surface()->Fill(0x777777);
    log.lines.clear();
    EXPECT_TRUE(d.CanDraw());
    EXPECT_TRUE(log.lines.empty()) << "nothing to restore";

    d.DDraw()->LoseAllSurfaces();
    EXPECT_TRUE(d.CanDraw());
    EXPECT_EQ(log.lines, (Lines{"A:dnRestore"}));
    EXPECT_EQ(d.Surface()->Pixel(5, 5), 0u) << "restored surfaces are cleared";
    EXPECT_EQ(d.Surface()->IsLost(), ddresult::Ok);
}

TEST(DXDrawFlip, WindowedPresentsAtTheTopLeftOrCentred) {
    TDXDraw d(nullptr);
    setUpLikeTheGame(d, false);
    d.Initialize();
    EXPECT_EQ(d.PresentRect(), Rect(0, 0, 800, 600));
    d.Surface()->SetPixel(0, 0, 0x010203);
    d.Flip();
    EXPECT_EQ(d.PresentCount(), 1);
    EXPECT_EQ(d.Primary()->Pixel(0, 0), 0x010203u);

    // A smaller back surface is centred in the control.
    TDXDraw small(nullptr);
    small.SetBounds(0, 0, 800, 600);
    small.AutoSize = false;
    small.SetSurfaceWidth(400);
    small.SetSurfaceHeight(300);
    small.Initialize();
    EXPECT_EQ(small.PresentRect(), Rect(200, 150, 600, 450));
    small.Surface()->Fill(0xFFFFFF);
    small.Flip();
    EXPECT_EQ(small.Primary()->Pixel(199, 150), 0u);
    EXPECT_EQ(small.Primary()->Pixel(200, 150), 0xFFFFFFu);
    EXPECT_EQ(small.Primary()->Pixel(599, 449), 0xFFFFFFu);
    EXPECT_EQ(small.Primary()->Pixel(600, 449), 0u);
}

TEST(DXDrawFlip, FullScreenFlipsOnlyWhenActive) {
    TDXDraw d(nullptr);
    setUpLikeTheGame(d, true);
    d.Initialize();
    EXPECT_EQ(d.CooperativeLevel(), 0x53u);
    EXPECT_EQ(d.CurrentDisplayMode(), (TDXDrawDisplayMode{800, 600, 32}));
    d.Flip();
    EXPECT_EQ(d.PresentCount(), 1);
    d.FormActivate(false);
    EXPECT_EQ(d.GdiFlipCount(), 1);
    d.Flip();
    EXPECT_EQ(d.PresentCount(), 1);
    d.FormActivate(true);
    d.Flip();
    EXPECT_EQ(d.PresentCount(), 2);
}

TEST(DXDrawResize, BlitStrategyReplacesTheBackSurface) {
    Log log;
    Listener a(log, "A");
    TDXDraw d(nullptr);
    d.Initialize();
    d.RegisterNotify(&a);
    log.lines.clear();
    d.SetSurfaceWidth(0); // at least 1
    EXPECT_EQ(d.Surface()->Width(), 1);
    EXPECT_EQ(log.lines, (Lines{"A:dnFinalizeSurface", "A:dnInitializeSurface"}));
}

TEST(DXDrawWindow, PresentsOnTheWindowAndSwitchesItsFullScreen) {
    tw::platform::Window window;
    TDXDraw d(&window);
    setUpLikeTheGame(d, true);
    d.Initialize();
    EXPECT_TRUE(window.isFullScreen());
    d.Surface()->Fill(0x336699);
    const int before = window.presentCount();
    d.Flip();
    EXPECT_EQ(window.presentCount(), before + 1);
    d.Paint();
    EXPECT_EQ(window.presentCount(), before + 2);

    d.Finalize();
    d.SetOptions(kGameOptions);
    d.Initialize();
    EXPECT_FALSE(window.isFullScreen());
    d.Flip();
    EXPECT_EQ(window.presentCount(), before + 3);
}

TEST(DXDrawWindow, AStillPictureIsSentToTheWindowOnlyOnce) {
    tw::platform::Window window;
    for (const bool fullScreen : {false, true}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "windowed");
        TDXDraw d(&window);
        setUpLikeTheGame(d, fullScreen);
        d.Initialize();
        TDirectDrawSurface& back = *d.Surface();
        auto frame = [&](std::uint32_t corner) { // each frame is drawn whole, as the game does
            back.Fill(0x336699);
            back.SetPixel(799, 599, corner);
            d.Flip();
        };
        const int uploads = window.uploadCount();
        frame(1);
        EXPECT_EQ(window.uploadCount(), uploads + 1) << "a new display shows its first frame";
        frame(1);
        frame(1);
        EXPECT_EQ(window.uploadCount(), uploads + 1) << "the same picture drawn again";
        frame(2);
        EXPECT_EQ(window.uploadCount(), uploads + 2) << "one pixel changed";
        EXPECT_EQ(d.Primary()->Pixel(799, 599), 2u);
        EXPECT_EQ(d.Primary()->Pixel(0, 0), 0x336699u);

        window.invalidatePicture();
        frame(2);
        EXPECT_EQ(window.uploadCount(), uploads + 3) << "the window lost its contents";
        d.Paint();
        EXPECT_EQ(window.uploadCount(), uploads + 3);

        // A restore clears both surfaces: the front then equals the back buffer, yet the window
        // still shows the picture from before.
        d.DDraw()->LoseAllSurfaces();
        ASSERT_TRUE(d.CanDraw());
        d.Flip();
        EXPECT_EQ(window.uploadCount(), uploads + 4);
    }
}
