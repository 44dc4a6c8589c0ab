// SPDX-License-Identifier: MIT
// The game's message box: a modal note with an OK button. While the game's window exists it is drawn
// in that window (platform/WindowMessage.h); otherwise the desktop's dialog "Tide Warden" shows it,
// except in sanitizer builds, where that dialog can hang. Every message also goes to stderr, and
// only there without a window system. Tests install a handler that captures the text instead.
#pragma once

#include <functional>
#include <string>

namespace tw::platform {

void showMessageBox(const std::string& text);

// A handler replaces the real box until reset with an empty function.
void setMessageBoxHandler(std::function<void(const std::string&)> handler);

} // namespace tw::platform
