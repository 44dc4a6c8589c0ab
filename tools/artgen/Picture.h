// SPDX-License-Identifier: MIT
// What a drawing program hands back (an image, its pattern grid, how it is keyed) and the registry
// that maps program names used in the item lists to the programs under assets/pictures/.
#pragma once

#include "Raster.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace art {

// The colour no picture may contain: pixels of this value are left out when a picture is drawn.
inline constexpr std::uint32_t kColorKeyRGB = 0xFF00FF;
// The same colour as the game's colour values write it (red in the low byte).
constexpr std::uint32_t colorKeyValue() {
    return ((kColorKeyRGB & 0xFF) << 16) | (kColorKeyRGB & 0xFF00) | ((kColorKeyRGB >> 16) & 0xFF);
}

struct Picture {
    Image image;
    int patternWidth = 0;  // 0: the whole width
    int patternHeight = 0; // 0: the whole height
    bool keyed = true;     // false: every pixel is opaque (backgrounds, panels)
    // Half-covered edge pixels are mixed with this colour, the colour the picture is usually seen on.
    Color matte = hex(0x0E3B5C);
};

// The arguments of one line of an item list, after the program name.
class Args {
public:
    explicit Args(std::vector<std::string> values) : values_(std::move(values)) {}
    std::size_t size() const { return values_.size(); }
    // Throws std::runtime_error naming the missing argument.
    const std::string& text(std::size_t i) const;
    int integer(std::size_t i) const;
    int integerOr(std::size_t i, int fallback) const { return i < values_.size() ? integer(i) : fallback; }

private:
    std::vector<std::string> values_;
};

using Program = std::function<Picture(const Args&)>;

// Programs register themselves at start-up; a name registered twice is an error at run time.
class Programs {
public:
    static Programs& instance();
    void add(const std::string& name, Program program);
    const Program* find(const std::string& name) const;
    std::vector<std::string> names() const;
    const std::vector<std::string>& duplicates() const { return duplicates_; }

private:
    std::map<std::string, Program> programs_;
    std::vector<std::string> duplicates_;
};

struct RegisterProgram {
    RegisterProgram(const std::string& name, Program program) { Programs::instance().add(name, std::move(program)); }
};

// The folder the item lists were read from; programs that read text sources (help pages) look there.
void setSourceDirectory(const std::string& dir);
const std::string& sourceDirectory();

// Runs a program by name with the given arguments (used by programs that reuse others, such as
// the help page that shows the fish).
Picture runProgram(const std::string& name, const std::vector<std::string>& args);

} // namespace art
