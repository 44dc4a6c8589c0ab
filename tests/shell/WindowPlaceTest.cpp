// SPDX-License-Identifier: MIT
// Where the window opens: the remembered place's file (a damaged one is as none), and the largest
// whole multiple of the picture that fits a screen comfortably.
#include "shell/WindowPlace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using tw::platform::WindowPlacement;

bool Same(const std::optional<WindowPlacement>& a, const std::optional<WindowPlacement>& b) {
    if (!a || !b) return a.has_value() == b.has_value();
    return a->x == b->x && a->y == b->y && a->width == b->width && a->height == b->height;
}

TEST(WindowPlace, TheFileIsOneLineOfPlaceAndSizeAndAnythingElseIsNone) {
    struct Case {
        std::string text;
        std::optional<WindowPlacement> expected;
    };
    const std::vector<Case> cases = {
        {"10 20 1000 750\n", WindowPlacement{10, 20, 1000, 750}},
        {"-1910 0 800 600", WindowPlacement{-1910, 0, 800, 600}}, // a display left of the first
        {"0 0 400 300\n", WindowPlacement{0, 0, 400, 300}},       // the smallest window
        {"", std::nullopt},
        {"10 20 1000\n", std::nullopt},
        {"10 20 1000 750 5\n", std::nullopt},
        {"10 20 1000 750\n\n", std::nullopt},
        {"ten 20 1000 750\n", std::nullopt},
        {"10 20 399 750\n", std::nullopt}, // smaller than the window may be
        {"10 20 1000 299\n", std::nullopt},
        {"10 20 99999 750\n", std::nullopt},         // no screen is that wide
        {"99999999999 20 1000 750\n", std::nullopt}, // beyond an int
        {std::string("10 20 \\0\\0\\0 750\n"), std::nullopt},
        {std::string("\x04\xff\x12\x00\x9c", 5), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(Same(ParseWindowPlace(c.text), c.expected));
    }
    const WindowPlacement p{-5, 7, 1234, 987};
    EXPECT_TRUE(Same(ParseWindowPlace(FormatWindowPlace(p)), p));
}

TEST(WindowPlace, WrittenAndReadBackAndAMissingOrDamagedFileIsNone) {
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "tidewarden-place";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / WindowPlaceFileName;
    EXPECT_FALSE(ReadWindowPlace(file));
    WriteWindowPlace(file, {100, 50, 1600, 1200});
    EXPECT_TRUE(Same(ReadWindowPlace(file), WindowPlacement{100, 50, 1600, 1200}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary file left";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << std::string(158, '\x5a'); // a settings record where the place should be
    }
    EXPECT_FALSE(ReadWindowPlace(file));
    // A folder that cannot be written to costs the remembered place, nothing else.
    WriteWindowPlace(folder / "no-such-folder" / WindowPlaceFileName, {0, 0, 800, 600});
    std::filesystem::remove_all(folder);
}

TEST(WindowPlace, ANewWindowIsTheLargestWholeMultipleThatFitsComfortablyCentred) {
    struct Case {
        int width, height, scale;
    };
    for (const Case c : {Case{1024, 768, 1}, Case{1920, 1080, 1}, Case{1920, 1200, 1}, Case{2560, 1440, 2},
                         Case{2560, 1600, 2}, Case{3840, 2160, 3}, Case{5120, 2880, 4}, Case{640, 480, 1},
                         Case{1778, 1334, 2}, Case{1777, 1334, 1}, Case{1778, 1333, 1}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(StartScale(c.width, c.height), c.scale);
    }
    const tw::platform::ViewRect usable{0, 32, 2560, 1408}; // a panel above
    EXPECT_TRUE(Same(StartPlacement(usable, std::nullopt, false), WindowPlacement{480, 136, 1600, 1200}));
    const WindowPlacement remembered{40, 60, 1000, 750};
    EXPECT_TRUE(Same(StartPlacement(usable, remembered, true), remembered));
    EXPECT_TRUE(Same(StartPlacement(usable, remembered, false), WindowPlacement{480, 136, 1600, 1200}))
        << "remembered on a display that has gone";
}

} // namespace
