// SPDX-License-Identifier: MIT
// Keys and events on their way to the game: the virtual-key code of every kind of key, the held-key
// table with its generic modifiers, and the dispatcher's click, Alt+F4, text and focus rules.
#include "platform/EventLoop.h"
#include "platform/KeyboardState.h"
#include "platform/VirtualKeys.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tw::platform;

TEST(VirtualKeys, EveryKeyHasItsOwnCode) {
    struct Case {
        SDL_Keycode sym;
        SDL_Scancode scan;
        std::uint8_t code;
    };
    const Case cases[] = {
        {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 0xDE}, // not Right (0x27)
        {SDLK_PERIOD, SDL_SCANCODE_PERIOD, 0xBE},    // not Delete (0x2E)
        {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, 0xDB},
        {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, 0xDD},
        {SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH, 0xDC},
        {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0xBA},
        {SDLK_EQUALS, SDL_SCANCODE_EQUALS, 0xBB},
        {SDLK_COMMA, SDL_SCANCODE_COMMA, 0xBC},
        {SDLK_MINUS, SDL_SCANCODE_MINUS, 0xBD},
        {SDLK_SLASH, SDL_SCANCODE_SLASH, 0xBF},
        {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, 0xC0},
        {SDLK_RIGHT, SDL_SCANCODE_RIGHT, vk::Right},
        {SDLK_DELETE, SDL_SCANCODE_DELETE, vk::Delete},
        {SDLK_UP, SDL_SCANCODE_UP, vk::Up},
        {SDLK_a, SDL_SCANCODE_A, 'A'},
        {SDLK_z, SDL_SCANCODE_Z, 'Z'},
        {SDLK_w, SDL_SCANCODE_W, 'W'},
        {SDLK_0, SDL_SCANCODE_0, '0'},
        {SDLK_9, SDL_SCANCODE_9, '9'},
        {SDLK_KP_8, SDL_SCANCODE_KP_8, 0x68},
        {SDLK_KP_0, SDL_SCANCODE_KP_0, 0x60},
        {SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, vk::Decimal},
        {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, vk::Return},
        {SDLK_RETURN, SDL_SCANCODE_RETURN, vk::Return},
        {SDLK_SPACE, SDL_SCANCODE_SPACE, vk::Space},
        {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, vk::Escape},
        {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, vk::Back},
        {SDLK_F2, SDL_SCANCODE_F2, 0x71},
        {SDLK_F12, SDL_SCANCODE_F12, 0x7B},
        {SDLK_PAUSE, SDL_SCANCODE_PAUSE, vk::Pause},
        {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, vk::LShift},
        {SDLK_RCTRL, SDL_SCANCODE_RCTRL, vk::RControl},
        {SDLK_LALT, SDL_SCANCODE_LALT, vk::LMenu},
        // A French layout: the key at Q's place types 'a' and is the A key.
        {SDLK_a, SDL_SCANCODE_Q, 'A'},
        // A layout whose letter key gives no ASCII: the key's place decides.
        {0x00E9, SDL_SCANCODE_2, '2'},
        {SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(virtualKeyFromSdl(c.sym, c.scan), c.code) << "keycode " << c.sym << " scancode " << c.scan;
}

// The held-key table, which steers, takes letters by their place on the board; key events keep the
// layout's letter, so typing and the boss key follow the key's label.
TEST(VirtualKeys, HeldLettersCountByPlaceEventsByLabel) {
    struct Case {
        const char* what;
        SDL_Keycode sym;
        SDL_Scancode scan;
        std::uint8_t event, held;
    };
    const Case cases[] = {
        {"French Z at W's place", SDLK_z, SDL_SCANCODE_W, 'Z', 'W'},
        {"French Q at A's place", SDLK_q, SDL_SCANCODE_A, 'Q', 'A'},
        {"French A at Q's place", SDLK_a, SDL_SCANCODE_Q, 'A', 'Q'},
        {"German Y at Z's place", SDLK_y, SDL_SCANCODE_Z, 'Y', 'Z'},
        {"US S", SDLK_s, SDL_SCANCODE_S, 'S', 'S'},
        {"Cyrillic letter at D's place", 0x0432, SDL_SCANCODE_D, 'D', 'D'},
        {"French M at the semicolon's place", SDLK_m, SDL_SCANCODE_SEMICOLON, 'M', 'M'},
        {"the numeric pad", SDLK_KP_8, SDL_SCANCODE_KP_8, 0x68, 0x68},
        {"F12", SDLK_F12, SDL_SCANCODE_F12, 0x7B, 0x7B},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(virtualKeyFromSdl(c.sym, c.scan), c.event);
        EXPECT_EQ(heldKeyFromSdl(c.sym, c.scan), c.held);
    }
}

TEST(KeyboardState, SidedModifiersHoldTheGenericCodeUntilBothSidesAreUp) {
    auto& keys = KeyboardState::instance();
    keys.clear();
    keys.setDown(vk::LShift, true);
    keys.setDown(vk::RShift, true);
    EXPECT_TRUE(keys.isDown(vk::Shift));
    keys.setDown(vk::LShift, false);
    EXPECT_TRUE(keys.isDown(vk::Shift)) << "the right Shift is still held";
    keys.setDown(vk::RShift, false);
    EXPECT_FALSE(keys.isDown(vk::Shift));
    keys.setDown(vk::RMenu, true);
    keys.setDown(vk::LControl, true);
    EXPECT_TRUE(keys.isDown(vk::Menu));
    EXPECT_TRUE(keys.isDown(vk::Control));
    keys.setDown('A', true);
    EXPECT_FALSE(keys.isDown(vk::Shift));
    keys.clear();
    EXPECT_FALSE(keys.isDown(vk::Menu));
    EXPECT_FALSE(keys.isDown('A'));
}

// Records what reaches the game, one line per call.
class Recorder : public EventHandler {
public:
    std::vector<std::string> log;
    void closeRequest() override { log.push_back("close"); }
    void keyDown(std::uint8_t key, bool repeat, std::uint8_t shift) override {
        log.push_back("down " + std::to_string(key) + (repeat ? " repeat" : "") + " shift " + std::to_string(shift));
    }
    void keyUp(std::uint8_t key, std::uint8_t shift) override {
        log.push_back("up " + std::to_string(key) + " shift " + std::to_string(shift));
    }
    void keyPress(char ch) override { log.push_back("press " + std::to_string(static_cast<unsigned char>(ch))); }
    void mouseMove(int x, int y, std::uint8_t shift) override {
        log.push_back("move " + std::to_string(x) + "," + std::to_string(y) + " shift " + std::to_string(shift));
    }
    void mouseDown(MouseButton b, int x, int y, std::uint8_t) override {
        log.push_back("mousedown " + std::to_string(int(b)) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void mouseUp(MouseButton b, int x, int y, std::uint8_t) override {
        log.push_back("mouseup " + std::to_string(int(b)) + " " + std::to_string(x) + "," + std::to_string(y));
    }
    void click() override { log.push_back("click"); }
    void focusGained() override { log.push_back("focus"); }
    void focusLost() override { log.push_back("blur"); }
    void maximizeRequest() override { log.push_back("maximize"); }
    void captionDoubleClick() override { log.push_back("caption"); }
    std::optional<std::uint32_t> idle() override { return std::nullopt; }
};

Event key(Event::Type type, std::uint8_t code, bool repeat = false) {
    Event e;
    e.type = type;
    e.key = code;
    e.repeat = repeat;
    return e;
}

Event mouse(Event::Type type, MouseButton b, int x, int y) {
    Event e;
    e.type = type;
    e.button = b;
    e.x = x;
    e.y = y;
    return e;
}

class DispatcherTest : public ::testing::Test {
protected:
    void SetUp() override { KeyboardState::instance().clear(); }
    void TearDown() override { KeyboardState::instance().clear(); }
    EventDispatcher d;
    Recorder r;
};

TEST_F(DispatcherTest, KeysReachTheGameAsGenericCodesWithTheAltState) {
    d.deliver(key(Event::Type::KeyDown, vk::RMenu), r);
    d.deliver(key(Event::Type::KeyDown, vk::Return), r);
    d.deliver(key(Event::Type::KeyDown, vk::Return, true), r);
    d.deliver(key(Event::Type::KeyUp, vk::Return), r);
    d.deliver(key(Event::Type::KeyUp, vk::RMenu), r);
    d.deliver(key(Event::Type::KeyUp, vk::Return), r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 18 shift 2", "down 13 shift 2", "down 13 repeat shift 2",
                                               "up 13 shift 2", "up 18 shift 0", "up 13 shift 0"}));
}

TEST_F(DispatcherTest, AKeyIsHeldByItsPlaceAndReportedByItsLabel) {
    Event down = key(Event::Type::KeyDown, 'Z');
    down.heldKey = 'W'; // a French board's Z, where a US board has W
    d.deliver(down, r);
    EXPECT_TRUE(KeyboardState::instance().isDown('W'));
    EXPECT_FALSE(KeyboardState::instance().isDown('Z'));
    Event up = key(Event::Type::KeyUp, 'Z');
    up.heldKey = 'W';
    d.deliver(up, r);
    EXPECT_FALSE(KeyboardState::instance().isDown('W'));
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 90 shift 0", "up 90 shift 0"}));
}

TEST_F(DispatcherTest, AltF4IsTheCloseRequestOnce) {
    d.deliver(key(Event::Type::KeyDown, vk::LMenu), r);
    d.deliver(key(Event::Type::KeyDown, vk::function(4)), r);
    d.deliver(key(Event::Type::KeyDown, vk::function(4), true), r);
    d.deliver(key(Event::Type::KeyUp, vk::LMenu), r);
    d.deliver(key(Event::Type::KeyDown, vk::function(4)), r); // F4 alone is an ordinary key
    EXPECT_EQ(r.log, (std::vector<std::string>{"down 18 shift 2", "close", "up 18 shift 0", "down 115 shift 0"}));
}

TEST_F(DispatcherTest, ALeftPressAndReleaseInsideTheScreenIsAClick) {
    d.deliver(mouse(Event::Type::MouseDown, MouseButton::Left, 10, 20), r);
    d.deliver(mouse(Event::Type::MouseUp, MouseButton::Left, 12, 22), r);
    d.deliver(mouse(Event::Type::MouseDown, MouseButton::Right, 10, 20), r);
    d.deliver(mouse(Event::Type::MouseUp, MouseButton::Right, 10, 20), r);
    d.deliver(mouse(Event::Type::MouseUp, MouseButton::Left, 10, 20), r); // no press before it
    d.deliver(mouse(Event::Type::MouseDown, MouseButton::Left, 10, 20), r);
    d.deliver(mouse(Event::Type::MouseUp, MouseButton::Left, 800, 20), r); // released off the screen
    EXPECT_EQ(r.log, (std::vector<std::string>{"mousedown 0 10,20", "click", "mouseup 0 12,22", "mousedown 1 10,20",
                                               "mouseup 1 10,20", "mouseup 0 10,20", "mousedown 0 10,20",
                                               "mouseup 0 800,20"}));
}

TEST_F(DispatcherTest, HeldButtonsShowInTheShiftStateOfAMove) {
    d.deliver(mouse(Event::Type::MouseDown, MouseButton::Right, 1, 1), r);
    d.deliver(mouse(Event::Type::MouseMove, MouseButton::Left, 5, 6), r);
    EXPECT_EQ(r.log.back(), "move 5,6 shift 16");
}

TEST_F(DispatcherTest, TypedTextBecomesEightBitCharacters) {
    Event e;
    e.type = Event::Type::Text;
    e.text = "a\xC3\xA9\xE2\x82\xAC"
             "Z"; // a, e acute, the euro sign (beyond 8 bits), Z
    d.deliver(e, r);
    EXPECT_EQ(r.log, (std::vector<std::string>{"press 97", "press 233", "press 90"}));
}

TEST_F(DispatcherTest, LosingTheFocusForgetsHeldKeysAndButtons) {
    d.deliver(key(Event::Type::KeyDown, vk::LControl), r);
    d.deliver(mouse(Event::Type::MouseDown, MouseButton::Left, 1, 1), r);
    Event blur;
    blur.type = Event::Type::FocusLost;
    d.deliver(blur, r);
    EXPECT_FALSE(KeyboardState::instance().isDown(vk::Control));
    EXPECT_EQ(d.shiftState(), 0);
    d.deliver(mouse(Event::Type::MouseUp, MouseButton::Left, 1, 1), r);
    EXPECT_EQ(r.log.back(), "mouseup 0 1,1") << "no click from a press made before the focus went";
    EXPECT_EQ(r.log[r.log.size() - 2], "blur");
}

} // namespace
