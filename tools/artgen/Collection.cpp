// SPDX-License-Identifier: MIT
// Reads item lists, runs the drawing programs, flattens pictures onto the colour key and writes the
// PNG files with their packing list, and lays out the contact sheet.
#include "Collection.h"

#include "Text.h"
#include "platform/Png.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace art {

namespace {

std::vector<std::string> splitArgs(const std::string& line, const std::string& where) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            if (end == std::string::npos) throw std::runtime_error(where + ": unclosed quote");
            out.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        std::size_t end = i;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        out.push_back(line.substr(i, end - i));
        i = end;
    }
    return out;
}

std::uint32_t toByte(float v) { return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

} // namespace

std::vector<ItemLine> readItemList(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open item list " + path);
    std::vector<ItemLine> items;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = path + ":" + std::to_string(number);
        std::vector<std::string> words = splitArgs(line, where);
        if (words.empty()) continue;
        if (words.size() < 2) throw std::runtime_error(where + ": an item needs a name and a program");
        if (!Programs::instance().find(words[1]))
            throw std::runtime_error(where + ": no drawing program called '" + words[1] + "'");
        for (const ItemLine& other : items)
            if (other.name == words[0]) throw std::runtime_error(where + ": item '" + words[0] + "' listed twice");
        ItemLine entry;
        entry.name = words[0];
        entry.program = words[1];
        entry.args.assign(words.begin() + 2, words.end());
        entry.line = number;
        items.push_back(std::move(entry));
    }
    return items;
}

std::vector<BuiltItem> buildCollection(const std::vector<ItemLine>& entries) {
    std::vector<BuiltItem> out;
    for (const ItemLine& entry : entries) {
        try {
            out.push_back({entry.name, runProgram(entry.program, entry.args)});
        } catch (const std::exception& e) {
            throw std::runtime_error("item '" + entry.name + "' (line " + std::to_string(entry.line) +
                                     "): " + e.what());
        }
    }
    return out;
}

std::vector<std::uint32_t> flatten(const Picture& picture) {
    const Image& img = picture.image;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(img.width()) * static_cast<std::size_t>(img.height()));
    const Color m = picture.matte;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const Color c = img.at(x, y);
            std::uint32_t v;
            if (picture.keyed && c.a < 0.5f) {
                v = kColorKeyRGB;
            } else {
                const float k = 1.0f - std::clamp(c.a, 0.0f, 1.0f);
                v = (toByte(c.r + m.r * k) << 16) | (toByte(c.g + m.g * k) << 8) | toByte(c.b + m.b * k);
                if (v == kColorKeyRGB) v = 0xFE00FE; // never the key by accident
            }
            px[static_cast<std::size_t>(y) * static_cast<std::size_t>(img.width()) + static_cast<std::size_t>(x)] = v;
        }
    }
    return px;
}

void writeCollection(const std::string& outDir, const std::string& collection, const std::vector<BuiltItem>& items) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(outDir) / collection;
    fs::create_directories(dir);
    std::ostringstream list;
    list << "# The pictures of " << collection << ", in file order, drawn by artgen from assets/pictures.\n"
         << "# Pack them with: dxgtool pack manifest.txt " << collection << ".dxg\n";
    char key[16];
    std::snprintf(key, sizeof key, "%u", colorKeyValue());
    for (std::size_t i = 0; i < items.size(); ++i) {
        const BuiltItem& item = items[i];
        char file[128];
        std::snprintf(file, sizeof file, "%02zu-%s.png", i, item.name.c_str());
        const std::vector<std::uint32_t> px = flatten(item.picture);
        tw::platform::writePng((dir / file).string(), px.data(), item.picture.image.width(),
                               item.picture.image.height(), item.picture.image.width(), false);
        list << "\n[item]\nname = " << item.name << "\npicture = " << file
             << "\npatternwidth = " << item.picture.patternWidth << "\npatternheight = " << item.picture.patternHeight
             << "\ntransparent = " << (item.picture.keyed ? "true" : "false") << "\ntransparentcolor = " << key << "\n";
    }
    std::ofstream out(dir / "manifest.txt", std::ios::binary);
    out << list.str();
    if (!out) throw std::runtime_error("cannot write " + (dir / "manifest.txt").string());
}

void writeContactSheet(const std::string& path, const std::vector<BuiltItem>& items) {
    const int sheetW = 1600, gap = 10, label = 18;
    // Shelf packing, in item order.
    struct Place {
        int x, y;
    };
    std::vector<Place> places;
    int x = gap, y = gap, shelf = 0;
    for (const BuiltItem& item : items) {
        const int w = std::max(item.picture.image.width(), 110), h = item.picture.image.height() + label;
        if (x + w + gap > sheetW) {
            x = gap;
            y += shelf + gap;
            shelf = 0;
        }
        places.push_back({x, y});
        x += w + gap;
        shelf = std::max(shelf, h);
    }
    const int sheetH = y + shelf + gap;
    Image sheet(sheetW, sheetH);
    sheet.paintAll(solid(hex(0x303030)));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Picture& p = items[i].picture;
        const Place at = places[i];
        // Keyed pixels show as a checker so holes are visible.
        const std::vector<std::uint32_t> px = flatten(p);
        for (int yy = 0; yy < p.image.height(); ++yy)
            for (int xx = 0; xx < p.image.width(); ++xx) {
                const std::uint32_t v = px[static_cast<std::size_t>(yy * p.image.width() + xx)];
                Color c = v == kColorKeyRGB ? (((xx / 6 + yy / 6) & 1) ? hex(0x5A5A5A) : hex(0x484848)) : hex(v);
                sheet.put(at.x + xx, at.y + label + yy, c);
            }
        const int pw = p.patternWidth > 0 ? p.patternWidth : p.image.width();
        const int ph = p.patternHeight > 0 ? p.patternHeight : p.image.height();
        if (pw > 1 && (pw < p.image.width() || ph < p.image.height())) {
            for (int gx = pw; gx < p.image.width(); gx += pw)
                for (int yy = 0; yy < p.image.height(); yy += 2) sheet.put(at.x + gx, at.y + label + yy, hex(0xFFFF00));
            for (int gy = ph; gy < p.image.height(); gy += ph)
                for (int xx = 0; xx < p.image.width(); xx += 2) sheet.put(at.x + xx, at.y + label + gy, hex(0xFFFF00));
        }
        drawText(sheet, at.x, at.y, std::to_string(i) + " " + items[i].name, Font{9, false}, TextLook{});
    }
    std::vector<std::uint32_t> out(static_cast<std::size_t>(sheetW) * static_cast<std::size_t>(sheetH));
    for (int yy = 0; yy < sheetH; ++yy)
        for (int xx = 0; xx < sheetW; ++xx) {
            const Color c = sheet.at(xx, yy);
            out[static_cast<std::size_t>(yy * sheetW + xx)] = (toByte(c.r) << 16) | (toByte(c.g) << 8) | toByte(c.b);
        }
    tw::platform::writePng(path, out.data(), sheetW, sheetH, sheetW, false);
}

} // namespace art
