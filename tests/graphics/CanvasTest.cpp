// SPDX-License-Identifier: MIT
// The text canvas: point sizes at 96 dpi, where the text lands, its colour, transparent and solid
// backgrounds, widths that match the ink, and the outlined rectangle.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Surface.h"

namespace {

constexpr std::uint32_t kBack = 0x102030;

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right, bottom exclusive
    int count = 0;
    bool any() const { return count > 0; }
};

Ink inkOf(const TDirectDrawSurface& s) {
    Ink ink;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.Pixel(x, y) != kBack) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.count;
            }
    return ink;
}

class CanvasText : public ::testing::Test {
protected:
    void SetUp() override {
        s.SetSize(400, 120);
        s.Fill(kBack);
        auto& c = s.Canvas();
        c.Brush.Style = bsClear;
        c.Font.Name = "Arial";
        c.Font.Size = 16;
        c.Font.Color = RGB(153, 204, 255);
    }
    TDirectDrawSurface s;
};

} // namespace

TEST(CanvasFont, PointsAtNinetySixDotsPerInch) {
    struct Case {
        int points, pixels;
    };
    for (Case c : {Case{16, 21}, Case{38, 51}, Case{8, 11}, Case{12, 16}, Case{-16, 21}}) {
        TFont f;
        f.Size = c.points;
        EXPECT_EQ(f.PixelHeight(), c.pixels) << c.points << " pt";
    }
}

TEST_F(CanvasText, SixteenPointCapitalsSitBelowTheTopLeftCorner) {
    auto& c = s.Canvas();
    c.TextOut(50, 30, "H");
    const Ink ink = inkOf(s);
    ASSERT_TRUE(ink.any());
    // A 21-pixel em: the capital's ink is about 0.72 em tall and starts a few pixels below the line top.
    EXPECT_GE(ink.bottom - ink.top, 14);
    EXPECT_LE(ink.bottom - ink.top, 16);
    EXPECT_GE(ink.top, 30 + 1);
    EXPECT_LE(ink.top, 30 + 6);
    EXPECT_GE(ink.left, 50);
    EXPECT_LE(ink.right, 50 + c.TextWidth("H"));
    EXPECT_GE(c.TextHeight("H"), 21);
    EXPECT_LE(c.TextHeight("H"), 26);
    // Full-coverage pixels carry the font colour exactly.
    EXPECT_EQ(s.Pixel((ink.left + 1), ink.top + 5), 0x99CCFFu);
}

TEST_F(CanvasText, ThirtyEightPointIsAboutTwoAndAHalfTimesTaller) {
    auto& c = s.Canvas();
    c.Font.Size = 38;
    c.Font.Color = RGB(255, 0, 0);
    c.TextOut(10, 10, "H");
    const Ink ink = inkOf(s);
    EXPECT_GE(ink.bottom - ink.top, 35);
    EXPECT_LE(ink.bottom - ink.top, 38);
}

TEST_F(CanvasText, WidthsMatchTheInkAndGrowWithTheText) {
    auto& c = s.Canvas();
    EXPECT_EQ(c.TextWidth(""), 0);
    const int w1 = c.TextWidth("GAME"), w2 = c.TextWidth("GAME OVER");
    EXPECT_GT(w1, 30);
    EXPECT_GT(w2, w1);
    c.TextOut(100, 40, "GAME OVER");
    const Ink ink = inkOf(s);
    EXPECT_GE(ink.left, 100);
    EXPECT_LE(ink.right, 100 + w2);
    EXPECT_GE(ink.right, 100 + w2 - 3);
    // Bold is wider.
    c.Font.Style = fsBold;
    EXPECT_GT(c.TextWidth("GAME OVER"), w2);
}

TEST_F(CanvasText, ClearBrushKeepsTheBackgroundSolidBrushFillsTheCell) {
    auto& c = s.Canvas();
    c.TextOut(20, 20, "I");
    EXPECT_EQ(s.Pixel(20, 20), kBack) << "corner of the cell, above the letter";

    c.Brush.Style = bsSolid;
    c.Brush.Color = clBlack;
    c.TextOut(200, 20, "I");
    EXPECT_EQ(s.Pixel(200, 20), 0u);
    EXPECT_EQ(s.Pixel(200 + c.TextWidth("I") - 1, 20 + c.TextHeight("I") - 1), 0u);
    EXPECT_EQ(s.Pixel(200 + c.TextWidth("I"), 20), kBack);
}

TEST_F(CanvasText, TextOffTheSurfaceIsClippedAndEightBitCharactersDraw) {
    auto& c = s.Canvas();
    c.TextOut(-1000, -1000, "LOST");
    c.TextOut(395, 110, "EDGE");
    c.TextOut(-5, -8, "EDGE");
    const Ink ink = inkOf(s);
    EXPECT_TRUE(ink.any());
    s.Fill(kBack);
    c.TextOut(10, 10, "\xC4\xD6\xDC"); // capitals with umlauts in the Western code page
    EXPECT_GT(inkOf(s).count, 30);
    EXPECT_GT(c.TextWidth("\xC4"), 5);
}

TEST_F(CanvasText, ReleaseEndsTheUse) {
    auto& c = s.Canvas();
    c.TextOut(0, 0, "A");
    EXPECT_TRUE(c.InUse());
    c.Release();
    EXPECT_FALSE(c.InUse());
    EXPECT_EQ(&s.Canvas(), &c) << "one canvas per surface";
}

TEST_F(CanvasText, RectangleOutlineWithPenWidthTwo) {
    auto& c = s.Canvas();
    c.Pen.Width = 2;
    c.Pen.Color = RGB(153, 204, 255);
    c.Rectangle(100, 20, 200, 60);
    const Ink ink = inkOf(s);
    EXPECT_EQ(ink.left, 99);
    EXPECT_EQ(ink.top, 19);
    EXPECT_EQ(ink.right, 200);
    EXPECT_EQ(ink.bottom, 60);
    EXPECT_EQ(s.Pixel(100, 40), 0x99CCFFu);
    EXPECT_EQ(s.Pixel(199, 40), 0x99CCFFu);
    EXPECT_EQ(s.Pixel(150, 40), kBack) << "clear brush: inside untouched";
    EXPECT_EQ(s.Pixel(101, 40), kBack);
    EXPECT_EQ(s.Pixel(197, 40), kBack);
}

TEST_F(CanvasText, AnUnknownFontNameStillWrites) {
    auto& c = s.Canvas();
    c.Font.Name = "No Such Typeface 12345";
    c.TextOut(10, 10, "SCORE");
    EXPECT_GT(inkOf(s).count, 50);
    EXPECT_GT(c.TextWidth("SCORE"), 30);
}

TEST_F(CanvasText, EachValueATextOrRectangleIsDrawnWithChangesTheRepeatedFrame) {
    // Frames are not drawn again when they repeat: every value that changes the pixels must tell
    // two texts (or two rectangles) apart.
    auto& c = s.Canvas();
    struct Look {
        TFont font;
        TBrush brush;
        TPen pen;
        int x = 10;
        std::string text = "Tide";
    };
    const Look start{c.Font, c.Brush, c.Pen};
    auto frame = [&](const std::function<void(Look&)>& change) {
        Look look = start;
        change(look);
        s.Fill(kBack);
        c.Font = look.font;
        c.Brush = look.brush;
        c.Pen = look.pen;
        c.TextOut(look.x, 10, look.text);
        c.Rectangle(100, 40, 200, 80);
        return std::vector<std::uint32_t>(s.Pixels(), s.Pixels() + s.Width() * s.Height());
    };
    const auto same = [](Look&) {};
    const auto first = frame(same);
    struct Case {
        const char* what;
        std::function<void(Look&)> change;
    };
    const Case cases[] = {
        {"font colour", [](Look& k) { k.font.Color = clRed; }},
        {"font size", [](Look& k) { k.font.Size = 17; }},
        {"bold", [](Look& k) { k.font.Style = fsBold; }},
        {"solid brush", [](Look& k) { k.brush.Style = bsSolid; }},
        {"brush colour under a solid brush",
         [](Look& k) {
             k.brush.Style = bsSolid;
             k.brush.Color = clGreen;
         }},
        {"pen colour", [](Look& k) { k.pen.Color = clYellow; }},
        {"pen width", [](Look& k) { k.pen.Width = 3; }},
        {"no pen", [](Look& k) { k.pen.Style = psClear; }},
        {"the text moved", [](Look& k) { k.x = 11; }},
        {"another text", [](Look& k) { k.text = "Tida"; }},
    };
    const auto solid = frame([](Look& k) { k.brush.Style = bsSolid; });
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.what);
        const auto drawn = frame(cs.change);
        EXPECT_NE(drawn, first);
        if (std::string_view(cs.what).starts_with("brush colour")) {
            EXPECT_NE(drawn, solid);
        }
        EXPECT_EQ(frame(same), first) << "and back";
    }
}
