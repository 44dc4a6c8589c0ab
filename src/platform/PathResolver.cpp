// SPDX-License-Identifier: MIT
// Resolves the game's backslash file names against the real file system, matching each
// component without regard to letter case when the exact name does not exist, and the game's data
// names against the installed data folder.
#include "platform/PathResolver.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tw::platform {

namespace fs = std::filesystem;

namespace {

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool existsQuietly(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// The entry of `dir` whose name equals `component` ignoring case; the first in name order when
// several do, so the result does not depend on the directory's listing order.
std::string findIgnoringCase(const fs::path& dir, const std::string& component) {
    std::error_code error;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, error);
    if (error) return {};
    std::string best;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) break;
        const std::string name = it->path().filename().string();
        if (sameIgnoringCase(name, component) && (best.empty() || name < best)) best = name;
    }
    return best;
}

// The folders the game reads its pictures and sounds from, relative to the run folder.
bool isDataFolder(const std::string& component) {
    return sameIgnoringCase(component, "data") || sameIgnoringCase(component, "sound");
}

// "data/menu.dxg" under the installed data folder, unless the run folder has a real folder of that
// name of its own (a player's changed pictures); a link there is an older launcher's and is passed by.
std::string underDataFolder(const std::string& slashed) {
    const char* env = std::getenv(kDataFolderVariable);
    if (env == nullptr || env[0] != '/' || slashed.empty() || slashed.front() == '/') return {};
    const std::string first = slashed.substr(0, slashed.find('/'));
    if (!isDataFolder(first)) return {};
    const std::string own = existsQuietly(first) ? first : findIgnoringCase({}, first);
    std::error_code error;
    if (!own.empty() && fs::is_directory(fs::symlink_status(own, error))) return {};
    std::string base = env;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base == "/" ? base + slashed : base + "/" + slashed;
}

} // namespace

std::string resolvePath(const std::string& name) {
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (const std::string installed = underDataFolder(slashed); !installed.empty()) slashed = installed;
    if (slashed.empty() || existsQuietly(slashed)) return slashed;

    fs::path resolved = slashed.front() == '/' ? fs::path("/") : fs::path();
    std::size_t start = 0;
    while (start <= slashed.size()) {
        std::size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        const std::string component = slashed.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        if (component == "." || component == ".." || existsQuietly(resolved / component)) {
            resolved /= component;
            continue;
        }
        const std::string match = findIgnoringCase(resolved, component);
        if (match.empty()) return slashed; // nothing fits: the caller's open fails with the name it asked for
        resolved /= match;
    }
    return resolved.string();
}

} // namespace tw::platform
