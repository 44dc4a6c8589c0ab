// The game's message box: a modal note with the caption "Tide Warden" and an OK button.
// Tests install a handler that captures the text instead of blocking.
#pragma once

#include <functional>
#include <string>

namespace tw::platform {

void showMessageBox(const std::string& text);

// A handler replaces the real box until reset with an empty function.
void setMessageBoxHandler(std::function<void(const std::string&)> handler);

} // namespace tw::platform
