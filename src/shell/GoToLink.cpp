// SPDX-License-Identifier: MIT
// The desktop's "open" for links and for "play.url".
#include "shell/GoToLink.h"

#include "platform/PathResolver.h"
#include "platform/ShellOpen.h"

#include <filesystem>
#include <system_error>

void GoToLink(const std::string& target) { tw::platform::shellOpen(target); }

bool OpenPlayUrl() {
    const std::string path = tw::platform::resolvePath("play.url");
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    GoToLink(path);
    return true;
}
