// SPDX-License-Identifier: MIT
// Turns the game's file names ("data\menu.dxg", "Sound\1.xm") into paths that exist here: a
// backslash is a separator, a name that does not exist exactly is matched component by component
// without regard to letter case, and the data names go to the installed data folder when one is named.
#pragma once

#include <string>

namespace tw::platform {

// An absolute folder holding "data" and "sound": the launcher sets it, so the player's folder the
// game runs in holds only the player's files.
inline constexpr const char* kDataFolderVariable = "TIDEWARDEN_DATA";

// The resolved path; when nothing matches, the name with forward slashes (so opening it fails
// normally with the name the game asked for).
std::string resolvePath(const std::string& name);

} // namespace tw::platform
