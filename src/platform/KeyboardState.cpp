// SPDX-License-Identifier: MIT
// The one table of held keys.
#include "platform/KeyboardState.h"

#include "platform/VirtualKeys.h"

#include <utility>

namespace tw::platform {

KeyboardState& KeyboardState::instance() {
    static KeyboardState state;
    return state;
}

void KeyboardState::setDown(std::uint8_t vk, bool down) {
    down_[vk] = down;
    const std::uint8_t generic = genericVirtualKey(vk);
    if (generic == vk) return;
    // The generic code stays down while the other side is still held.
    const auto sides = [](std::uint8_t g) -> std::pair<std::uint8_t, std::uint8_t> {
        if (g == vk::Shift) return {vk::LShift, vk::RShift};
        if (g == vk::Control) return {vk::LControl, vk::RControl};
        return {vk::LMenu, vk::RMenu};
    }(generic);
    down_[generic] = down_[sides.first] || down_[sides.second];
}

} // namespace tw::platform
