// SPDX-License-Identifier: MIT
// The input component and its devices: key tables, the stick rule, and the per-frame update that
// folds the devices' states into InputStates.
#include "engine/DXInput.h"

#include "platform/KeyboardState.h"
#include "platform/VirtualKeys.h"

#include <cmath>
#include <cstdlib>

namespace vk = tw::platform::vk;

namespace {

constexpr std::size_t kAssignsBytes = kInputStateCount * 3 * 4;

TKeyAssignList ArrowAndPadAssigns(std::uint8_t up, std::uint8_t down, std::uint8_t left, std::uint8_t right) {
    TKeyAssignList a{};
    a[InputUp] = {up, vk::Up, vk::numpad(8)};
    a[InputDown] = {down, vk::Down, vk::numpad(2)};
    a[InputLeft] = {left, vk::Left, vk::numpad(4)};
    a[InputRight] = {right, vk::Right, vk::numpad(6)};
    a[InputButton9] = {vk::function(2), 0, 0};
    return a;
}

} // namespace

TKeyAssignList DefaultKeyAssigns() {
    TKeyAssignList a = ArrowAndPadAssigns(vk::letter('K'), vk::letter('J'), vk::letter('H'), vk::letter('L'));
    a[InputButton1] = {vk::letter('Z'), vk::Space, 0};
    a[InputButton2] = {vk::letter('X'), vk::Return, 0};
    return a;
}

TKeyAssignList GameKeyAssigns() {
    TKeyAssignList a = ArrowAndPadAssigns(vk::letter('W'), vk::letter('S'), vk::letter('A'), vk::letter('D'));
    a[InputButton1] = {vk::Control, vk::Space, 0};
    a[InputButton2] = {vk::Shift, vk::Return, 0};
    return a;
}

std::int32_t ConvertJoystickAxis(std::int32_t raw, std::int32_t minimum, std::int32_t maximum,
                                 std::int32_t deadZonePercent, std::int32_t range) {
    const std::int64_t half = (std::int64_t{maximum} - minimum) / 2;
    const std::int64_t dz = deadZonePercent * half / 100;
    if (half == dz) {
        return 0;
    }
    // The rule measures from half, as for devices whose minimum is 0.
    const std::int64_t v = raw - half;
    if (std::llabs(v) <= dz) {
        return 0;
    }
    const std::int64_t beyond = v > 0 ? v - dz : v + dz;
    const double scaled = static_cast<double>(beyond * range) / static_cast<double>(half - dz);
    return static_cast<std::int32_t>(std::nearbyint(scaled));
}

// ---- devices ---------------------------------------------------------------------------------

TCustomInput::TCustomInput(TCustomDXInput& dxInput) : dxInput_(dxInput) {}

TCustomInput::~TCustomInput() = default;

void TCustomInput::SetEnabled(bool enabled) {
    if (enabled_ == enabled) {
        return;
    }
    enabled_ = enabled;
    if (dxInput_.IsLoaded()) {
        ReleaseDevice();
        if (enabled_) {
            try {
                OpenDevice();
            } catch (...) {
                enabled_ = false; // a device that cannot open is not left half switched on
                throw;
            }
            SetAccessMode();
        }
    }
}

bool TCustomInput::MayRead() const { return open_ && ForegroundAllows(); }

bool TCustomInput::ForegroundAllows() const { return !dxInput_.ActiveOnly || dxInput_.OwnerIsForeground(); }

TKeyboard::TKeyboard(TCustomDXInput& dxInput) : TCustomInput(dxInput), KeyAssigns(DefaultKeyAssigns()) {}

void TKeyboard::OpenDevice() { open_ = true; }

void TKeyboard::Update() {
    keys_.fill(0);
    states_.Clear();
    if (!MayRead()) {
        return;
    }
    const auto& held = tw::platform::KeyboardState::instance();
    for (int code = 0; code < 256; ++code) {
        if (held.isDown(static_cast<std::uint8_t>(code))) {
            keys_[static_cast<std::size_t>(code)] = 0x80;
        }
    }
    for (int s = 0; s < kInputStateCount; ++s) {
        for (std::int32_t code : KeyAssigns[static_cast<std::size_t>(s)]) {
            if (code >= 1 && code <= 255 && Key(static_cast<std::uint8_t>(code))) {
                states_.Include(static_cast<TDXInputState>(s));
                break;
            }
        }
    }
}

std::vector<std::uint8_t> TKeyboard::WriteAssigns() const {
    std::vector<std::uint8_t> out;
    out.reserve(kAssignsBytes);
    for (const TKeyAssign& keys : KeyAssigns) {
        for (std::int32_t code : keys) {
            const auto u = static_cast<std::uint32_t>(code);
            for (int shift = 0; shift < 32; shift += 8) {
                out.push_back(static_cast<std::uint8_t>(u >> shift));
            }
        }
    }
    return out;
}

void TKeyboard::ReadAssigns(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kAssignsBytes) {
        throw EDXInputError("Key assignments must be 432 bytes long");
    }
    std::size_t at = 0;
    for (TKeyAssign& keys : KeyAssigns) {
        for (std::int32_t& code : keys) {
            std::uint32_t u = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                u |= std::uint32_t{bytes[at++]} << shift;
            }
            code = static_cast<std::int32_t>(u);
        }
    }
}

bool TKeyboard::IsAssignsProperty(std::string_view name) { return name == "Assigns" || name == "Aissgns"; }

TJoystick::TJoystick(TCustomDXInput& dxInput) : TCustomInput(dxInput) {}

void TJoystick::OpenDevice() {
    wanted_ = true;
    open_ = device_.open(DeviceToOpen());
}

void TJoystick::ReleaseDevice() {
    device_.close();
    open_ = wanted_ = false;
}

void TJoystick::ReadPosition(const tw::platform::JoystickPosition& pos) {
    x_ = ConvertJoystickAxis(pos.x, pos.minimum, pos.maximum, deadZone_[0], range_[0]);
    y_ = ConvertJoystickAxis(pos.y, pos.minimum, pos.maximum, deadZone_[1], range_[1]);
    z_ = ConvertJoystickAxis(pos.z, pos.minimum, pos.maximum, deadZone_[2], range_[2]);
    pov_ = pos.pov;
    for (int i = 0; i < device_.buttonCount(); ++i) {
        buttons_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((pos.buttons >> i & 1u) != 0 ? 0x80 : 0);
    }
}

void TJoystick::Update() {
    x_ = y_ = z_ = 0;
    pov_ = -1;
    buttons_.fill(0);
    states_.Clear();
    if (!wanted_ || !ForegroundAllows()) {
        return;
    }
    tw::platform::JoystickPosition pos;
    if (!open_ || !device_.read(pos)) {
        // Lost, or not there yet: take the device up again once. If that fails too, the states stay
        // empty for this frame and the next frame looks again, so a pad pulled out and plugged back
        // in works at once.
        open_ = device_.open(DeviceToOpen()) && device_.read(pos);
        if (!open_) {
            return;
        }
    }
    ReadPosition(pos);
    for (int i = 0; i < 32; ++i) {
        if (buttons_[static_cast<std::size_t>(i)] != 0) {
            states_.Include(static_cast<TDXInputState>(InputButton1 + i));
        }
    }
    if (x_ < 0) states_.Include(InputLeft);
    if (x_ > 0) states_.Include(InputRight);
    if (y_ < 0) states_.Include(InputUp);
    if (y_ > 0) states_.Include(InputDown);
}

TMouse::TMouse(TCustomDXInput& dxInput) : TCustomInput(dxInput) {
    enabled_ = false;
    BindInputStates = false;
}

void TMouse::OpenDevice() {
    if (enabled_) {
        throw EDXInputError("DirectInput is necessary to use the mouse");
    }
}

void TMouse::Update() { states_.Clear(); }

// ---- the component ---------------------------------------------------------------------------

TCustomDXInput::TCustomDXInput(TForegroundQuery ownerIsForeground) : ownerIsForeground_(std::move(ownerIsForeground)) {
    if (!ownerIsForeground_) {
        throw EDXInputError("Form not found");
    }
    joystick_ = std::make_unique<TJoystick>(*this);
    keyboard_ = std::make_unique<TKeyboard>(*this);
    mouse_ = std::make_unique<TMouse>(*this);
}

TCustomDXInput::~TCustomDXInput() { ReleaseDevices(); }

std::array<TCustomInput*, 3> TCustomDXInput::Devices() { return {joystick_.get(), keyboard_.get(), mouse_.get()}; }

void TCustomDXInput::ReleaseDevices() {
    for (TCustomInput* d : Devices()) {
        d->ReleaseDevice();
    }
}

void TCustomDXInput::OpenDevices() {
    ReleaseDevices();
    // There is no DirectInput service here, so UseDirectInput changes nothing but the reopening:
    // every device reads the platform's key table and joystick service directly.
    for (TCustomInput* d : Devices()) {
        if (d->Enabled()) {
            d->OpenDevice();
        }
    }
    for (TCustomInput* d : Devices()) {
        d->SetAccessMode();
    }
    Update();
}

void TCustomDXInput::Loaded() {
    loaded_ = true;
    OpenDevices();
}

void TCustomDXInput::SetUseDirectInput(bool use) {
    if (useDirectInput_ == use) {
        return;
    }
    useDirectInput_ = use;
    if (loaded_) {
        OpenDevices();
    }
}

void TCustomDXInput::WindowActivated() {
    if (ActiveOnly && !OwnerIsForeground()) {
        return;
    }
    TCustomInput& joystick = *joystick_;
    if (joystick.Enabled() && !joystick.IsOpen()) {
        joystick.OpenDevice();
    }
}

void TCustomDXInput::Update() {
    TDXInputStates raw;
    for (TCustomInput* d : Devices()) {
        d->Update();
        if (d->BindInputStates) {
            raw |= d->States();
        }
    }
    const std::uint64_t now = raw.Bits();
    const std::uint64_t before = previousRaw_.Bits();
    const std::uint64_t pressed = now & ~before;
    const std::uint64_t released = before & ~now;
    InputStates = TDXInputStates::FromBits((InputStates.Bits() | pressed) & ~released);
    previousRaw_ = raw;
}
