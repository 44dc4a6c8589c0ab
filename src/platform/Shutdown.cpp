// SPDX-License-Identifier: MIT
// SDL_Quit at the end of the program.
#include "platform/Shutdown.h"

#include <SDL.h>

namespace tw::platform {

void shutDown() { SDL_Quit(); }

} // namespace tw::platform
