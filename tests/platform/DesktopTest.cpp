// SPDX-License-Identifier: MIT
// The whole game in a window the player resized, maximised, hid, with a pad plugged in while
// playing, and with pads driving the menus: real SDL events through the message loop, on the
// headless host and the built data.
#include "platform/EventLoop.h"
#include "platform/Joystick.h"
#include "platform/VirtualKeys.h"
#include "platform/Window.h"

#include "game/GameHostTest.h"
#include "shell/MenuHostTest.h"
#include "state/Settings.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace {

using tw::platform::EventLoop;
using tw::platform::VirtualGameController;

// SDL events for the game's window, delivered by the real message loop.
class SdlEvents {
public:
    explicit SdlEvents(tw::test::GameHost& host) : host_(host), loop_(host.window()) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    // A left click at a point of the window, in its own pixels.
    void click(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = host_.window().id();
        e.motion.x = x;
        e.motion.y = y;
        SDL_PushEvent(&e);
        for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
            SDL_Event b{};
            b.type = type;
            b.button.windowID = host_.window().id();
            b.button.button = SDL_BUTTON_LEFT;
            b.button.x = x;
            b.button.y = y;
            SDL_PushEvent(&b);
        }
        deliver();
    }
    // Queued only: events the desktop sends together are handled together.
    void pushWindowEvent(SDL_WindowEventID id, int data1 = 0, int data2 = 0) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = host_.window().id();
        e.window.event = static_cast<Uint8>(id);
        e.window.data1 = data1;
        e.window.data2 = data2;
        SDL_PushEvent(&e);
    }
    void deliver() { loop_.pumpPending(host_.application()); }

private:
    tw::test::GameHost& host_;
    EventLoop loop_;
};

// Where a back-buffer point lands in a window of the given size: scaled, aspect kept, centred.
struct WindowPoint {
    int x, y;
};
WindowPoint InWindow(int width, int height, int x, int y) {
    const tw::platform::ViewRect v = tw::platform::letterbox(width, height, 800, 600);
    return {v.x + x * v.width / 800, v.y + y * v.height / 600};
}

class ResizedWindowTest : public MenuHostTest {};

TEST_F(ResizedWindowTest, AClickInAResizedWindowChoosesTheItemUnderIt) {
    struct Case {
        int width, height;
    };
    // Larger with bars at the top and bottom, larger with bars at the sides, smaller.
    for (const Case c : {Case{1000, 900}, Case{1600, 900}, Case{500, 420}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        host->window().setPlacement({0, 0, c.width, c.height});
        ASSERT_EQ(host->window().clientWidth(), c.width);
        SdlEvents events(*host);
        const TMenuItemRect& r = Menu.MenuItemRect[msMain][msOptions];
        const WindowPoint p = InWindow(c.width, c.height, r.X + r.W / 2, r.Y + r.H / 2);
        // The same window point taken as a back-buffer point lies on no item or another one.
        ASSERT_FALSE(r.Contains(p.x, p.y));
        events.click(p.x, p.y);
        host->runTicks(1);
        EXPECT_EQ(Shell.MenuScreen, msOptions);
        const TMenuItemRect& back = Menu.MenuItemRect[msOptions][6];
        const WindowPoint b = InWindow(c.width, c.height, back.X + back.W / 2, back.Y + back.H / 2);
        events.click(b.x, b.y);
        host->runTicks(1);
        EXPECT_EQ(Shell.MenuScreen, msMain);
    }
}

TEST_F(ResizedWindowTest, MaximisingSwitchesToFullScreenAndTheWindowComesBackAtThePlayersSize) {
    SdlEvents events(*host);
    host->window().setPlacement({0, 0, 1000, 750});
    events.pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1100, 800); // the player drags an edge
    events.deliver();
    // The desktop may tell the maximised size first, in the same breath as the maximise.
    events.pushWindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080);
    events.pushWindowEvent(SDL_WINDOWEVENT_MAXIMIZED);
    events.deliver();
    EXPECT_TRUE(host->window().isFullScreen());
    EXPECT_EQ(Settings.Windowed, 0);
    EXPECT_EQ(SavedSettings().Windowed, 0) << "maximising writes the configuration";

    host->keyDown(tw::platform::vk::Menu);
    host->keyDown(tw::platform::vk::Return);
    host->keyUp(tw::platform::vk::Return);
    host->keyUp(tw::platform::vk::Menu);
    EXPECT_FALSE(host->window().isFullScreen());
    EXPECT_EQ(host->window().clientWidth(), 1100);
    EXPECT_EQ(host->window().clientHeight(), 800);
}

class GamepadPlayTest : public GameHostTest {
protected:
    int heroMoveOver(int ticks, bool vertical) {
        const int before = vertical ? hero().Y : hero().X;
        host->runTicks(ticks);
        return (vertical ? hero().Y : hero().X) - before;
    }
    bool held(TDXInputState s) { return host->form().DXInput1->InputStates.Has(s); }
};

TEST_F(GamepadPlayTest, APadPluggedInMidGameSteersAndFiresAndPullingItOutLeavesTheKeyboard) {
    startPlaying();
    host->runTicks(10);
    ASSERT_EQ(heroMoveOver(10, false), 0) << "no input, no movement";

    auto pad = std::make_unique<VirtualGameController>();
    ASSERT_TRUE(pad->attached());
    pad->setLeftStick(32767, 0);
    EXPECT_GT(heroMoveOver(10, false), 0) << "the stick pushed right";
    pad->setLeftStick(-32768, 0);
    EXPECT_LT(heroMoveOver(20, false), 0) << "the stick pushed left";
    pad->setLeftStick(0, 0);
    host->runTicks(20);

    pad->setButton(VirtualGameController::DPadUp, true);
    EXPECT_LT(heroMoveOver(10, true), 0) << "the d-pad up";
    pad->setButton(VirtualGameController::DPadUp, false);

    pad->setButton(VirtualGameController::A, true);
    host->runTicks(1);
    EXPECT_TRUE(held(InputButton1)) << "A fires the gun";
    EXPECT_FALSE(held(InputButton2));
    pad->setButton(VirtualGameController::A, false);
    pad->setButton(VirtualGameController::B, true);
    host->runTicks(1);
    EXPECT_FALSE(held(InputButton1));
    EXPECT_TRUE(held(InputButton2)) << "B casts the net";

    // Pulled out with B held: nothing stays pressed, and the keys steer.
    pad.reset();
    host->runTicks(2);
    EXPECT_FALSE(held(InputButton2));
    host->runTicks(20);
    host->keyDown(tw::platform::vk::Right);
    EXPECT_GT(heroMoveOver(10, false), 0) << "the keyboard after the pad";
    host->keyUp(tw::platform::vk::Right);
}

// The menus driven by pads alone, through the real message loop: the pad's events become the menu
// keys. Any attached pad counts.
class GamepadMenuTest : public MenuHostTest {
protected:
    void SetUp() override {
        MenuHostTest::SetUp();
        events = std::make_unique<SdlEvents>(*host);
    }
    // SDL sees the pad's change, a menu frame runs and the loop hands the events to the game.
    void settle() {
        host->runTicks(1);
        events->deliver();
        host->runTicks(1);
    }
    void press(VirtualGameController& pad, VirtualGameController::Button button) {
        pad.setButton(button, true);
        settle();
        pad.setButton(button, false);
        settle();
    }
    std::unique_ptr<SdlEvents> events;
};

TEST_F(GamepadMenuTest, DPadAndStickMoveTheHighlightAChoosesBGoesBackStartPausesAndResumes) {
    VirtualGameController pad;
    ASSERT_TRUE(pad.attached());
    settle();
    ASSERT_EQ(Shell.MenuSelection, 1);

    press(pad, VirtualGameController::DPadDown);
    EXPECT_EQ(Shell.MenuSelection, 2);
    pad.setLeftStick(0, 32767);
    settle();
    EXPECT_EQ(Shell.MenuSelection, 3) << "the stick pushed down";
    host->runTicks(20);
    events->deliver();
    EXPECT_EQ(Shell.MenuSelection, 3) << "a held stick moves once";
    pad.setLeftStick(0, 0);
    settle();
    pad.setLeftStick(0, -32768);
    settle();
    pad.setLeftStick(0, 0);
    settle();
    EXPECT_EQ(Shell.MenuSelection, 2) << "the stick pushed up";

    press(pad, VirtualGameController::A);
    EXPECT_EQ(Shell.MenuScreen, msOptions) << "A chooses";
    press(pad, VirtualGameController::B);
    EXPECT_EQ(Shell.MenuScreen, msMain) << "B goes back";
    EXPECT_EQ(Shell.MenuSelection, 2);

    // A second pad counts as much as the first; neither counts while another window has the focus.
    VirtualGameController second;
    settle();
    press(second, VirtualGameController::DPadUp);
    EXPECT_EQ(Shell.MenuSelection, 1);
    host->focusLost();
    press(second, VirtualGameController::DPadDown);
    EXPECT_EQ(Shell.MenuSelection, 1) << "the game in the background";
    host->focusGained();

    press(pad, VirtualGameController::A);
    ASSERT_TRUE(IsRunningGameState(Shell.GameState)) << "the first item starts a game";
    host->runTicks(5);
    pad.setStart(true);
    settle();
    EXPECT_EQ(Shell.GameState, gsPaused) << "Start pauses";
    pad.setStart(false);
    settle();
    pad.setStart(true);
    settle();
    EXPECT_TRUE(IsRunningGameState(Shell.GameState)) << "Start resumes";
    pad.setStart(false);
    settle();
    // In play B is the net, not the way out.
    press(pad, VirtualGameController::B);
    EXPECT_TRUE(IsRunningGameState(Shell.GameState));
    EXPECT_NE(Shell.MenuScreen, msExitQuery);
}

} // namespace

namespace {

class HiddenWindowTest : public GameHostTest {
protected:
    // Pixels other than black in the back buffer: the field covers the whole picture, the
    // head-up texts a small part.
    long litPixels() {
        const std::vector<std::uint32_t> pixels = host->backBuffer();
        return static_cast<long>(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p != 0; }));
    }
};

TEST_F(HiddenWindowTest, AHiddenGameTicksOnWithoutDrawingOrPresenting) {
    startGame();
    ASSERT_EQ(Shell.GameState, gsLevelIntro);
    TCustomDXDraw& display = *host->form().DXDraw;
    host->runTicks(1);
    ASSERT_GT(litPixels(), 800 * 600 / 2);

    // The dummy driver cannot minimise; hiding is what minimising does to the picture.
    SDL_Window* window = SDL_GetWindowFromID(host->window().id());
    SDL_HideWindow(window);
    const int presents = display.PresentCount();
    const int uploads = host->window().uploadCount();
    EXPECT_EQ(host->runTicks(100), 100) << "the ticks go on";
    EXPECT_EQ(Shell.GameState, gsPlaying) << "the level announcement ran out meanwhile";
    EXPECT_LT(litPixels(), 800 * 600 / 20) << "no sprite drawn";
    EXPECT_EQ(display.PresentCount(), presents) << "nothing presented";
    EXPECT_EQ(host->window().uploadCount(), uploads);

    SDL_ShowWindow(window);
    host->runTicks(1);
    EXPECT_GT(litPixels(), 800 * 600 / 2);
    EXPECT_EQ(display.PresentCount(), presents + 1);
    EXPECT_EQ(host->window().uploadCount(), uploads + 1) << "the first picture after is sent whole";
}

} // namespace
