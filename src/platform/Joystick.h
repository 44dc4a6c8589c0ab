// Joysticks on SDL: the raw position of one device (axes with their limits, buttons, hat), read
// through SDL's game controller layout when SDL knows the pad, and software joysticks and pads that
// SDL treats like real ones, so tests can push a stick without hardware.
#pragma once

#include <cstdint>

namespace tw::platform {

// A position as the game's conversion rule expects it: axes lie within minimum ... maximum with the
// centre half-way; bit i of buttons is button i (only the first 32 buttons are reported).
struct JoystickPosition {
    std::int32_t x = 0, y = 0, z = 0;
    std::int32_t minimum = 0, maximum = 0;
    std::int32_t pov = -1; // hundredths of a degree clockwise from up; -1 when centred
    std::uint32_t buttons = 0;
};

class Joystick {
public:
    Joystick() = default;
    ~Joystick();
    Joystick(const Joystick&) = delete;
    Joystick& operator=(const Joystick&) = delete;

    // Opens the id-th attached joystick (0 = the first). False when there is no such device; the
    // joystick service then stays started, so trying again (every frame, say) is cheap.
    bool open(int id);
    // Closes the device and stops the joystick service.
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // Whether the open device is read as a game controller (left stick and d-pad, A and B).
    bool isGameController() const { return controller_ != nullptr; }
    int buttonCount() const { return buttonCount_; }
    // Reads the current position; false (and a centred position) when the device has gone away.
    bool read(JoystickPosition& out);

private:
    void closeDevice();

    bool readController(JoystickPosition& out);

    void* handle_ = nullptr;     // SDL_Joystick*, kept opaque so this header needs no SDL
    void* controller_ = nullptr; // SDL_GameController* when SDL knows the pad's layout
    bool subsystemStarted_ = false;
    int buttonCount_ = 0;
};

// A software joystick attached to SDL for as long as this object lives.
class VirtualJoystick {
public:
    explicit VirtualJoystick(int axes = 3, int buttons = 32);
    ~VirtualJoystick();
    VirtualJoystick(const VirtualJoystick&) = delete;
    VirtualJoystick& operator=(const VirtualJoystick&) = delete;

    bool attached() const { return handle_ != nullptr; }
    // value in SDL's axis range -32768 ... 32767
    void setAxis(int axis, std::int16_t value);
    void setButton(int button, bool down);

private:
    void* handle_ = nullptr;
    int deviceIndex_ = -1;
    bool subsystemStarted_ = false;
};

// A software pad of the common layout (two sticks, two triggers, the face buttons, a d-pad), attached
// to SDL as a game controller for as long as this object lives.
class VirtualGameController {
public:
    enum Button { A, B, X, Y, DPadUp, DPadDown, DPadLeft, DPadRight };

    VirtualGameController();
    ~VirtualGameController();
    VirtualGameController(const VirtualGameController&) = delete;
    VirtualGameController& operator=(const VirtualGameController&) = delete;

    bool attached() const { return handle_ != nullptr; }
    // The left stick, each in SDL's axis range -32768 ... 32767.
    void setLeftStick(std::int16_t x, std::int16_t y);
    void setButton(Button button, bool down);

private:
    void* handle_ = nullptr;
    bool subsystemStarted_ = false;
};

} // namespace tw::platform
