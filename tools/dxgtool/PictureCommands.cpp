// SPDX-License-Identifier: MIT
// list, extract and pack for picture collections. A picture travels as a PNG file; the manifest
// keeps every other property, and the bit count, so that pack after extract gives the same file.
#include "PictureCommands.h"

#include "Command.h"
#include "Manifest.h"

#include "core/CollectionFile.h"
#include "graphics/PictureCollection.h"
#include "platform/Png.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

std::string hex32(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

std::string colorText(std::uint32_t color) {
    if (auto name = colorToIdent(color)) return *name;
    return hex32(color);
}

std::uint32_t parseColor(const std::string& text) {
    if (auto c = colorFromIdent(text)) return *c;
    try {
        std::size_t used = 0;
        unsigned long v = std::stoul(text, &used, 0);
        if (used == text.size() && v <= 0xFFFFFFFFul) return static_cast<std::uint32_t>(v);
    } catch (const std::exception&) {}
    throw ToolError("not a colour: \"" + text + "\" (a name such as clFuchsia, or a value such as 0x00FF00FF)");
}

int parseInt(const std::string& key, const std::string& text) {
    try {
        std::size_t used = 0;
        long v = std::stol(text, &used, 0);
        if (used == text.size() && v >= INT32_MIN && v <= INT32_MAX) return static_cast<int>(v);
    } catch (const std::exception&) {}
    throw ToolError(key + " is not a whole number: \"" + text + "\"");
}

bool parseBool(const std::string& key, const std::string& text) {
    if (text == "true" || text == "yes" || text == "1") return true;
    if (text == "false" || text == "no" || text == "0") return false;
    throw ToolError(key + " must be true or false, not \"" + text + "\"");
}

// The graphic class an undecoded picture payload names (its leading short string).
std::string undecodedClass(const std::vector<std::uint8_t>& payload) {
    if (payload.empty()) return {};
    const std::size_t n = std::min<std::size_t>(payload[0], payload.size() - 1);
    return std::string(reinterpret_cast<const char*>(payload.data()) + 1, n);
}

std::string pixelFormatName(const TDIB& dib) { return dib.PixelFormat() == kPixelFormat565 ? "565" : "555"; }

// A file-system friendly form of an item name.
std::string fileStem(int index, const std::string& name) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03d", index);
    std::string out = prefix;
    if (!name.empty()) out += '-';
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        out += (std::isalnum(c) && c < 0x80) || c == '_' || c == '-' ? ch : '_';
    }
    return out;
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError("cannot open \"" + path + "\"");
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void loadCollection(TPictureCollection& c, const std::string& path) {
    const auto bytes = readFile(path);
    try {
        c.LoadFromStream(bytes);
    } catch (const std::exception& e) {
        throw ToolError(path + ": " + e.what());
    }
}

int cmdList(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 2) throw ToolError("usage: dxgtool list FILE.dxg");
    TPictureCollection c;
    loadCollection(c, args[1]);
    for (int i = 0; i < c.Count(); ++i) {
        const TPictureCollectionItem& item = *c.ItemAt(i);
        out << i << "  \"" << escapeValue(item.Name()) << "\"  ";
        if (!item.UndecodedPicture().empty())
            out << "undecoded \"" << escapeValue(undecodedClass(item.UndecodedPicture())) << "\" picture, "
                << item.UndecodedPicture().size() << " bytes";
        else if (!item.HasPicture())
            out << "no picture";
        else if (item.PictureEmpty())
            out << "empty picture";
        else
            out << item.Picture()->Width() << "x" << item.Picture()->Height() << " " << item.Picture()->BitCount()
                << "-bit";
        out << "  pattern " << item.PatternWidth << "x" << item.PatternHeight << "  skip " << item.SkipWidth << "x"
            << item.SkipHeight << "  "
            << (item.Transparent ? "transparent " + colorText(item.TransparentColor()) : "opaque")
            << (item.SystemMemory ? "  system memory" : "") << "\n";
    }
    return 0;
}

int cmdExtract(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 3) throw ToolError("usage: dxgtool extract FILE.dxg OUTDIR");
    TPictureCollection c;
    loadCollection(c, args[1]);
    const fs::path dir = args[2];
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw ToolError("cannot make folder \"" + dir.string() + "\": " + ec.message());

    std::ostringstream m;
    m << "# Picture collection extracted by dxgtool; pack it again with: dxgtool pack manifest.txt FILE.dxg\n"
      << "# One [item] block per picture, in file order. picture: a PNG beside this file, \"none\" or \"empty\".\n"
      << "# payload: instead of picture, a picture of a class the game does not decode, kept byte for byte.\n"
      << "# transparentcolor: a colour name or value (red in the low byte). Escapes: \\\\ and \\xNN.\n";
    if (std::any_of(c.ColorTable.begin(), c.ColorTable.end(), [](std::uint8_t b) { return b != 0; })) {
        static const char* digits = "0123456789abcdef";
        m << "colortable = ";
        for (std::uint8_t b : c.ColorTable) m << digits[b >> 4] << digits[b & 15];
        m << "\n";
    }
    for (int i = 0; i < c.Count(); ++i) {
        const TPictureCollectionItem& item = *c.ItemAt(i);
        m << "\n[item]\nname = " << escapeValue(item.Name()) << "\n";
        if (!item.UndecodedPicture().empty()) {
            const std::string file = fileStem(i, item.Name()) + ".payload";
            const auto& bytes = item.UndecodedPicture();
            std::ofstream raw(dir / file, std::ios::binary | std::ios::trunc);
            raw.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            raw.close();
            if (!raw) throw ToolError("cannot write \"" + (dir / file).string() + "\"");
            m << "payload = " << file << "\n";
        } else if (!item.HasPicture()) {
            m << "picture = none\n";
        } else if (item.PictureEmpty()) {
            m << "picture = empty\n";
        } else {
            const TDIB& dib = *item.Picture();
            const std::string file = fileStem(i, item.Name()) + ".png";
            std::vector<std::uint32_t> px(static_cast<std::size_t>(dib.Width()) *
                                          static_cast<std::size_t>(dib.Height()));
            dib.CopyRectRGB(0, 0, dib.Width(), dib.Height(), px.data(), dib.Width());
            try {
                tw::platform::writePng((dir / file).string(), px.data(), dib.Width(), dib.Height(), dib.Width(), false);
            } catch (const std::exception& e) {
                throw ToolError(e.what());
            }
            m << "picture = " << file << "\nbitcount = " << dib.BitCount() << "\n";
            if (dib.BitCount() == 16) m << "pixelformat = " << pixelFormatName(dib) << "\n";
        }
        m << "patternwidth = " << item.PatternWidth << "\npatternheight = " << item.PatternHeight
          << "\nskipwidth = " << item.SkipWidth << "\nskipheight = " << item.SkipHeight
          << "\nsystemmemory = " << (item.SystemMemory ? "true" : "false")
          << "\ntransparent = " << (item.Transparent ? "true" : "false")
          << "\ntransparentcolor = " << colorText(item.TransparentColor()) << "\n";
    }
    const fs::path manifest = dir / "manifest.txt";
    std::ofstream file(manifest, std::ios::binary | std::ios::trunc);
    file << m.str();
    file.close();
    if (!file) throw ToolError("cannot write \"" + manifest.string() + "\"");
    out << "extracted " << c.Count() << " items to " << dir.string() << "\n";
    return 0;
}

// Builds a picture of the wanted bit count from 0xAARRGGBB pixels (alpha ignored).
TDIB pictureFromPixels(const tw::platform::PngImage& png, int bitCount, const std::string& pixelFormat) {
    TDIB dib;
    if (bitCount <= 8) {
        // The palette is the colours in order of first appearance, so the result does not depend
        // on anything but the pixels.
        std::unordered_map<std::uint32_t, int> index;
        TDIBPaletteEntries palette{};
        for (std::uint32_t p : png.pixels) {
            const std::uint32_t rgb = p & 0xFFFFFF;
            if (index.count(rgb)) continue;
            const int next = static_cast<int>(index.size());
            if (next >= (1 << bitCount))
                throw ToolError("the picture has more than " + std::to_string(1 << bitCount) +
                                " colours for bitcount " + std::to_string(bitCount));
            index[rgb] = next;
            palette[static_cast<std::size_t>(next)] =
                TRGBQuad{static_cast<std::uint8_t>(rgb & 0xFF), static_cast<std::uint8_t>((rgb >> 8) & 0xFF),
                         static_cast<std::uint8_t>(rgb >> 16), 0};
        }
        dib.SetPalette(palette);
        dib.SetSize(png.width, png.height, bitCount);
        for (int y = 0; y < png.height; ++y) {
            std::uint8_t* row = dib.ScanLineForWrite(y);
            for (int x = 0; x < png.width; ++x) {
                const auto v = static_cast<unsigned>(
                    index[png.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(png.width) +
                                     static_cast<std::size_t>(x)] &
                          0xFFFFFF]);
                const auto ux = static_cast<std::size_t>(x);
                if (bitCount == 8)
                    row[ux] = static_cast<std::uint8_t>(v);
                else if (bitCount == 4)
                    row[ux / 2] = static_cast<std::uint8_t>(row[ux / 2] | (ux % 2 == 0 ? v << 4 : v));
                else
                    row[ux / 8] = static_cast<std::uint8_t>(row[ux / 8] | (v << (7 - ux % 8)));
            }
        }
        return dib;
    }
    dib.SetSize(png.width, png.height, bitCount);
    const bool is565 = pixelFormat == "565";
    if (bitCount == 16) dib.SetPixelFormat(is565 ? kPixelFormat565 : kPixelFormat555);
    for (int y = 0; y < png.height; ++y) {
        std::uint8_t* row = dib.ScanLineForWrite(y);
        for (int x = 0; x < png.width; ++x) {
            const std::uint32_t p = png.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(png.width) +
                                               static_cast<std::size_t>(x)];
            const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const auto ux = static_cast<std::size_t>(x);
            if (bitCount == 16) {
                // Nearest level, the inverse of the reader's rounding scale-up.
                auto q = [](std::uint32_t c, std::uint32_t max) { return (c * max + 127) / 255; };
                const std::uint32_t v = is565 ? (q(r, 31) << 11) | (q(g, 63) << 5) | q(b, 31)
                                              : (q(r, 31) << 10) | (q(g, 31) << 5) | q(b, 31);
                row[ux * 2] = static_cast<std::uint8_t>(v & 0xFF);
                row[ux * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
            } else {
                const std::size_t bpp = static_cast<std::size_t>(bitCount / 8);
                row[ux * bpp] = static_cast<std::uint8_t>(b);
                row[ux * bpp + 1] = static_cast<std::uint8_t>(g);
                row[ux * bpp + 2] = static_cast<std::uint8_t>(r);
            }
        }
    }
    return dib;
}

int colourCount(const tw::platform::PngImage& png) {
    std::unordered_map<std::uint32_t, int> seen;
    for (std::uint32_t p : png.pixels) {
        seen.emplace(p & 0xFFFFFF, 0);
        if (seen.size() > 256) break;
    }
    return static_cast<int>(seen.size());
}

void packItem(TPictureCollectionItem& item, const ManifestItem& mi, const fs::path& baseDir) {
    static const char* known[] = {"name",        "picture",      "payload",       "bitcount",
                                  "pixelformat", "patternwidth", "patternheight", "skipwidth",
                                  "skipheight",  "systemmemory", "transparent",   "transparentcolor"};
    for (const auto& [key, value] : mi.values)
        if (std::find(std::begin(known), std::end(known), key) == std::end(known))
            throw ToolError("unknown key \"" + key + "\"");
    auto get = [&](const char* key) -> const std::string* {
        auto it = mi.values.find(key);
        return it == mi.values.end() ? nullptr : &it->second;
    };
    if (auto v = get("name")) item.SetName(*v);
    if (auto v = get("patternwidth")) item.PatternWidth = parseInt("patternwidth", *v);
    if (auto v = get("patternheight")) item.PatternHeight = parseInt("patternheight", *v);
    if (auto v = get("skipwidth")) item.SkipWidth = parseInt("skipwidth", *v);
    if (auto v = get("skipheight")) item.SkipHeight = parseInt("skipheight", *v);
    if (auto v = get("systemmemory")) item.SystemMemory = parseBool("systemmemory", *v);
    if (auto v = get("transparent")) item.Transparent = parseBool("transparent", *v);
    if (auto v = get("transparentcolor")) item.SetTransparentColor(parseColor(*v));

    const std::string* picture = get("picture");
    if (const std::string* payload = get("payload")) {
        if (picture && *picture != "none") throw ToolError("an item has a picture or a payload, not both");
        auto bytes = readFile((baseDir / *payload).string());
        // A payload is a class name (a short string) and that class's data, as the file holds it.
        const bool named = !bytes.empty() && bytes[0] != 0 && bytes[0] < bytes.size() &&
                           std::all_of(bytes.begin() + 1, bytes.begin() + 1 + bytes[0],
                                       [](std::uint8_t ch) { return ch < 0x80 && (std::isalnum(ch) || ch == '_'); });
        if (!named) throw ToolError("\"" + *payload + "\" does not start with the name of a graphic class");
        item.SetUndecodedPicture(std::move(bytes));
        return;
    }
    if (!picture || *picture == "none") return;
    if (*picture == "empty") {
        item.SetPicture(TDIB{});
        return;
    }
    const std::string path = (baseDir / *picture).string();
    tw::platform::PngImage png;
    int ownBitCount = 0;
    const auto bytes = readFile(path);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
        // A bitmap file, as paint programs write it; its pixels go the PNG's way from here.
        TDIB dib;
        try {
            ByteReader in(bytes);
            dib.LoadFromBitmapFile(in);
        } catch (const std::exception& e) {
            throw ToolError(path + ": " + e.what());
        }
        png.width = dib.Width();
        png.height = dib.Height();
        png.pixels.resize(static_cast<std::size_t>(png.width) * static_cast<std::size_t>(png.height));
        dib.CopyRectRGB(0, 0, png.width, png.height, png.pixels.data(), png.width);
        ownBitCount = dib.BitCount();
    } else {
        try {
            png = tw::platform::readPngFromMemory(bytes.data(), bytes.size());
        } catch (const std::exception& e) {
            throw ToolError(path + ": " + e.what());
        }
    }
    if (png.width <= 0 || png.height <= 0) {
        item.SetPicture(TDIB{});
        return;
    }
    int bitCount = 0;
    if (auto v = get("bitcount")) {
        bitCount = parseInt("bitcount", *v);
        if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
            throw ToolError("bitcount must be 1, 4, 8, 16, 24 or 32, not " + *v);
    } else if (ownBitCount != 0) {
        bitCount = ownBitCount; // a bitmap keeps its own
    } else {
        bitCount = colourCount(png) <= 256 ? 8 : 24;
    }
    std::string format = "555";
    if (auto v = get("pixelformat")) {
        if (*v != "555" && *v != "565") throw ToolError("pixelformat must be 555 or 565, not \"" + *v + "\"");
        if (bitCount != 16) throw ToolError("pixelformat is only for bitcount 16");
        format = *v;
    }
    item.SetPicture(pictureFromPixels(png, bitCount, format));
}

int cmdPack(const std::vector<std::string>& args, std::ostream& out) {
    if (args.size() != 3) throw ToolError("usage: dxgtool pack MANIFEST FILE.dxg");
    const std::string manifestPath = args[1];
    const auto text = readFile(manifestPath);
    const Manifest m = parseManifest(std::string(text.begin(), text.end()), manifestPath);
    const fs::path baseDir = fs::path(manifestPath).parent_path();
    TPictureCollection c;
    for (const auto& [key, value] : m.global) {
        if (key != "colortable")
            throw ToolError(manifestPath + ": unknown key \"" + key + "\" before the first [item]");
        if (value.size() != 2048) throw ToolError(manifestPath + ": colortable must be 2048 hex digits");
        for (std::size_t i = 0; i < 1024; ++i) {
            try {
                std::size_t used = 0;
                c.ColorTable[i] = static_cast<std::uint8_t>(std::stoul(value.substr(i * 2, 2), &used, 16));
                if (used != 2) throw std::invalid_argument("hex");
            } catch (const std::exception&) {
                throw ToolError(manifestPath + ": colortable must be 2048 hex digits");
            }
        }
    }
    for (const ManifestItem& mi : m.items) {
        try {
            packItem(*c.Add(), mi, baseDir);
        } catch (const std::exception& e) {
            throw ToolError(manifestPath + ":" + std::to_string(mi.line) + ": " + e.what());
        }
    }
    try {
        c.SaveToFile(args[2]);
    } catch (const std::exception& e) {
        throw ToolError(e.what());
    }
    out << "packed " << c.Count() << " items into " << args[2] << "\n";
    return 0;
}

} // namespace

int runPictureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return runCommand({cmdList, cmdExtract, cmdPack}, args, out, err);
}
