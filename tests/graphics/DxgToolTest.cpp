// SPDX-License-Identifier: MIT
// The collection tool's picture commands: pack then extract loses nothing, list shows each item,
// and every failure is one line and a non-zero status.
#include "DibBuilder.h"
#include "PictureCommands.h"

#include "graphics/PictureCollection.h"
#include "platform/Png.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

ToolRun run(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    int status = runPictureCommand(args, out, err);
    return {status, out.str(), err.str()};
}

class DxgTool : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir / "src"); }

    void writeText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }
    std::string readText(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // A PNG of w x h whose pixel is colour(x, y).
    void png(const std::string& name, int w, int h, const std::function<std::uint32_t(int, int)>& colour) {
        std::vector<std::uint32_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) px.push_back(colour(x, y));
        tw::platform::writePng((dir / "src" / name).string(), px.data(), w, h, w, false);
    }

    const tw::test::TempDir tmp{"dxgtool-test"};
    const fs::path dir = tmp.path();
};

TEST_F(DxgTool, PackThenExtractLosesNothing) {
    auto many = [](int x, int y) { return (static_cast<std::uint32_t>(x * 37 + y * 101) * 2654435761u) & 0xFFFFFF; };
    auto two = [](int x, int y) { return (x + y) % 2 ? 0xFF00FFu : 0x102030u; };
    auto sixteen = [](int x, int y) { return static_cast<std::uint32_t>(((x + 3 * y) % 16) * 0x0F0E0D); };
    png("many.png", 13, 5, many);
    png("two.png", 9, 3, two);
    png("sixteen.png", 7, 4, sixteen);
    png("ramp.png", 40, 2, [](int x, int y) { return static_cast<std::uint32_t>(x * 6 + y * 0x0C0000 + (x << 9)); });
    writeText(
        dir / "src" / "manifest.txt",
        "# test collection\n"
        "colortable = " +
            std::string(2044, '0') +
            "0a0b\n"
            "[item]\nname = Hero\\x01 odd\\\\name\npicture = many.png\nbitcount = 24\npatternwidth = 3\npatternheight "
            "= 5\n"
            "skipwidth = 2\nskipheight = -1\nsystemmemory = true\ntransparent = false\ntransparentcolor = 0x00123456\n"
            "[item]\nname = two\npicture = two.png\nbitcount = 1\ntransparentcolor = clFuchsia\n"
            "[item]\nname = sixteen\npicture = sixteen.png\nbitcount = 4\n"
            "[item]\nname = auto\npicture = many.png\n"
            "[item]\nname = rgb565\npicture = ramp.png\nbitcount = 16\npixelformat = 565\n"
            "[item]\nname = rgb555\npicture = ramp.png\nbitcount = 16\n"
            "[item]\nname = rgb32\npicture = many.png\nbitcount = 32\n"
            "[item]\nname = nothing\npicture = none\n"
            "[item]\nname = blank\npicture = empty\n");
    const std::string a = (dir / "a.dxg").string(), b = (dir / "b.dxg").string();
    ToolRun pack = run({"pack", (dir / "src" / "manifest.txt").string(), a});
    ASSERT_EQ(pack.status, 0) << pack.err;
    ASSERT_EQ(run({"extract", a, (dir / "x").string()}).status, 0);

    // What the collection holds.
    TPictureCollection c;
    c.LoadFromFile(a);
    ASSERT_EQ(c.Count(), 9);
    EXPECT_EQ(c.ColorTable[1022], 0x0A);
    EXPECT_EQ(c.ColorTable[1023], 0x0B);
    const auto& hero = *c.ItemAt(0);
    EXPECT_EQ(hero.Name(), "Hero\x01 odd\\name");
    EXPECT_EQ(hero.SkipHeight, -1);
    EXPECT_TRUE(hero.SystemMemory);
    EXPECT_FALSE(hero.Transparent);
    EXPECT_EQ(hero.TransparentColor(), 0x123456u);
    const int bitCounts[] = {24, 1, 4, 8, 16, 16, 32};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(c.ItemAt(i)->Picture()->BitCount(), bitCounts[i]) << i;
    EXPECT_EQ(c.ItemAt(4)->Picture()->PixelFormat(), kPixelFormat565);
    EXPECT_FALSE(c.ItemAt(7)->HasPicture());
    EXPECT_TRUE(c.ItemAt(8)->HasPicture());
    EXPECT_TRUE(c.ItemAt(8)->PictureEmpty());

    // Exact pixels come back for every encoding that can hold them.
    for (auto [index, file] : std::vector<std::pair<int, std::string>>{
             {0, "000-Hero__odd_name.png"}, {1, "001-two.png"}, {2, "002-sixteen.png"}, {6, "006-rgb32.png"}}) {
        const auto original = tw::platform::readPng((dir / "src" /
                                                     (index == 1   ? "two.png"
                                                      : index == 2 ? "sixteen.png"
                                                                   : "many.png"))
                                                        .string());
        const auto extracted = tw::platform::readPng((dir / "x" / file).string());
        EXPECT_EQ(extracted.pixels, original.pixels) << file;
    }
    // 16-bit pictures keep 5 or 6 bits a channel: the extracted picture packs to the same bits.
    ASSERT_EQ(run({"pack", (dir / "x" / "manifest.txt").string(), b}).status, 0);
    EXPECT_EQ(readText(a), readText(b)) << "extract then pack gives the same file";
    ASSERT_EQ(run({"extract", b, (dir / "y").string()}).status, 0);
    EXPECT_EQ(readText(dir / "x" / "manifest.txt"), readText(dir / "y" / "manifest.txt"));
    EXPECT_EQ(tw::platform::readPng((dir / "x" / "004-rgb565.png").string()).pixels,
              tw::platform::readPng((dir / "y" / "004-rgb565.png").string()).pixels);
}

// What a modder meets: pictures of classes the game does not decode come back byte for byte, and a
// bitmap with the long header paint programs write today can take a PNG's place.
TEST_F(DxgTool, ModdedFilesKeepUndecodedPicturesAndTakeBitmaps) {
    const std::vector<std::uint8_t> icon = {5, 'T', 'I', 'c', 'o', 'n', 0, 0, 1, 0, 7};
    const std::vector<std::uint8_t> meta = {9, 'T', 'M', 'e', 't', 'a', 'f', 'i', 'l', 'e', 0xD7, 0xCD};
    TPictureCollection c;
    c.Add()->SetName("icon");
    c.ItemAt(0)->SetUndecodedPicture(icon);
    TDIB hero;
    hero.SetSize(2, 2, 24);
    c.Add()->SetName("hero");
    c.ItemAt(1)->SetPicture(hero);
    c.Add()->SetName("meta");
    c.ItemAt(2)->SetUndecodedPicture(meta);
    const std::string a = (dir / "a.dxg").string(), b = (dir / "b.dxg").string(), modded = (dir / "m.dxg").string();
    c.SaveToFile(a);

    ToolRun list = run({"list", a});
    EXPECT_NE(list.out.find("0  \"icon\"  undecoded \"TIcon\" picture, 11 bytes"), std::string::npos) << list.out;
    ASSERT_EQ(run({"extract", a, (dir / "x").string()}).status, 0);
    ASSERT_EQ(run({"pack", (dir / "x" / "manifest.txt").string(), b}).status, 0);
    EXPECT_EQ(readText(a), readText(b)) << "extract then pack keeps every payload";

    // The hero's PNG is replaced by a 124-byte-header, 32-bit bitmap with bit fields and alpha.
    const std::vector<std::uint8_t> pixels = {0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0xFF,  // bottom line
                                              0x70, 0x80, 0x90, 0x00, 0xA0, 0xB0, 0xC0, 0x80}; // top line
    const auto body = longHeaderPayload(124, {.width = 2, .height = 2, .bitCount = 32, .compression = 3},
                                        {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, pixels);
    ByteWriter bmp;
    bmp.u16(0x4D42);
    bmp.u32(static_cast<std::uint32_t>(14 + body.size()));
    bmp.u32(0);
    bmp.u32(14 + 124);
    bmp.bytes(body);
    std::ofstream(dir / "x" / "hero.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data().data()), static_cast<std::streamsize>(bmp.size()));
    std::string manifest = readText(dir / "x" / "manifest.txt");
    const std::string png = "picture = 001-hero.png";
    ASSERT_NE(manifest.find(png), std::string::npos) << manifest;
    manifest.replace(manifest.find(png), png.size(), "picture = hero.bmp");
    writeText(dir / "x" / "manifest.txt", manifest);
    ToolRun pack = run({"pack", (dir / "x" / "manifest.txt").string(), modded});
    ASSERT_EQ(pack.status, 0) << pack.err;

    TPictureCollection loaded;
    loaded.LoadFromFile(modded);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.ItemAt(0)->UndecodedPicture(), icon);
    EXPECT_EQ(loaded.ItemAt(2)->UndecodedPicture(), meta);
    const TDIB* picture = loaded.Find("hero")->Picture();
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->BitCount(), 24) << "the manifest's bit count still holds";
    EXPECT_EQ(picture->PixelRGB(0, 0), 0x908070u);
    EXPECT_EQ(picture->PixelRGB(1, 0), 0xC0B0A0u);
    EXPECT_EQ(picture->PixelRGB(0, 1), 0x302010u);
    EXPECT_EQ(picture->PixelRGB(1, 1), 0x605040u);
}

TEST_F(DxgTool, ListShowsEveryItem) {
    png("p.png", 100, 40, [](int x, int) { return x < 50 ? 0u : 0xFFFFFFu; });
    writeText(dir / "src" / "m.txt", "[item]\nname = strip\npicture = p.png\npatternwidth = 32\npatternheight = 40\n"
                                     "transparentcolor = clFuchsia\n[item]\nname = gone\n");
    ASSERT_EQ(run({"pack", (dir / "src" / "m.txt").string(), (dir / "l.dxg").string()}).status, 0);
    ToolRun list = run({"list", (dir / "l.dxg").string()});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "0  \"strip\"  100x40 8-bit  pattern 32x40  skip 0x0  transparent clFuchsia\n"
                        "1  \"gone\"  no picture  pattern 0x0  skip 0x0  transparent clBlack\n");
}

TEST_F(DxgTool, FailuresAreOneLineAndNonZero) {
    png("four.png", 2, 2, [](int x, int y) { return static_cast<std::uint32_t>(x * 2 + y); });
    writeText(dir / "src" / "colours.txt", "[item]\nname = a\npicture = four.png\nbitcount = 1\n");
    writeText(dir / "src" / "key.txt", "[item]\nname = a\n\n[item]\nwidth = 3\n");
    writeText(dir / "src" / "syntax.txt", "# fine\nname\n");
    writeText(dir / "src" / "missing.txt", "[item]\npicture = nothere.png\n");
    writeText(dir / "src" / "both.txt", "[item]\npicture = four.png\npayload = four.png\n");
    writeText(dir / "src" / "noclass.txt", "[item]\npayload = four.png\n");
    std::vector<std::uint8_t> bad = {0xFF, 0x0A, 0x00, 0, 0, 0, 0, 0, 0, 0, 'T', 'P', 'F', '1'};
    std::ofstream(dir / "bad.dxg", std::ios::binary).write(reinterpret_cast<const char*>(bad.data()), 14);
    struct Case {
        std::vector<std::string> args;
        std::string contains;
    };
    const std::string out = (dir / "out.dxg").string();
    const Case cases[] = {
        {{"list", (dir / "none.dxg").string()}, "cannot open"},
        {{"list", (dir / "bad.dxg").string()}, "bad.dxg: Invalid stream format"},
        {{"list"}, "usage: dxgtool list"},
        {{"frobnicate", "x"}, "unknown command \"frobnicate\""},
        {{"pack", (dir / "src" / "colours.txt").string(), out}, "colours.txt:1: the picture has more than 2 colours"},
        {{"pack", (dir / "src" / "key.txt").string(), out}, "key.txt:4: unknown key \"width\""},
        {{"pack", (dir / "src" / "syntax.txt").string(), out}, "syntax.txt:2: expected \"key = value\""},
        {{"pack", (dir / "src" / "missing.txt").string(), out}, "nothere.png"},
        {{"pack", (dir / "src" / "both.txt").string(), out},
         "both.txt:1: an item has a picture or a payload, not both"},
        {{"pack", (dir / "src" / "noclass.txt").string(), out},
         "noclass.txt:1: \"four.png\" does not start with the name of a graphic class"},
    };
    for (const auto& c : cases) {
        ToolRun r = run(c.args);
        EXPECT_NE(r.status, 0) << c.args[0];
        EXPECT_NE(r.err.find(c.contains), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("dxgtool: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(fs::exists(out)) << "a failed pack writes nothing";
}

} // namespace
