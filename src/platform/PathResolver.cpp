// Resolves the game's backslash file names against the real file system, matching each
// component without regard to letter case when the exact name does not exist.
#include "platform/PathResolver.h"

#include <algorithm>
#include <cctype>
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

} // namespace

std::string resolvePath(const std::string& name) {
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
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
