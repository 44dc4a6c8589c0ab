// SPDX-License-Identifier: MIT
// The input component: keyboard, joystick and (switched off) mouse devices folded once per frame
// into 36 abstract input states that the hero steers and fires from.
#pragma once

#include "platform/Joystick.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

class EDXInputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TDXInputState : std::uint8_t {
    InputUp,
    InputDown,
    InputLeft,
    InputRight,
    InputButton1,
    InputButton2,
    InputButton3,
    InputButton4,
    InputButton5,
    InputButton6,
    InputButton7,
    InputButton8,
    InputButton9,
    InputButton10,
    InputButton11,
    InputButton12,
    InputButton13,
    InputButton14,
    InputButton15,
    InputButton16,
    InputButton17,
    InputButton18,
    InputButton19,
    InputButton20,
    InputButton21,
    InputButton22,
    InputButton23,
    InputButton24,
    InputButton25,
    InputButton26,
    InputButton27,
    InputButton28,
    InputButton29,
    InputButton30,
    InputButton31,
    InputButton32,
};
inline constexpr int kInputStateCount = 36;

// A set of input states (36 bits).
class TDXInputStates {
public:
    constexpr TDXInputStates() = default;
    constexpr TDXInputStates(std::initializer_list<TDXInputState> states) {
        for (TDXInputState s : states) Include(s);
    }
    constexpr bool Has(TDXInputState s) const { return (bits_ >> s & 1u) != 0; }
    constexpr void Include(TDXInputState s) { bits_ |= std::uint64_t{1} << s; }
    constexpr void Exclude(TDXInputState s) { bits_ &= ~(std::uint64_t{1} << s); }
    constexpr void Clear() { bits_ = 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint64_t Bits() const { return bits_; }
    static constexpr TDXInputStates FromBits(std::uint64_t bits) {
        TDXInputStates s;
        s.bits_ = bits & kAll;
        return s;
    }
    constexpr TDXInputStates& operator|=(TDXInputStates o) {
        bits_ |= o.bits_;
        return *this;
    }
    friend constexpr bool operator==(TDXInputStates, TDXInputStates) = default;

private:
    static constexpr std::uint64_t kAll = (std::uint64_t{1} << kInputStateCount) - 1;
    std::uint64_t bits_ = 0;
};

// Three virtual-key codes per state; 0 (or anything outside 1 ... 255) is no key.
using TKeyAssign = std::array<std::int32_t, 3>;
using TKeyAssignList = std::array<TKeyAssign, kInputStateCount>;

// The table a keyboard device starts with.
TKeyAssignList DefaultKeyAssigns();
// The game's own table: W/A/S/D besides the arrows and the numeric pad, Ctrl or Space to fire,
// Shift or Enter for the net.
TKeyAssignList GameKeyAssigns();

// The game's stick rule: the axis' half travel, a dead zone in percent of it, and the rest scaled
// to -range ... range, rounded to nearest (ties to even).
std::int32_t ConvertJoystickAxis(std::int32_t raw, std::int32_t minimum, std::int32_t maximum,
                                 std::int32_t deadZonePercent, std::int32_t range);

class TCustomDXInput;

// One input device.
class TCustomInput {
public:
    explicit TCustomInput(TCustomDXInput& dxInput);
    virtual ~TCustomInput();
    TCustomInput(const TCustomInput&) = delete;
    TCustomInput& operator=(const TCustomInput&) = delete;

    bool Enabled() const { return enabled_; }
    // Reopens the devices when the component is already running, so the change takes effect.
    void SetEnabled(bool enabled);
    bool BindInputStates = true;
    bool ForceFeedback = false; // kept for the stored settings; this port has no effects

    TDXInputStates States() const { return states_; }
    bool IsOpen() const { return open_; }

    // Reads the device and recomputes States(); all states off while closed or in the background.
    virtual void Update() = 0;

protected:
    friend class TCustomDXInput;
    virtual void ReleaseDevice() { open_ = false; }
    virtual void OpenDevice() = 0;
    // Both devices read shared, non-exclusive state here, so there is no access mode to set.
    virtual void SetAccessMode() {}
    // Whether a read may happen now: open, and in the foreground when the component asks for it.
    bool MayRead() const;
    bool ForegroundAllows() const;

    TCustomDXInput& dxInput_;
    TDXInputStates states_;
    bool open_ = false;
    bool enabled_ = true;
};

class TKeyboard : public TCustomInput {
public:
    explicit TKeyboard(TCustomDXInput& dxInput);

    TKeyAssignList KeyAssigns;
    // The key table of the last update: pressed keys have the high bit set.
    bool Key(std::uint8_t vk) const { return (keys_[vk] & 0x80u) != 0; }

    // The stored form of KeyAssigns: 432 bytes, 36 states × 3 little-endian 32-bit codes.
    std::vector<std::uint8_t> WriteAssigns() const;
    // Reads the stored form; throws EDXInputError when it is not 432 bytes long.
    void ReadAssigns(std::span<const std::uint8_t> bytes);
    // The stored property's name is "Assigns"; an old misspelt name is still read.
    static bool IsAssignsProperty(std::string_view name);

    void Update() override;

protected:
    void OpenDevice() override;

private:
    std::array<std::uint8_t, 256> keys_{};
};

class TJoystick : public TCustomInput {
public:
    explicit TJoystick(TCustomDXInput& dxInput);

    bool AutoCenter = true;
    int ID = 0; // 0 = the first joystick found
    // Every attached joystick and pad at once instead of the ID-th alone: whichever the player
    // picks up steers, and one plugged in later joins at once.
    bool EveryDevice = false;

    std::int32_t DeadZoneX() const { return deadZone_[0]; }
    std::int32_t DeadZoneY() const { return deadZone_[1]; }
    std::int32_t DeadZoneZ() const { return deadZone_[2]; }
    void SetDeadZoneX(std::int32_t percent) { deadZone_[0] = ClampDeadZone(percent); }
    void SetDeadZoneY(std::int32_t percent) { deadZone_[1] = ClampDeadZone(percent); }
    void SetDeadZoneZ(std::int32_t percent) { deadZone_[2] = ClampDeadZone(percent); }
    std::int32_t RangeX() const { return range_[0]; }
    std::int32_t RangeY() const { return range_[1]; }
    std::int32_t RangeZ() const { return range_[2]; }
    void SetRangeX(std::int32_t r) { range_[0] = r < 0 ? 0 : r; }
    void SetRangeY(std::int32_t r) { range_[1] = r < 0 ? 0 : r; }
    void SetRangeZ(std::int32_t r) { range_[2] = r < 0 ? 0 : r; }

    // The values of the last update, each within -range ... range.
    std::int32_t X() const { return x_; }
    std::int32_t Y() const { return y_; }
    std::int32_t Z() const { return z_; }
    std::int32_t POV() const { return pov_; }
    bool Button(int i) const { return i >= 0 && i < 32 && buttons_[static_cast<std::size_t>(i)] != 0; }

    void Update() override;

protected:
    void ReleaseDevice() override;
    void OpenDevice() override;

private:
    static std::int32_t ClampDeadZone(std::int32_t p) { return p < 0 ? 0 : (p > 100 ? 100 : p); }
    void ReadPosition(const tw::platform::JoystickPosition& pos);
    int DeviceToOpen() const { return EveryDevice ? -1 : ID; }

    tw::platform::JoystickSet device_;
    bool wanted_ = false; // opened by the component: looked for every frame until it is found
    std::array<std::int32_t, 3> deadZone_{50, 50, 50};
    std::array<std::int32_t, 3> range_{1000, 1000, 1000};
    std::int32_t x_ = 0, y_ = 0, z_ = 0, pov_ = -1;
    std::array<std::uint8_t, 32> buttons_{};
};

// The mouse device exists for completeness and stays switched off: it needs DirectInput, which
// this platform does not offer.
class TMouse : public TCustomInput {
public:
    explicit TMouse(TCustomDXInput& dxInput);
    void Update() override;

protected:
    void OpenDevice() override;
};

// Whether the owning window is the foreground window. The component needs a window to belong to;
// this question is all it asks of it.
using TForegroundQuery = std::function<bool()>;

class TCustomDXInput {
public:
    // Throws EDXInputError "Form not found" without an owning window.
    explicit TCustomDXInput(TForegroundQuery ownerIsForeground);
    virtual ~TCustomDXInput();
    TCustomDXInput(const TCustomDXInput&) = delete;
    TCustomDXInput& operator=(const TCustomDXInput&) = delete;

    TJoystick& Joystick() { return *joystick_; }
    TKeyboard& Keyboard() { return *keyboard_; }
    TMouse& Mouse() { return *mouse_; }

    bool ActiveOnly = true;
    bool UseDirectInput() const { return useDirectInput_; }
    // Reopens the devices once the component is running.
    void SetUseDirectInput(bool use);

    // The states the game reads. A state follows its devices' presses and releases; one removed
    // here by hand stays off until its input is released and pressed again.
    TDXInputStates InputStates;

    // Called once the owning window has set the component's properties: opens the devices and
    // reads them for the first time.
    void Loaded();
    // The owning window was activated: devices that lost their connection are taken up again.
    void WindowActivated();
    void Update();

    bool OwnerIsForeground() const { return ownerIsForeground_(); }
    bool IsLoaded() const { return loaded_; }

private:
    void OpenDevices();
    void ReleaseDevices();
    std::array<TCustomInput*, 3> Devices();

    TForegroundQuery ownerIsForeground_;
    bool useDirectInput_ = true;
    bool loaded_ = false;
    TDXInputStates previousRaw_;
    // Created in this order, which is also the order they are read in.
    std::unique_ptr<TJoystick> joystick_;
    std::unique_ptr<TKeyboard> keyboard_;
    std::unique_ptr<TMouse> mouse_;
};

class TDXInput : public TCustomDXInput {
public:
    using TCustomDXInput::TCustomDXInput;
};
