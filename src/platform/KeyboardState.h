// SPDX-License-Identifier: MIT
// Which virtual keys are held now: kept up to date by the event loop from key events, read by the
// input component every frame. Cleared when the window loses the focus, so no key sticks.
#pragma once

#include <array>
#include <cstdint>

namespace tw::platform {

class KeyboardState {
public:
    static KeyboardState& instance();

    bool isDown(std::uint8_t vk) const { return down_[vk]; }
    // A sided modifier (left/right Shift, Ctrl, Alt) also sets or clears its generic code; the
    // generic code is released only when neither side is held any more.
    void setDown(std::uint8_t vk, bool down);
    void clear() { down_.fill(false); }

private:
    std::array<bool, 256> down_{};
};

} // namespace tw::platform
