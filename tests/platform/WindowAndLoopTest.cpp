// SPDX-License-Identifier: MIT
// The window on the dummy video driver, the letterbox that scales it in full screen, the message
// loop turning SDL events into the game's calls and sleeping between ticks, the clock switch and the
// seeded random generator.
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/KeyboardState.h"
#include "platform/Random.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tw::platform;

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("SDL_VIDEODRIVER", "dummy", 1); }
};

TEST(Letterbox, KeepsTheAspectAndCentres) {
    struct Case {
        int ow, oh;
        ViewRect expected;
    };
    const Case cases[] = {
        {800, 600, {0, 0, 800, 600}},     {1920, 1080, {240, 0, 1440, 1080}}, // wider: bars left and right
        {1280, 1024, {0, 32, 1280, 960}},                                     // taller: bars above and below
        {1600, 1200, {0, 0, 1600, 1200}}, {0, 600, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ViewRect v = letterbox(c.ow, c.oh, 800, 600);
        EXPECT_EQ(v.x, c.expected.x) << c.ow << "x" << c.oh;
        EXPECT_EQ(v.y, c.expected.y) << c.ow << "x" << c.oh;
        EXPECT_EQ(v.width, c.expected.width) << c.ow << "x" << c.oh;
        EXPECT_EQ(v.height, c.expected.height) << c.ow << "x" << c.oh;
    }
}

TEST_F(WindowTest, OpensAt800x600WithTheCaptionAndPresentsFrames) {
    Window w;
    EXPECT_EQ(w.caption(), "Tide Warden");
    EXPECT_EQ(w.clientWidth(), 800);
    EXPECT_EQ(w.clientHeight(), 600);
    std::vector<std::uint32_t> frame(800 * 600, 0x00336699u);
    w.present(frame.data(), 800, 600, 800);
    w.present(frame.data(), 800, 600, 800);
    EXPECT_EQ(w.presentCount(), 2);
    int x = 0, y = 0;
    w.toBackBuffer(799, 0, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 0);
}

TEST_F(WindowTest, AnUnchangedPictureIsNotSentAgainUnlessTheWindowLostItsContents) {
    Window w;
    // Rows of 800 pixels in a buffer of pitch 832, as a surface with padding would hand them over.
    std::vector<std::uint32_t> frame(832 * 600, 0x00336699u);
    w.present(frame.data(), 800, 600, 832);
    w.present(frame.data(), 800, 600, 832);
    EXPECT_EQ(w.presentCount(), 2);
    EXPECT_EQ(w.uploadCount(), 1) << "the same picture again";

    frame[832 * 599 + 799] = 0x00FFFFFFu; // the very last pixel
    w.present(frame.data(), 800, 600, 832);
    EXPECT_EQ(w.uploadCount(), 2);
    frame[832 * 10 + 805] = 0x00FF0000u; // padding beyond the row is not part of the picture
    w.present(frame.data(), 800, 600, 832);
    EXPECT_EQ(w.uploadCount(), 2);

    w.invalidatePicture();
    w.present(frame.data(), 800, 600, 832);
    EXPECT_EQ(w.uploadCount(), 3) << "uncovered, restored or resized: the picture is sent whatever it holds";
    w.setFullScreen(true);
    w.present(frame.data(), 800, 600, 832);
    EXPECT_EQ(w.uploadCount(), 4) << "a mode switch needs the picture again";
    w.setFullScreen(false);
}

TEST_F(WindowTest, ACallerThatKnowsItsPictureSparesTheComparison) {
    Window w;
    std::vector<std::uint32_t> frame(800 * 600, 0x00336699u);
    w.present(frame.data(), 800, 600, 800, Picture::Same);
    EXPECT_EQ(w.uploadCount(), 1) << "nothing is on screen yet";
    w.present(frame.data(), 800, 600, 800, Picture::Same);
    EXPECT_EQ(w.uploadCount(), 1);
    w.present(frame.data(), 800, 600, 800, Picture::New);
    EXPECT_EQ(w.uploadCount(), 2);
    // A copy of what was sent is kept all the same, for callers that do not know.
    w.present(frame.data(), 800, 600, 800, Picture::Unknown);
    EXPECT_EQ(w.uploadCount(), 2);
    frame[799] = 0x00FFFFFFu;
    w.present(frame.data(), 800, 600, 800, Picture::Unknown);
    EXPECT_EQ(w.uploadCount(), 3);

    w.invalidatePicture();
    w.present(frame.data(), 800, 600, 800, Picture::Same);
    EXPECT_EQ(w.uploadCount(), 4) << "the window lost its contents";
    std::vector<std::uint32_t> small(400 * 300, 0x00336699u);
    w.present(small.data(), 400, 300, 400, Picture::Same);
    EXPECT_EQ(w.uploadCount(), 5) << "a picture of another size";
    EXPECT_EQ(w.presentCount(), 7);
}

TEST_F(WindowTest, AHiddenWindowIsSentNothingAndGetsTheNextPictureWhenBack) {
    Window w;
    SDL_Window* sdl = SDL_GetWindowFromID(w.id());
    std::vector<std::uint32_t> frame(800 * 600, 0x00336699u);
    w.present(frame.data(), 800, 600, 800);
    ASSERT_EQ(w.uploadCount(), 1);
    EXPECT_TRUE(w.pictureSeen());

    // The dummy driver cannot minimise; hiding is what minimising does to the picture.
    SDL_HideWindow(sdl);
    EXPECT_FALSE(w.pictureSeen());
    frame[0] = 0x00FFFFFFu;
    w.present(frame.data(), 800, 600, 800, Picture::New);
    w.present(frame.data(), 800, 600, 800, Picture::Unknown);
    EXPECT_EQ(w.presentCount(), 3);
    EXPECT_EQ(w.uploadCount(), 1) << "nothing is sent to a window nobody sees";

    SDL_ShowWindow(sdl);
    EXPECT_TRUE(w.pictureSeen());
    w.present(frame.data(), 800, 600, 800, Picture::Unknown);
    EXPECT_EQ(w.uploadCount(), 2) << "the picture changed while hidden";
}

TEST_F(WindowTest, CursorCounterShowsWhileZeroOrMore) {
    Window w;
    EXPECT_EQ(w.showCursor(false), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(w.showCursor(false), -2);
    EXPECT_EQ(w.showCursor(true), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(w.showCursor(true), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(WindowTest, FullScreenAndBack) {
    Window w;
    w.setFullScreen(true);
    EXPECT_TRUE(w.isFullScreen());
    w.setFullScreen(false);
    EXPECT_FALSE(w.isFullScreen());
    EXPECT_EQ(w.clientWidth(), 800);
    EXPECT_EQ(w.clientHeight(), 600);
}

TEST_F(WindowTest, AWholeMultipleWindowGetsThePictureInItsOwnPixelsAndOtherSizesThroughTheRenderer) {
    Window w;
    std::vector<std::uint32_t> frame(800 * 600);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint32_t>(i * 2654435761u) & 0xFFFFFFu;
    w.present(frame.data(), 800, 600, 800, Picture::New);
    EXPECT_TRUE(w.presentsUnscaled());
    EXPECT_EQ(w.shownPicture(), frame);
    frame[800 * 300 + 5] ^= 0x00FFFFFFu; // one row changes
    w.present(frame.data(), 800, 600, 800);
    EXPECT_EQ(w.uploadCount(), 2);
    EXPECT_EQ(w.shownPicture(), frame);

    w.setPlacement({0, 0, 1000, 750});
    w.present(frame.data(), 800, 600, 800);
    EXPECT_FALSE(w.presentsUnscaled()) << "scaled";
    EXPECT_EQ(w.uploadCount(), 3) << "the other way has never shown it";
    EXPECT_EQ(w.shownPicture(), frame);
    frame[800 * 599] ^= 0x00FFFFFFu;
    w.present(frame.data(), 800, 600, 800);
    EXPECT_EQ(w.uploadCount(), 4);
    EXPECT_EQ(w.shownPicture(), frame);

    w.setPlacement({0, 0, 800, 600});
    w.present(frame.data(), 800, 600, 800);
    EXPECT_TRUE(w.presentsUnscaled());
    EXPECT_EQ(w.uploadCount(), 5) << "back at the picture's size: sent whole, though unchanged";
    EXPECT_EQ(w.shownPicture(), frame);

    // A whole multiple: each pixel a square of the window's own pixels, no renderer either.
    for (int scale : {2, 3}) {
        SCOPED_TRACE(scale);
        const int uploads = w.uploadCount();
        w.setPlacement({0, 0, 800 * scale, 600 * scale});
        w.present(frame.data(), 800, 600, 800);
        EXPECT_EQ(w.surfaceScale(), scale);
        EXPECT_FALSE(w.presentsUnscaled());
        EXPECT_EQ(w.uploadCount(), uploads + 1) << "sent whole at the new size";
        EXPECT_EQ(w.shownPicture(), frame);
        frame[800 * 599 + 799] ^= 0x00FFFFFFu; // the last pixel, the far corner of its square
        w.present(frame.data(), 800, 600, 800);
        EXPECT_EQ(w.uploadCount(), uploads + 2);
        EXPECT_EQ(w.shownPicture(), frame);
        w.present(frame.data(), 800, 600, 800);
        EXPECT_EQ(w.uploadCount(), uploads + 2) << "the same picture again";
    }
    w.setPlacement({0, 0, 1600, 1201});
    w.present(frame.data(), 800, 600, 800);
    EXPECT_EQ(w.surfaceScale(), 0) << "not quite a whole multiple";
    EXPECT_EQ(w.shownPicture(), frame);
}

TEST_F(WindowTest, KeepsItsMinimumSizeAndTheWindowedPlaceAcrossFullScreen) {
    Window w;
    int minW = 0, minH = 0;
    SDL_GetWindowMinimumSize(SDL_GetWindowFromID(w.id()), &minW, &minH);
    EXPECT_EQ(minW, Window::MinimumWidth);
    EXPECT_EQ(minH, Window::MinimumHeight);

    w.setPlacement({30, 40, 1000, 750});
    const auto same = [](const WindowPlacement& a, const WindowPlacement& b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height && !a.minimized;
    };
    EXPECT_TRUE(same(w.windowedPlacement(), {30, 40, 1000, 750}));
    w.setFullScreen(true);
    EXPECT_TRUE(same(w.windowedPlacement(), {30, 40, 1000, 750})) << "full screen: the place it comes back to";
    w.setFullScreen(false);
    EXPECT_TRUE(same(w.windowedPlacement(), {30, 40, 1000, 750}));

    const ViewRect usable = w.usableBounds();
    EXPECT_GT(usable.width, 0);
    EXPECT_TRUE(Window::onSomeDisplay({usable.x + 10, usable.y + 10, 800, 600}));
    EXPECT_FALSE(Window::onSomeDisplay({usable.x + usable.width + 500, usable.y, 800, 600})) << "a display gone";
    EXPECT_FALSE(Window::onSomeDisplay({usable.x - 790, usable.y - 590, 800, 600})) << "only a sliver shows";
}

// Counts what the loop hands over and ends it after a few idle turns.
class LoopProbe : public EventHandler {
public:
    explicit LoopProbe(EventLoop& loop) : loop_(loop) {}
    std::vector<std::string> log;
    int idleCalls = 0;
    int stopAfterIdle = 4;
    std::uint32_t wait = 20;

    void closeRequest() override { log.push_back("close"); }
    void keyDown(std::uint8_t key, bool, std::uint8_t) override { log.push_back("down " + std::to_string(key)); }
    void keyUp(std::uint8_t key, std::uint8_t) override { log.push_back("up " + std::to_string(key)); }
    void keyPress(char ch) override { log.push_back(std::string("press ") + ch); }
    void mouseMove(int x, int y, std::uint8_t) override {
        log.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void mouseDown(MouseButton, int, int, std::uint8_t) override { log.push_back("mousedown"); }
    void mouseUp(MouseButton, int, int, std::uint8_t) override { log.push_back("mouseup"); }
    void click() override { log.push_back("click"); }
    void focusGained() override { log.push_back("focus"); }
    void focusLost() override { log.push_back("blur"); }
    void maximizeRequest() override { log.push_back("maximize"); }
    void captionDoubleClick() override { log.push_back("caption"); }
    std::optional<std::uint32_t> idle() override {
        if (++idleCalls >= stopAfterIdle) loop_.quit();
        return wait;
    }

private:
    EventLoop& loop_;
};

TEST_F(WindowTest, LoopTranslatesSdlEventsForTheGame) {
    Window w;
    EventLoop loop(w);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    LoopProbe probe(loop);

    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_QUOTE;
    e.key.keysym.scancode = SDL_SCANCODE_APOSTROPHE;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    SDL_Event t{};
    t.type = SDL_TEXTINPUT;
    SDL_strlcpy(t.text.text, "q", sizeof t.text.text);
    SDL_PushEvent(&t);
    SDL_Event m{};
    m.type = SDL_MOUSEMOTION;
    m.motion.windowID = w.id();
    m.motion.x = 400;
    m.motion.y = 300;
    SDL_PushEvent(&m);
    SDL_Event c{};
    c.type = SDL_WINDOWEVENT;
    c.window.windowID = w.id();
    c.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&c);

    loop.run(probe);
    const std::vector<std::string> expected{"down 222", "up 222", "press q", "move 400,300", "close"};
    ASSERT_GE(probe.log.size(), expected.size());
    // The dummy driver may add window events of its own; the pushed ones arrive in order.
    std::vector<std::string> ours;
    for (const auto& line : probe.log)
        if (line != "focus" && line != "blur") ours.push_back(line);
    EXPECT_EQ(ours, expected);
    EXPECT_TRUE(loop.quitting());
}

TEST_F(WindowTest, LoopHoldsLettersByPlaceAndReportsThemByLabel) {
    Window w;
    EventLoop loop(w);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    KeyboardState::instance().clear();
    LoopProbe probe(loop);
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_z; // a French board's Z, where a US board has W
    e.key.keysym.scancode = SDL_SCANCODE_W;
    SDL_PushEvent(&e);
    loop.pumpPending(probe);
    EXPECT_TRUE(KeyboardState::instance().isDown('W'));
    EXPECT_FALSE(KeyboardState::instance().isDown('Z'));
    EXPECT_NE(std::find(probe.log.begin(), probe.log.end(), "down 90"), probe.log.end());
    KeyboardState::instance().clear();
}

TEST_F(WindowTest, LoopSleepsUntilTheNextTickInsteadOfSpinning) {
    Window w;
    EventLoop loop(w);
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    LoopProbe probe(loop);
    probe.stopAfterIdle = 1000000;
    probe.wait = 25;
    // A timer event after 200 ms ends the loop; meanwhile only the idle hook's waits pass.
    const SDL_TimerID timer = SDL_AddTimer(
        200,
        [](std::uint32_t, void* param) -> std::uint32_t {
            static_cast<EventLoop*>(param)->quit();
            SDL_Event wake{};
            wake.type = SDL_USEREVENT;
            SDL_PushEvent(&wake);
            return 0;
        },
        &loop);
    ASSERT_NE(timer, 0);
    loop.run(probe);
    // About 200 / 25 = 8 turns; a loop that spun would have run thousands.
    EXPECT_GE(probe.idleCalls, 2);
    EXPECT_LE(probe.idleCalls, 20);
}

TEST(Clock, FakeClockStandsInWrapsAndTheOuterClockComesBack) {
    FakeClock outer(500);
    ScopedClock outerScope(outer);
    FakeClock fake(0xFFFFFFFEu);
    {
        ScopedClock scope(fake);
        EXPECT_EQ(ticks(), 0xFFFFFFFEu);
        fake.advance(3);
        EXPECT_EQ(ticks(), 1u);
    }
    EXPECT_EQ(ticks(), 500u);
}

TEST(Random, SeededSequenceRepeatsAndStaysInRange) {
    seedRandom(42);
    std::vector<std::int32_t> first;
    for (int i = 0; i < 100; ++i) first.push_back(random(13));
    seedRandom(42);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(random(13), first[static_cast<std::size_t>(i)]);
    for (std::int32_t v : first) {
        EXPECT_GE(v, 0);
        EXPECT_LT(v, 13);
    }
    EXPECT_EQ(random(0), 0);
    EXPECT_EQ(random(1), 0);
    // Every value of a small range turns up.
    std::vector<int> seen(8, 0);
    for (int i = 0; i < 800; ++i) ++seen[static_cast<std::size_t>(random(8))];
    for (int count : seen) EXPECT_GT(count, 50);
}

TEST(Random, RandomizeSeedsFromTheClock) {
    FakeClock fake(777);
    ScopedClock scope(fake);
    randomize();
    EXPECT_EQ(randomSeed(), 777u);
}

} // namespace
