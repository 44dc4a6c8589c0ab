// SDL side of the joysticks: opening the id-th device, reading its raw position, and the
// software joystick used by tests.
#include "platform/Joystick.h"

#include <SDL.h>

#include <algorithm>

namespace tw::platform {
namespace {

SDL_Joystick* sdl(void* handle) { return static_cast<SDL_Joystick*>(handle); }

bool startJoystickSubsystem() {
    // The input component decides itself whether an unfocused window is read (its ActiveOnly);
    // without this hint SDL would silently drop stick movement while the window is in the background.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

// SDL axes run -32768 ... 32767; the conversion rule wants 0 ... 65535 with the centre at half.
constexpr std::int32_t kAxisMaximum = 65535;
constexpr std::int32_t kAxisCentre = kAxisMaximum / 2;

std::int32_t axisValue(SDL_Joystick* joystick, int axis) {
    if (axis >= SDL_JoystickNumAxes(joystick)) {
        return kAxisCentre;
    }
    return static_cast<std::int32_t>(SDL_JoystickGetAxis(joystick, axis)) + 32768;
}

std::int32_t hatAngle(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return -1;
    }
}

} // namespace

Joystick::~Joystick() { close(); }

bool Joystick::open(int id) {
    closeDevice();
    if (id < 0) {
        return false;
    }
    // The subsystem stays up between attempts, so looking again every frame costs only SDL's
    // hot-plug check, not a new scan of the system's devices.
    if (!subsystemStarted_) {
        subsystemStarted_ = startJoystickSubsystem();
    }
    if (!subsystemStarted_) {
        return false;
    }
    SDL_JoystickUpdate(); // notices pads plugged in since the last look
    if (id < SDL_NumJoysticks()) {
        handle_ = SDL_JoystickOpen(id);
    }
    if (handle_ == nullptr) {
        return false;
    }
    buttonCount_ = std::clamp(SDL_JoystickNumButtons(sdl(handle_)), 0, 32);
    return true;
}

void Joystick::closeDevice() {
    if (handle_ != nullptr) {
        SDL_JoystickClose(sdl(handle_));
        handle_ = nullptr;
    }
    buttonCount_ = 0;
}

void Joystick::close() {
    closeDevice();
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        subsystemStarted_ = false;
    }
}

bool Joystick::read(JoystickPosition& out) {
    out = JoystickPosition{kAxisCentre, kAxisCentre, kAxisCentre, 0, kAxisMaximum, -1, 0};
    if (handle_ == nullptr) {
        return false;
    }
    // Polled once per frame: bring SDL's copy of the device state up to date ourselves rather than
    // depend on the event loop having pumped since the last frame.
    SDL_JoystickUpdate();
    SDL_Joystick* joystick = sdl(handle_);
    if (SDL_JoystickGetAttached(joystick) != SDL_TRUE) {
        return false;
    }
    out.x = axisValue(joystick, 0);
    out.y = axisValue(joystick, 1);
    out.z = axisValue(joystick, 2);
    if (SDL_JoystickNumHats(joystick) > 0) {
        out.pov = hatAngle(SDL_JoystickGetHat(joystick, 0));
    }
    for (int i = 0; i < buttonCount_; ++i) {
        if (SDL_JoystickGetButton(joystick, i) != 0) {
            out.buttons |= 1u << i;
        }
    }
    return true;
}

VirtualJoystick::VirtualJoystick(int axes, int buttons) {
    subsystemStarted_ = startJoystickSubsystem();
    if (!subsystemStarted_) {
        return;
    }
    deviceIndex_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, axes, buttons, 1);
    if (deviceIndex_ >= 0) {
        handle_ = SDL_JoystickOpen(deviceIndex_);
    }
}

VirtualJoystick::~VirtualJoystick() {
    if (handle_ != nullptr) {
        const SDL_JoystickID instance = SDL_JoystickInstanceID(sdl(handle_));
        SDL_JoystickClose(sdl(handle_));
        // The device index may have moved since attaching; find ours again by its instance.
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    } else if (deviceIndex_ >= 0) {
        SDL_JoystickDetachVirtual(deviceIndex_);
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    }
}

void VirtualJoystick::setAxis(int axis, std::int16_t value) {
    if (handle_ != nullptr) {
        SDL_JoystickSetVirtualAxis(sdl(handle_), axis, value);
    }
}

void VirtualJoystick::setButton(int button, bool down) {
    if (handle_ != nullptr) {
        SDL_JoystickSetVirtualButton(sdl(handle_), button, down ? 1 : 0);
    }
}

} // namespace tw::platform
