// SPDX-License-Identifier: MIT
// Picture collections: cutting pictures into patterns and surfaces, drawing, the display's
// notifications, and the DXG file written and read back.
#include "core/CollectionFile.h"
#include "graphics/PictureCollection.h"
#include "support/TempDir.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

// A 24-bit picture whose pixel (x, y) is colour(x, y), 0x00RRGGBB.
TDIB makePicture(int w, int h, const std::function<std::uint32_t(int, int)>& colour) {
    TDIB dib;
    dib.SetSize(w, h, 24);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = dib.ScanLineForWrite(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = colour(x, y);
            const auto ux = static_cast<std::size_t>(x) * 3;
            row[ux] = static_cast<std::uint8_t>(c & 0xFF);
            row[ux + 1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
            row[ux + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
    return dib;
}

std::uint32_t coordColour(int x, int y) { return static_cast<std::uint32_t>(x * 256 + y + 1); }

std::vector<int> lefts(const TPatternLayout& l) {
    std::vector<int> out;
    for (const auto& p : l.patterns) out.push_back(p.rect.Left);
    return out;
}

TEST(PatternLayout, CuttingRules) {
    // No pattern size: one pattern covering the picture.
    auto whole = ComputePatternLayout(50, 20, 0, 0, 0, 0, false);
    ASSERT_EQ(whole.patterns.size(), 1u);
    EXPECT_EQ(whole.patterns[0].rect, Rect(0, 0, 50, 20));
    EXPECT_EQ(whole.surfaces, std::vector<TRect>{Rect(0, 0, 50, 20)});

    // 100 x 40 in 32 x 40: three patterns on the first of two surfaces, 96 and 4 wide.
    auto video = ComputePatternLayout(100, 40, 32, 40, 0, 0, false);
    EXPECT_EQ(video.surfaces, (std::vector<TRect>{Rect(0, 0, 96, 40), Rect(96, 0, 100, 40)}));
    EXPECT_EQ(lefts(video), (std::vector<int>{0, 32, 64}));
    for (const auto& p : video.patterns) EXPECT_EQ(p.surface, 0);
    // In system memory: one surface of the whole picture.
    auto system = ComputePatternLayout(100, 40, 32, 40, 0, 0, true);
    EXPECT_EQ(system.surfaces, std::vector<TRect>{Rect(0, 0, 100, 40)});
    EXPECT_EQ(lefts(system), (std::vector<int>{0, 32, 64}));

    // Skip 2 with 30-wide patterns on 94 pixels: three columns at 0, 32, 64.
    auto skip = ComputePatternLayout(94, 30, 30, 0, 2, 0, false);
    EXPECT_EQ(lefts(skip), (std::vector<int>{0, 32, 64}));
    EXPECT_EQ(skip.patterns[2].rect, Rect(64, 0, 94, 30));

    // Smaller than one cell: nothing out of system memory, and nothing in it either.
    EXPECT_TRUE(ComputePatternLayout(20, 20, 32, 20, 0, 0, false).patterns.empty());
    EXPECT_TRUE(ComputePatternLayout(20, 20, 32, 20, 0, 0, true).patterns.empty());
    // A negative skip that leaves cells of no size cuts nothing (and divides by nothing).
    EXPECT_TRUE(ComputePatternLayout(64, 20, 16, 20, -16, 0, false).patterns.empty());
    EXPECT_TRUE(ComputePatternLayout(64, 20, 16, 20, -20, 0, true).patterns.empty());
}

TEST(PatternLayout, PiecesOfAbout512PixelsBothWays) {
    // 1100 x 1100 in 100 x 100: pieces 600 wide and high, so 2 x 2 surfaces.
    auto l = ComputePatternLayout(1100, 1100, 100, 100, 0, 0, false);
    EXPECT_EQ(l.surfaces, (std::vector<TRect>{Rect(0, 0, 600, 600), Rect(600, 0, 1100, 600), Rect(0, 600, 600, 1100),
                                              Rect(600, 600, 1100, 1100)}));
    ASSERT_EQ(l.patterns.size(), 121u);
    auto at = [&](int row, int col) { return l.patterns[static_cast<std::size_t>(row * 11 + col)]; };
    EXPECT_EQ(at(0, 6).surface, 1);
    EXPECT_EQ(at(0, 6).rect, Rect(0, 0, 100, 100));
    EXPECT_EQ(at(7, 10).surface, 3);
    EXPECT_EQ(at(7, 10).rect, Rect(400, 100, 500, 200));
    EXPECT_EQ(at(5, 2).surface, 0);
    // Cells wider than 512 make pieces of one cell each.
    auto wide = ComputePatternLayout(1300, 10, 600, 10, 0, 0, false);
    EXPECT_EQ(wide.surfaces,
              (std::vector<TRect>{Rect(0, 0, 600, 10), Rect(600, 0, 1200, 10), Rect(1200, 0, 1300, 10)}));
    EXPECT_EQ(wide.patterns.size(), 2u);
}

class WithDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        display.Initialize();
        list.SetDXDraw(&display);
    }
    TDXDraw display{nullptr};
    TDXImageList list;
};

TEST_F(WithDisplay, RestoreCopiesThePicturesIntoSurfaces) {
    auto& items = list.Items();
    auto* item = items.Add();
    item->SetName("strip");
    item->SetPicture(makePicture(100, 40, coordColour));
    item->PatternWidth = 32;
    item->PatternHeight = 40;
    items.Restore();
    ASSERT_TRUE(item->Initialized());
    ASSERT_EQ(item->PatternCount(), 3);
    ASSERT_EQ(item->SurfaceCount(), 2);
    EXPECT_EQ(item->SurfaceAt(0)->Width(), 96);
    EXPECT_EQ(item->SurfaceAt(1)->Width(), 4);
    EXPECT_EQ(item->SurfaceAt(1)->Pixel(0, 5), coordColour(96, 5));
    EXPECT_EQ(item->SurfaceAt(0)->Pixel(95, 39), coordColour(95, 39));
    EXPECT_EQ(item->PatternSurface(2), item->SurfaceAt(0));
    EXPECT_EQ(item->PatternRect(2), Rect(64, 0, 96, 40));
    EXPECT_EQ(item->PatternRect(3), TRect{});
    EXPECT_EQ(item->PatternSurface(-1), nullptr);
    EXPECT_EQ(item->Width(), 32);
    EXPECT_EQ(item->Height(), 40);
}

TEST_F(WithDisplay, DrawIsColourKeyedAndClipped) {
    auto* item = list.Items().Add();
    // Pattern 1 (x 32..63): black (the key) on its left half, its colours on the right.
    item->SetPicture(makePicture(64, 8, [](int x, int y) { return x >= 32 && x < 48 ? 0u : coordColour(x, y); }));
    item->PatternWidth = 32;
    list.Items().Restore();
    TDirectDrawSurface dest(display.DDraw());
    dest.SetSize(40, 10);
    dest.Fill(0x123456);
    item->Draw(&dest, -10, 1, 1);
    EXPECT_EQ(dest.Pixel(0, 1), 0x123456u) << "key pixel left out";
    EXPECT_EQ(dest.Pixel(5, 1), 0x123456u);
    EXPECT_EQ(dest.Pixel(6, 1), coordColour(48, 0)) << "column 16 of the pattern lands at x 6";
    EXPECT_EQ(dest.Pixel(21, 8), coordColour(63, 7));
    EXPECT_EQ(dest.Pixel(22, 1), 0x123456u);
    // Opaque drawing copies the key colour too.
    item->Transparent = false;
    item->Draw(&dest, 0, 0, 1);
    EXPECT_EQ(dest.Pixel(0, 0), 0u);
    // Out-of-range patterns draw nothing and raise nothing.
    dest.Fill(0x123456);
    for (int bad : {-1, 2}) item->Draw(&dest, 0, 0, bad);
    item->Draw(nullptr, 0, 0, 0);
    EXPECT_EQ(dest.Pixel(0, 0), 0x123456u);
}

TEST_F(WithDisplay, TransparentColourReKeysSurfacesAndEmptyPicturesYieldNothing) {
    auto* keyed = list.Items().Add();
    keyed->SetPicture(makePicture(700, 4, coordColour));
    keyed->PatternWidth = 100;
    auto* empty = list.Items().Add();
    empty->SetPicture(TDIB{});
    auto* none = list.Items().Add();
    auto* tiny = list.Items().Add();
    tiny->SetPicture(makePicture(20, 20, coordColour));
    tiny->PatternWidth = 32;
    list.Items().Restore();
    ASSERT_EQ(keyed->SurfaceCount(), 2);
    keyed->SetTransparentColor(clRed);
    for (int i = 0; i < keyed->SurfaceCount(); ++i) EXPECT_EQ(keyed->SurfaceAt(i)->ColorKey(), 0xFF0000u);
    EXPECT_EQ(empty->PatternCount(), 0);
    EXPECT_EQ(none->PatternCount(), 0);
    EXPECT_EQ(tiny->PatternCount(), 0);
    TDirectDrawSurface dest(display.DDraw());
    dest.SetSize(8, 8);
    tiny->Draw(&dest, 0, 0, 0);
    EXPECT_EQ(dest.Pixel(0, 0), 0u);
}

TEST_F(WithDisplay, FollowsTheDisplaysNotifications) {
    auto* item = list.Items().Add();
    item->SetPicture(makePicture(10, 10, coordColour));
    list.Items().Restore();
    ASSERT_EQ(item->PatternCount(), 1);
    display.Finalize();
    EXPECT_FALSE(item->Initialized());
    EXPECT_EQ(item->PatternCount(), 0);
    EXPECT_EQ(list.Items().DXDraw(), nullptr);
    display.Initialize(); // dnInitialize binds, dnRestore rebuilds
    EXPECT_TRUE(item->Initialized());
    EXPECT_EQ(item->PatternCount(), 1);
    EXPECT_EQ(list.Items().DXDraw(), &display);
    // A list that leaves the display drops its surfaces.
    list.SetDXDraw(nullptr);
    EXPECT_EQ(item->PatternCount(), 0);
}

TEST(PictureCollection, DisplayDestroyedFirstAndUninitialisedDisplay) {
    TDXImageList list;
    {
        TDXDraw display(nullptr);
        display.Initialize();
        list.SetDXDraw(&display);
        EXPECT_EQ(list.DXDraw(), &display);
    }
    EXPECT_EQ(list.DXDraw(), nullptr);
    TDXDraw idle(nullptr);
    EXPECT_THAT([&] { list.Items().Initialize(&idle); },
                ThrowsMessage<EPictureCollectionError>(StrEq("TPictureCollection cannot be initialized")));
}

TEST(PictureCollection, FindAndItemAt) {
    TPictureCollection c;
    c.Add()->SetName("Shark");
    c.Add()->SetName("SHARK");
    for (const char* n : {"shark", "Shark", "SHARK", "sHaRk"}) EXPECT_EQ(c.Find(n), c.ItemAt(1)) << n;
    EXPECT_THAT([&] { c.Find("whale"); }, ThrowsMessage<EPictureCollectionError>(StrEq("Image 'whale' not found")));
    EXPECT_THROW(c.ItemAt(2), EListError);
}

TEST(DxgFile, WrittenCollectionsReadBackTheSame) {
    TPictureCollection c;
    c.ColorTable[5] = 7;
    auto* a = c.Add();
    a->SetName("Fish");
    a->SetPicture(makePicture(30, 6, coordColour));
    a->PatternWidth = 10;
    a->SkipHeight = 3;
    a->SkipWidth = -1;
    a->SetTransparentColor(clFuchsia);
    auto* b = c.Add();
    b->SetName("fish");
    b->SystemMemory = true;
    b->Transparent = false;
    b->SetTransparentColor(0x00123456);
    b->SetPicture(TDIB{});
    c.Add()->SetName(std::string(300, 'n')); // a long name, and no picture

    const auto bytes = c.SaveToStream();
    TPictureCollection d;
    d.LoadFromStream(bytes);
    ASSERT_EQ(d.Count(), 3);
    EXPECT_EQ(d.ColorTable, c.ColorTable);
    for (int i = 0; i < 3; ++i) {
        const auto& x = *c.ItemAt(i);
        const auto& y = *d.ItemAt(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(y.Name(), x.Name());
        EXPECT_EQ(y.PatternWidth, x.PatternWidth);
        EXPECT_EQ(y.PatternHeight, x.PatternHeight);
        EXPECT_EQ(y.SkipWidth, x.SkipWidth);
        EXPECT_EQ(y.SkipHeight, x.SkipHeight);
        EXPECT_EQ(y.SystemMemory, x.SystemMemory);
        EXPECT_EQ(y.Transparent, x.Transparent);
        EXPECT_EQ(y.TransparentColor(), x.TransparentColor());
        EXPECT_EQ(y.HasPicture(), x.HasPicture());
        EXPECT_EQ(y.PictureEmpty(), x.PictureEmpty());
    }
    EXPECT_EQ(d.ItemAt(0)->Picture()->PixelRGB(29, 5), coordColour(29, 5));
    EXPECT_EQ(d.Find("FISH"), d.ItemAt(1)) << "the later of two equal names";
    EXPECT_EQ(d.SaveToStream(), bytes) << "writing again gives the same bytes";
}

// A DXG with one item whose properties are written by `item`.
std::vector<std::uint8_t> oneItemFile(const std::function<void(CollectionWriter&)>& item) {
    CollectionWriter w("TPictureCollectionComponent", "");
    w.PropertyName("List");
    w.CollectionBegin();
    w.ItemBegin();
    item(w);
    w.ListEnd();
    w.ListEnd();
    w.ListEnd();
    return w.Finish();
}

TEST(DxgFile, PictureClassesAndPropertyForms) {
    const std::vector<std::uint8_t> dib = {4, 'T', 'D', 'I', 'B'};
    ByteWriter bitmap; // "TBitmap": a length, then a bitmap file
    bitmap.shortString("TBitmap");
    ByteWriter file;
    file.u16(0x4D42);
    for (int i = 0; i < 3; ++i) file.u32(0);
    TDIB pic = makePicture(2, 1, coordColour);
    pic.SaveToPayload(file);
    bitmap.u32(static_cast<std::uint32_t>(file.size()));
    bitmap.bytes(file.data());
    ByteWriter other;
    other.shortString("TPNGImage");
    other.u32(1234);

    TPictureCollection c;
    c.LoadFromStream(oneItemFile([&](CollectionWriter& w) {
        w.PropertyName("NAME"); // names of properties ignore case
        w.String("bmp");
        w.PropertyName("picture.data");
        w.Binary(bitmap.data());
        w.PropertyName("Transparent");
        w.Ident("False");
        w.PropertyName("TransparentColor");
        w.Ident("clBtnFace");
    }));
    const auto& item = *c.ItemAt(0);
    ASSERT_TRUE(item.HasPicture());
    EXPECT_EQ(item.Picture()->PixelRGB(1, 0), coordColour(1, 0));
    EXPECT_FALSE(item.Transparent);
    EXPECT_EQ(item.TransparentColor(), 0xFF00000Fu);

    c.LoadFromStream(oneItemFile([&](CollectionWriter& w) {
        w.PropertyName("Picture.Data");
        w.Binary(other.data());
    }));
    EXPECT_FALSE(c.ItemAt(0)->HasPicture()) << "an unknown graphic class loads as no picture";
    EXPECT_EQ(c.ItemAt(0)->UndecodedPicture(), other.data()) << "but its bytes are kept";
    TPictureCollection copy;
    copy.Assign(c);
    TPictureCollection again;
    again.LoadFromStream(copy.SaveToStream());
    EXPECT_EQ(again.ItemAt(0)->UndecodedPicture(), other.data()) << "and written back";
    c.LoadFromStream(oneItemFile([&](CollectionWriter& w) {
        w.PropertyName("Picture.Data");
        w.Binary(dib); // "TDIB" and no bytes: an empty picture
    }));
    EXPECT_TRUE(c.ItemAt(0)->PictureEmpty());
}

TEST(DxgFile, FailedLoadKeepsItemsReadBefore) {
    auto bytes = oneItemFile([](CollectionWriter& w) {
        w.PropertyName("Name");
        w.String("first");
    });
    // Append a second item that is cut short: replace the closing tags with a broken item.
    bytes.resize(bytes.size() - 3);
    for (std::uint8_t b : std::vector<std::uint8_t>{1, 4, 'N', 'a', 'm', 'e', 6, 9, 'x'}) bytes.push_back(b);
    TPictureCollection c;
    EXPECT_THAT([&] { c.LoadFromStream(bytes); },
                ThrowsMessage<EReadError>(StrEq("Error reading Name: Stream read error")));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.ItemAt(0)->Name(), "first");
}

TEST(DxgFile, CannotOpenFile) {
    TPictureCollection c;
    EXPECT_THAT(
        [&] { c.LoadFromFile("/nonexistent/menu.dxg"); },
        ThrowsMessage<EFOpenError>(StrEq("Cannot open file \"/nonexistent/menu.dxg\". No such file or directory")));
}

// Whatever stands in place of a picture file, the error names the file and says what is wrong.
TEST(DxgFile, EveryLoadErrorNamesTheFile) {
    const tw::test::TempDir dir("tw-dxg");
    TPictureCollection good;
    good.Add()->SetName("hero");
    const std::vector<std::uint8_t> bytes = good.SaveToStream();
    auto file = [&](const std::string& name, std::size_t size) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
        return dir / name;
    };
    std::filesystem::create_directory(dir / "folder.dxg");
    ASSERT_EQ(mkfifo((dir / "pipe.dxg").c_str(), 0600), 0);
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {dir / "folder.dxg", "Cannot open file \"" + dir / "folder.dxg" + "\". Is a directory"},
        {dir / "pipe.dxg", "Cannot open file \"" + dir / "pipe.dxg" + "\". Not a regular file"},
        {file("empty.dxg", 0), "Cannot load file \"" + dir / "empty.dxg" + "\". Invalid stream format"},
        {file("cut.dxg", bytes.size() - 4), "Cannot load file \"" + dir / "cut.dxg" + "\". Error reading List: Stream read error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TPictureCollection pictures;
        EXPECT_THAT([&] { pictures.LoadFromFile(c.path); }, ThrowsMessage<std::runtime_error>(StrEq(c.message)));
    }

    // A picture or a place the game asks for that the file lacks: the file is named too, and only then.
    TPictureCollection loaded;
    loaded.LoadFromFile(file("good.dxg", bytes.size()));
    EXPECT_EQ(loaded.FileName(), dir / "good.dxg");
    EXPECT_THAT([&] { loaded.Find("back"); }, ThrowsMessage<EPictureCollectionError>(
                                                  StrEq("Image 'back' not found in \"" + dir / "good.dxg" + "\"")));
    EXPECT_THAT([&] { loaded.ItemAt(24); },
                ThrowsMessage<EListError>(StrEq("List index out of bounds (24) in \"" + dir / "good.dxg" + "\"")));
    loaded.LoadFromStream(bytes);
    EXPECT_THAT([&] { loaded.Find("back"); }, ThrowsMessage<EPictureCollectionError>(StrEq("Image 'back' not found")));
}

TEST_F(WithDisplay, LoadingWhileBoundBuildsSurfaces) {
    TPictureCollection source;
    source.Add()->SetPicture(makePicture(8, 8, coordColour));
    const auto bytes = source.SaveToStream();
    list.Items().LoadFromStream(bytes);
    EXPECT_EQ(list.Items().ItemAt(0)->PatternCount(), 1);
    // Loading replaces the items.
    list.Items().LoadFromStream(bytes);
    EXPECT_EQ(list.Items().Count(), 1);
}

} // namespace
