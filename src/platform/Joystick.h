// Joysticks on SDL: the raw position of one device (axes with their limits, buttons, hat), and a
// software joystick that SDL treats like a real one, so tests can push a stick without hardware.
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
    int buttonCount() const { return buttonCount_; }
    // Reads the current position; false (and a centred position) when the device has gone away.
    bool read(JoystickPosition& out);

private:
    void closeDevice();

    void* handle_ = nullptr; // SDL_Joystick*, kept opaque so this header needs no SDL
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

} // namespace tw::platform
