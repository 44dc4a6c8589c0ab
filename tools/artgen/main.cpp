// SPDX-License-Identifier: MIT
// artgen: draws the game's pictures from assets/pictures and writes them out for packing.
//   artgen build <pictures dir> <out dir> <collection>...   PNG files and <out>/<collection>.list
//   artgen sheet <pictures dir> <collection> <sheet.png>     every item on one review sheet
//   artgen scenes <pictures dir> <out dir>                  mock-up screens for review
//   artgen icon <pictures dir> <out dir> <name> <size>...   the desktop icon, <size>x<size>/apps/<name>.png
//   artgen programs                                          the drawing programs there are
#include "Collection.h"
#include "Scenes.h"

#include "platform/Png.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: artgen build <pictures dir> <out dir> <collection>...\n"
                         "       artgen sheet <pictures dir> <collection> <sheet.png>\n"
                         "       artgen scenes <pictures dir> <out dir>\n"
                         "       artgen icon <pictures dir> <out dir> <name> <size>...\n"
                         "       artgen programs\n");
    return 2;
}

std::vector<art::BuiltItem> build(const std::string& dir, const std::string& collection) {
    art::setSourceDirectory(dir);
    return art::buildCollection(art::readItemList(dir + "/" + collection + ".items"));
}

// The icon is drawn once, as large as asked, and shrunk for the smaller sizes: a box filter keeps
// the fish's outline at 16 pixels where drawing it that small would lose it.
void writeIcons(const std::string& dir, const std::string& outDir, const std::string& name,
                const std::vector<int>& sizes) {
    int largest = 0;
    for (int s : sizes) {
        if (s < 8 || s > 1024) throw std::runtime_error("icon size " + std::to_string(s) + " is out of range");
        largest = std::max(largest, s);
    }
    art::setSourceDirectory(dir);
    const art::Image master = art::runProgram("app-icon", {std::to_string(largest)}).image;
    for (int s : sizes) {
        const art::Image img = s == largest ? master : master.scaled(s, s);
        std::vector<std::uint32_t> argb(static_cast<std::size_t>(s) * static_cast<std::size_t>(s));
        for (int y = 0; y < s; ++y)
            for (int x = 0; x < s; ++x) {
                const art::Color c = img.at(x, y); // premultiplied
                const auto byte = [](float v) {
                    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
                };
                const auto straight = [&](float v) { return c.a > 0 ? byte(v / c.a) : 0u; };
                argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(s) + static_cast<std::size_t>(x)] =
                    byte(c.a) << 24 | straight(c.r) << 16 | straight(c.g) << 8 | straight(c.b);
            }
        const std::filesystem::path folder =
            std::filesystem::path(outDir) / (std::to_string(s) + "x" + std::to_string(s)) / "apps";
        std::filesystem::create_directories(folder);
        tw::platform::writePng((folder / (name + ".png")).string(), argb.data(), s, s, s, true);
    }
}

} // namespace

int main(int argc, char** argv) {
    try {
        if (!art::Programs::instance().duplicates().empty()) {
            std::fprintf(stderr, "artgen: drawing program '%s' is defined twice\n",
                         art::Programs::instance().duplicates().front().c_str());
            return 1;
        }
        if (argc >= 5 && std::strcmp(argv[1], "build") == 0) {
            for (int i = 4; i < argc; ++i) art::writeCollection(argv[3], argv[i], build(argv[2], argv[i]));
            return 0;
        }
        if (argc == 5 && std::strcmp(argv[1], "sheet") == 0) {
            art::writeContactSheet(argv[4], build(argv[2], argv[3]));
            return 0;
        }
        if (argc == 4 && std::strcmp(argv[1], "scenes") == 0) {
            std::filesystem::create_directories(argv[3]);
            art::writeScenes(argv[3], build(argv[2], "menu"), build(argv[2], "gamegraphic"));
            return 0;
        }
        if (argc >= 6 && std::strcmp(argv[1], "icon") == 0) {
            std::vector<int> sizes;
            for (int i = 5; i < argc; ++i) sizes.push_back(std::stoi(argv[i]));
            writeIcons(argv[2], argv[3], argv[4], sizes);
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "programs") == 0) {
            for (const std::string& n : art::Programs::instance().names()) std::printf("%s\n", n.c_str());
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
}
