// SPDX-License-Identifier: MIT
// Joysticks on SDL: the raw position of one device (axes with their limits, buttons, hat), read
// through SDL's game controller layout when SDL knows the pad, and software joysticks and pads that
// SDL treats like real ones, so tests can push a stick without hardware.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    // The open device's instance (as SDL's events name it); -1 when none is open.
    int instanceId() const;
    // Whether the open device is read as a game controller (left stick and d-pad, A and B).
    bool isGameController() const { return controller_ != nullptr; }
    int buttonCount() const { return buttonCount_; }
    // Reads the current position; false (and a centred position) when the device has gone away.
    bool read(JoystickPosition& out);
    // The name of the layout SDL holds for a device identity (the hex text a mapping line starts
    // with), empty when none: whether a mapping file was taken. Only while the service runs.
    static std::string knownLayout(const std::string& guid);

private:
    void closeDevice();

    bool readController(JoystickPosition& out);

    void* handle_ = nullptr;     // SDL_Joystick*, kept opaque so this header needs no SDL
    void* controller_ = nullptr; // SDL_GameController* when SDL knows the pad's layout
    bool subsystemStarted_ = false;
    int buttonCount_ = 0;
};

// Every attached joystick and pad read as one device, so that whichever the player picks up steers:
// on each axis the device pushed furthest from its centre counts, and the buttons of all of them.
class JoystickSet {
public:
    JoystickSet() = default;
    ~JoystickSet();
    JoystickSet(const JoystickSet&) = delete;
    JoystickSet& operator=(const JoystickSet&) = delete;

    // id >= 0: the id-th attached device alone, as Joystick::open. id < 0: every attached device,
    // looked for again at each read, so that a pad plugged in later joins at once. False when no
    // device is open.
    bool open(int id);
    void close();
    bool isOpen() const { return !devices_.empty(); }
    std::size_t deviceCount() const { return devices_.size(); }
    // The most buttons of any open device.
    int buttonCount() const;
    // The devices' position combined; false (and a centred position) when none is attached.
    bool read(JoystickPosition& out);

private:
    void openNewDevices();

    bool everyDevice_ = false;
    bool subsystemStarted_ = false;
    std::vector<std::unique_ptr<Joystick>> devices_;
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
    void setStart(bool down);

private:
    void* handle_ = nullptr;
    bool subsystemStarted_ = false;
};

} // namespace tw::platform
