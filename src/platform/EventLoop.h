// The application's message loop: turns SDL's window, key, text, mouse and focus events into calls of
// one handler, and between events gives the handler's idle hook its turn, sleeping (never spinning)
// until the next tick is due. Tests feed the same handler through deliver() without any SDL event.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tw::platform {

class Window;

enum class MouseButton : std::uint8_t { Left, Right, Middle };

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
    };
    Type type = Type::Exposed;
    std::uint8_t key = 0;
    std::uint8_t heldKey = 0; // what the held-key table records for the key (letters by place); 0: key
    bool repeat = false;
    std::string text;
    int x = 0, y = 0;
    MouseButton button = MouseButton::Left;
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

    Window& window_;
    EventDispatcher dispatcher_;
    bool quit_ = false;
};

} // namespace tw::platform
