// SPDX-License-Identifier: MIT
// The application's message loop: turns SDL's window, key, text, mouse and focus events into calls of
// one handler, and between events gives the handler's idle hook its turn, sleeping (never spinning)
// until the next tick is due. Tests feed the same handler through deliver() without any SDL event.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::platform {

class Window;

enum class MouseButton : std::uint8_t { Left, Right, Middle };

// What the menus take from a pad: its d-pad and left stick as four directions, A (south) to choose,
// B (east) to go back, Start. A joystick SDL has no layout for gives its first two buttons as A and
// B, and its hat and first two axes as the directions.
enum class PadButton : std::uint8_t { Up, Down, Left, Right, A, B, Start };

// Turns stick positions and hats into presses and releases of the four directions, per device and
// per source (stick or hat) so that one never releases what the other holds. A stick direction is
// pressed beyond half the axis' travel and released below a third, so that a stick resting near the
// threshold does not chatter.
class PadDirections {
public:
    struct Change {
        PadButton button;
        bool down;
        bool operator==(const Change&) const = default;
    };
    // axis 0 is left-right, 1 up-down; value in SDL's range -32768 ... 32767.
    std::vector<Change> stick(int device, int axis, int value);
    // SDL's hat bits: 1 up, 2 right, 4 down, 8 left.
    std::vector<Change> hat(int device, std::uint8_t bits);
    // A device went away: nothing of it stays held.
    std::vector<Change> forget(int device);

private:
    struct Held {
        int device;
        std::uint8_t stick = 0, hat = 0; // direction bits: 1 up, 2 right, 4 down, 8 left
    };
    Held& of(int device);
    static std::vector<Change> differences(std::uint8_t before, std::uint8_t after);
    std::vector<Held> held_;
};

// Modifier keys and mouse buttons held while an event happened.
enum ShiftFlags : std::uint8_t {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
};

struct Event {
    enum class Type : std::uint8_t {
        CloseRequest, // window close button or Alt+F4
        KeyDown,      // key: virtual-key code (sided for Shift, Ctrl, Alt); repeat flag
        KeyUp,
        Text,      // text: typed characters, UTF-8
        MouseMove, // x, y in back-buffer pixels
        MouseDown, // button, x, y
        MouseUp,
        FocusGained,
        FocusLost,
        MaximizeRequest,    // the desktop asks to maximise the window
        CaptionDoubleClick, // a double click on the window's caption
        Minimized,
        Restored,
        Exposed, // the window's contents must be shown again
        PadDown, // pad: a button or direction of any pad
        PadUp,
    };
    Type type = Type::Exposed;
    std::uint8_t key = 0;
    std::uint8_t heldKey = 0; // what the held-key table records for the key (letters by place); 0: key
    bool repeat = false;
    std::string text;
    int x = 0, y = 0;
    MouseButton button = MouseButton::Left;
    PadButton pad = PadButton::A;
};

// What the game does with the events; one instance receives everything.
class EventHandler {
public:
    virtual ~EventHandler() = default;
    virtual void closeRequest() = 0;
    // key is the generic code (Shift, Ctrl, Alt never sided); shift is a set of ShiftFlags.
    virtual void keyDown(std::uint8_t key, bool repeat, std::uint8_t shift) = 0;
    virtual void keyUp(std::uint8_t key, std::uint8_t shift) = 0;
    // One 8-bit character per call (Latin-1); characters beyond it are not passed on.
    virtual void keyPress(char ch) = 0;
    virtual void mouseMove(int x, int y, std::uint8_t shift) = 0;
    virtual void mouseDown(MouseButton button, int x, int y, std::uint8_t shift) = 0;
    virtual void mouseUp(MouseButton button, int x, int y, std::uint8_t shift) = 0;
    // A left press and release: comes after mouseDown, before the matching mouseUp.
    virtual void click() = 0;
    virtual void focusGained() = 0;
    virtual void focusLost() = 0;
    virtual void maximizeRequest() = 0;
    virtual void captionDoubleClick() = 0;
    virtual void exposed() {}
    // A pad's button or direction went down or up (any pad; the stick as directions).
    virtual void padButton(PadButton button, bool down) { (void)button, (void)down; }
    // The desktop minimised the window or brought it back.
    virtual void minimizedChanged(bool minimized) { (void)minimized; }
    // Called whenever no event waits. Returns the milliseconds until it wants to be called again
    // (0: at once), or nothing when only an event can bring new work.
    virtual std::optional<std::uint32_t> idle() = 0;
};

// The one route from an event to the handler: keeps the keyboard state, the mouse buttons and the
// Alt+F4 rule in step for real and synthetic events alike.
class EventDispatcher {
public:
    void deliver(const Event& event, EventHandler& handler);
    std::uint8_t shiftState() const;
    void reset() {
        buttons_ = 0;
        leftPressed_ = false;
    }

private:
    std::uint8_t buttons_ = 0; // ssLeft | ssRight | ssMiddle
    bool leftPressed_ = false; // a left press waits for its release: that is a click
};

class EventLoop {
public:
    explicit EventLoop(Window& window);
    // Runs until quit(); every event, then the idle hook, in turn.
    void run(EventHandler& handler);
    void quit() { quit_ = true; }
    bool quitting() const { return quit_; }
    // Delivers the events already queued, without waiting; false once a quit was asked for.
    bool pumpPending(EventHandler& handler);
    EventDispatcher& dispatcher() { return dispatcher_; }

private:
    void translate(const void* sdlEvent, EventHandler& handler);

    // The pad events of one SDL event, in order; false when it is no pad event.
    bool translatePad(const void* sdlEvent, std::vector<Event>& out);

    Window& window_;
    EventDispatcher dispatcher_;
    PadDirections padDirections_;
    bool quit_ = false;
};

} // namespace tw::platform
