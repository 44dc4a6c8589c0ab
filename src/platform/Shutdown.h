// SPDX-License-Identifier: MIT
// The end of the program's use of the platform: every SDL subsystem and what SDL set up for them
// (the desktop bus connection among them) is released, so that nothing is left for a leak check.
#pragma once

namespace tw::platform {

// Call once, after the window and the loop are gone. Sound and joysticks still open are closed.
void shutDown();

} // namespace tw::platform
