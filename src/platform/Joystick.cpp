// SPDX-License-Identifier: MIT
// SDL side of the joysticks: opening the id-th device, reading its raw position (through the game
// controller layout where SDL knows the pad), and the software joystick and pad used by tests.
#include "platform/Joystick.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <iterator>

namespace tw::platform {
namespace {

SDL_Joystick* sdl(void* handle) { return static_cast<SDL_Joystick*>(handle); }
SDL_GameController* pad(void* handle) { return static_cast<SDL_GameController*>(handle); }

// The game controller service brings the joystick service with it, and SDL's table of known pads.
constexpr Uint32 kJoystickServices = SDL_INIT_GAMECONTROLLER;

// Pads SDL has no layout for are described by the player in a file SDL_GAMECONTROLLERCONFIG_FILE
// names (one mapping a line, as SDL writes them). Read each time the service starts, so a changed
// file counts at the next start; one that cannot be read is said once, and the pads then read as
// plain joysticks.
void loadMappingFile() {
    const char* file = SDL_getenv("SDL_GAMECONTROLLERCONFIG_FILE");
    if (file == nullptr || *file == '\0') return;
    if (SDL_GameControllerAddMappingsFromFile(file) >= 0) return;
    static std::string told;
    if (told == file) return;
    told = file;
    std::cerr << "Tide Warden: the pad mappings in \"" << file << "\" cannot be read: " << SDL_GetError() << '\n';
}

bool startJoystickSubsystem() {
    // The input component decides itself whether an unfocused window is read (its ActiveOnly);
    // without this hint SDL would silently drop stick movement while the window is in the background.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(kJoystickServices) != 0) return false;
    loadMappingFile();
    return true;
}

// Detaches a software device that was opened; its index may have moved since attaching, so it is
// found again by its instance.
void detachVirtual(SDL_Joystick* joystick) {
    const SDL_JoystickID instance = SDL_JoystickInstanceID(joystick);
    SDL_JoystickClose(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
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

// A pad's buttons as the joystick's: A (south) is button 1, B (east) button 2.
constexpr SDL_GameControllerButton kPadButtons[] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B};
constexpr int kPadButtonCount = static_cast<int>(std::size(kPadButtons));

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
        // A pad SDL knows is read by its layout, whatever order its maker gave the axes and buttons.
        if (SDL_IsGameController(id) == SDL_TRUE) {
            controller_ = SDL_GameControllerOpen(id);
            if (controller_ != nullptr) {
                handle_ = SDL_GameControllerGetJoystick(pad(controller_));
            }
        }
        if (handle_ == nullptr) {
            handle_ = SDL_JoystickOpen(id);
        }
    }
    if (handle_ == nullptr) {
        closeDevice();
        return false;
    }
    buttonCount_ = controller_ != nullptr ? kPadButtonCount : std::clamp(SDL_JoystickNumButtons(sdl(handle_)), 0, 32);
    return true;
}

void Joystick::closeDevice() {
    if (controller_ != nullptr) {
        SDL_GameControllerClose(pad(controller_)); // closes its joystick too
    } else if (handle_ != nullptr) {
        SDL_JoystickClose(sdl(handle_));
    }
    controller_ = nullptr;
    handle_ = nullptr;
    buttonCount_ = 0;
}

void Joystick::close() {
    closeDevice();
    if (subsystemStarted_) {
        SDL_QuitSubSystem(kJoystickServices);
        subsystemStarted_ = false;
    }
}

std::string Joystick::knownLayout(const std::string& guid) {
    char* mapping = SDL_GameControllerMappingForGUID(SDL_JoystickGetGUIDFromString(guid.c_str()));
    if (mapping == nullptr) return {};
    // "guid,name,bindings...": the name is the second field.
    const std::string line = mapping;
    SDL_free(mapping);
    const std::size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(comma + 1, line.find(',', comma + 1) - comma - 1);
}

int Joystick::instanceId() const {
    return handle_ != nullptr ? static_cast<int>(SDL_JoystickInstanceID(sdl(handle_))) : -1;
}

bool Joystick::read(JoystickPosition& out) {
    out = JoystickPosition{kAxisCentre, kAxisCentre, kAxisCentre, 0, kAxisMaximum, -1, 0};
    if (handle_ == nullptr) {
        return false;
    }
    // Polled once per frame: bring SDL's copy of the device state up to date ourselves rather than
    // depend on the event loop having pumped since the last frame.
    SDL_JoystickUpdate();
    if (controller_ != nullptr) {
        return readController(out);
    }
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

bool Joystick::readController(JoystickPosition& out) {
    SDL_GameController* controller = pad(controller_);
    if (SDL_GameControllerGetAttached(controller) != SDL_TRUE) {
        return false;
    }
    const auto held = [&](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(controller, b) != 0; };
    const bool left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT), right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    const bool up = held(SDL_CONTROLLER_BUTTON_DPAD_UP), down = held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    out.x = static_cast<std::int32_t>(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX)) + 32768;
    out.y = static_cast<std::int32_t>(SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY)) + 32768;
    // The d-pad steers at full deflection, over whatever the stick says; left before right, up before
    // down, as the keys are taken.
    if (left) {
        out.x = 0;
    } else if (right) {
        out.x = kAxisMaximum;
    }
    if (up) {
        out.y = 0;
    } else if (down) {
        out.y = kAxisMaximum;
    }
    int hat = SDL_HAT_CENTERED;
    if (left) hat |= SDL_HAT_LEFT;
    if (right && !left) hat |= SDL_HAT_RIGHT;
    if (up) hat |= SDL_HAT_UP;
    if (down && !up) hat |= SDL_HAT_DOWN;
    out.pov = hatAngle(static_cast<Uint8>(hat));
    for (int i = 0; i < kPadButtonCount; ++i) {
        if (held(kPadButtons[i])) {
            out.buttons |= 1u << i;
        }
    }
    return true;
}

JoystickSet::~JoystickSet() { close(); }

bool JoystickSet::open(int id) {
    devices_.clear();
    everyDevice_ = id < 0;
    if (!everyDevice_) {
        auto device = std::make_unique<Joystick>();
        if (device->open(id)) devices_.push_back(std::move(device));
        return isOpen();
    }
    if (!subsystemStarted_) subsystemStarted_ = startJoystickSubsystem();
    if (!subsystemStarted_) return false;
    SDL_JoystickUpdate(); // notices pads plugged in since the last look
    openNewDevices();
    return isOpen();
}

void JoystickSet::openNewDevices() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        const int instance = static_cast<int>(SDL_JoystickGetDeviceInstanceID(i));
        const bool known = std::any_of(devices_.begin(), devices_.end(),
                                       [&](const std::unique_ptr<Joystick>& d) { return d->instanceId() == instance; });
        if (known) continue;
        auto device = std::make_unique<Joystick>();
        if (device->open(i)) devices_.push_back(std::move(device));
    }
}

void JoystickSet::close() {
    devices_.clear();
    if (subsystemStarted_) {
        SDL_QuitSubSystem(kJoystickServices);
        subsystemStarted_ = false;
    }
}

int JoystickSet::buttonCount() const {
    int most = 0;
    for (const auto& d : devices_) most = std::max(most, d->buttonCount());
    return most;
}

bool JoystickSet::read(JoystickPosition& out) {
    out = JoystickPosition{kAxisCentre, kAxisCentre, kAxisCentre, 0, kAxisMaximum, -1, 0};
    if (everyDevice_ && subsystemStarted_) {
        SDL_JoystickUpdate();
        openNewDevices();
    }
    const auto further = [](std::int32_t a, std::int32_t b) {
        return std::abs(b - kAxisCentre) > std::abs(a - kAxisCentre) ? b : a;
    };
    bool any = false;
    for (auto it = devices_.begin(); it != devices_.end();) {
        JoystickPosition p;
        if (!(*it)->read(p)) {
            // Gone: a set forgets it, so that plugged in again it is opened afresh.
            if (everyDevice_) {
                it = devices_.erase(it);
            } else {
                ++it;
            }
            continue;
        }
        any = true;
        out.x = further(out.x, p.x);
        out.y = further(out.y, p.y);
        out.z = further(out.z, p.z);
        if (out.pov < 0) out.pov = p.pov;
        out.buttons |= p.buttons;
        ++it;
    }
    return any;
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
        detachVirtual(sdl(handle_));
    } else if (deviceIndex_ >= 0) {
        SDL_JoystickDetachVirtual(deviceIndex_);
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(kJoystickServices);
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

VirtualGameController::VirtualGameController() {
    subsystemStarted_ = startJoystickSubsystem();
    if (!subsystemStarted_) {
        return;
    }
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    // Every axis and button of the layout, so the device's own numbers are the layout's.
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1u;
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1u;
    desc.name = "Virtual pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index >= 0) {
        handle_ = SDL_JoystickOpen(index);
    }
}

void VirtualGameController::setStart(bool down) {
    if (handle_ != nullptr) SDL_JoystickSetVirtualButton(sdl(handle_), SDL_CONTROLLER_BUTTON_START, down ? 1 : 0);
}

VirtualGameController::~VirtualGameController() {
    if (handle_ != nullptr) {
        detachVirtual(sdl(handle_));
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(kJoystickServices);
    }
}

void VirtualGameController::setLeftStick(std::int16_t x, std::int16_t y) {
    if (handle_ != nullptr) {
        SDL_JoystickSetVirtualAxis(sdl(handle_), SDL_CONTROLLER_AXIS_LEFTX, x);
        SDL_JoystickSetVirtualAxis(sdl(handle_), SDL_CONTROLLER_AXIS_LEFTY, y);
    }
}

void VirtualGameController::setButton(Button button, bool down) {
    static constexpr SDL_GameControllerButton kButtons[] = {
        SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,         SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y,         SDL_CONTROLLER_BUTTON_DPAD_UP,   SDL_CONTROLLER_BUTTON_DPAD_DOWN,
        SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
    if (handle_ != nullptr) {
        SDL_JoystickSetVirtualButton(sdl(handle_), kButtons[button], down ? 1 : 0);
    }
}

} // namespace tw::platform
