// SPDX-License-Identifier: MIT
// Opens a document or web address with the desktop's default handler (xdg-open), without a shell
// and without waiting for it. Failures are ignored, as the game expects of the shell's "open".
#pragma once

#include <functional>
#include <string>

namespace tw::platform {

void shellOpen(const std::string& target);

// A handler replaces the real launch until reset with an empty function; tests capture the target.
void setShellOpenHandler(std::function<void(const std::string&)> handler);

} // namespace tw::platform
