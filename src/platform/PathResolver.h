// Turns the game's file names ("data\menu.dxg", "Sound\1.xm") into paths that exist here:
// a backslash is a separator, and a name that does not exist exactly is matched component by
// component without regard to letter case.
#pragma once

#include <string>

namespace tw::platform {

// The resolved path; when nothing matches, the name with forward slashes (so opening it fails
// normally with the name the game asked for).
std::string resolvePath(const std::string& name);

} // namespace tw::platform
