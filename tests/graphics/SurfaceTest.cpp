// SPDX-License-Identifier: MIT
// Surfaces: clipping, mirrored and colour-keyed copies (checked against a plain per-pixel model),
// fills and frames held back until needed and not drawn again when repeated, the copy of changed
// rows, locking, memory placement, colour conversion and the device's hold on its surfaces.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "graphics/Surface.h"

namespace {

// A surface whose pixel (x, y) is (y << 12) | x + 1, so every pixel says where it came from.
void fillCoordinates(TDirectDrawSurface& s) {
    TDDSurfaceDesc d;
    ASSERT_TRUE(s.Lock(d));
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            static_cast<std::uint32_t*>(d.Bits)[y * s.Width() + x] =
                (static_cast<std::uint32_t>(y) << 12) | static_cast<std::uint32_t>(x + 1);
    s.Unlock();
}

std::uint32_t at(int x, int y) { return (static_cast<std::uint32_t>(y) << 12) | static_cast<std::uint32_t>(x + 1); }

constexpr std::uint32_t kBack = 0xABCDEF;

// A paint of one pixel at (20, 20), or (0, 0) on a smaller surface; counted.
int paints = 0;
TDirectDrawSurface::TPaint dot(std::uint32_t colour) {
    return {[](const TDirectDrawSurface::TPaint& p, std::uint32_t* pixels, int width, int height) {
                ++paints;
                const int at = width > 20 && height > 20 ? 20 * width + 20 : 0;
                pixels[at] = static_cast<std::uint32_t>(p.values[0]);
            },
            {colour},
            nullptr};
}

} // namespace

TEST(ClipBlit, CutsBothRectanglesInStep) {
    struct Case {
        const char* what;
        TRect d, s, db, sb;
        bool any;
        TRect dOut, sOut;
    };
    const TRect screen{0, 0, 800, 600}, pic{0, 0, 32, 32};
    const Case cases[] = {
        {"inside", {10, 10, 42, 42}, {0, 0, 32, 32}, screen, pic, true, {10, 10, 42, 42}, {0, 0, 32, 32}},
        {"left edge", {-10, 5, 22, 37}, {0, 0, 32, 32}, screen, pic, true, {0, 5, 22, 37}, {10, 0, 32, 32}},
        {"top edge", {5, -31, 37, 1}, {0, 0, 32, 32}, screen, pic, true, {5, 0, 37, 1}, {0, 31, 32, 32}},
        {"right edge", {790, 0, 822, 32}, {0, 0, 32, 32}, screen, pic, true, {790, 0, 800, 32}, {0, 0, 10, 32}},
        {"bottom edge", {0, 590, 32, 622}, {0, 0, 32, 32}, screen, pic, true, {0, 590, 32, 600}, {0, 0, 32, 10}},
        {"source sticks out left",
         {100, 100, 132, 132},
         {-4, 0, 28, 32},
         screen,
         pic,
         true,
         {104, 100, 132, 132},
         {0, 0, 28, 32}},
        {"source sticks out right",
         {100, 100, 132, 132},
         {8, 0, 40, 32},
         screen,
         pic,
         true,
         {100, 100, 124, 132},
         {8, 0, 32, 32}},
        {"at the width", {800, 0, 832, 32}, {0, 0, 32, 32}, screen, pic, false, {800, 0, 800, 32}, {0, 0, 0, 32}},
        {"wholly left", {-40, 0, -8, 32}, {0, 0, 32, 32}, screen, pic, false, {0, 0, -8, 32}, {40, 0, 32, 32}},
    };
    for (const Case& c : cases) {
        TRect d = c.d, s = c.s;
        EXPECT_EQ(ClipBlit(d, s, c.db, c.sb), c.any) << c.what;
        if (c.any) {
            EXPECT_EQ(d, c.dOut) << c.what;
            EXPECT_EQ(s, c.sOut) << c.what;
        }
    }
}

class SurfaceDraw : public ::testing::Test {
protected:
    void SetUp() override {
        dest.SetSize(100, 50);
        dest.Fill(kBack);
        src.SetSize(32, 16);
        fillCoordinates(src);
    }
    int changedPixels() const {
        int n = 0;
        for (int y = 0; y < dest.Height(); ++y)
            for (int x = 0; x < dest.Width(); ++x) n += dest.Pixel(x, y) != kBack;
        return n;
    }
    TDirectDrawSurface dest, src;
};

TEST_F(SurfaceDraw, AtMinusTenCopiesTheRightTwentyTwoColumns) {
    EXPECT_TRUE(dest.Draw(-10, 0, src.ClientRect(), &src, false));
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 22; ++x) ASSERT_EQ(dest.Pixel(x, y), at(x + 10, y)) << x << "," << y;
        EXPECT_EQ(dest.Pixel(22, y), kBack);
    }
    EXPECT_EQ(changedPixels(), 22 * 16);
}

TEST_F(SurfaceDraw, RightEdgeIsCutAndTheWidthOrBeyondDrawsNothing) {
    dest.Draw(90, 40, src.ClientRect(), &src, false);
    EXPECT_EQ(dest.Pixel(99, 49), at(9, 9));
    EXPECT_EQ(changedPixels(), 10 * 10);

    dest.Fill(kBack);
    dest.Draw(100, 0, src.ClientRect(), &src, false); // X equal to the width: clipped away
    dest.Draw(101, 0, src.ClientRect(), &src, false); // beyond: skipped before clipping
    dest.Draw(0, 51, src.ClientRect(), &src, false);
    dest.Draw(-32, 0, src.ClientRect(), &src, false); // wholly to the left
    dest.Draw(0, -16, src.ClientRect(), &src, false);
    EXPECT_EQ(changedPixels(), 0);
    EXPECT_FALSE(dest.Draw(0, 0, src.ClientRect(), nullptr, false));
}

TEST_F(SurfaceDraw, MirroredRectanglesFlipTheirAxes) {
    dest.Draw(0, 0, Rect(32, 0, 0, 16), &src, false); // left-right
    for (int x = 0; x < 32; ++x) ASSERT_EQ(dest.Pixel(x, 3), at(31 - x, 3));
    dest.Draw(40, 0, Rect(0, 16, 32, 0), &src, false); // up-down
    for (int y = 0; y < 16; ++y) ASSERT_EQ(dest.Pixel(45, y), at(5, 15 - y));
    dest.Draw(0, 20, Rect(32, 16, 0, 0), &src, false); // both
    EXPECT_EQ(dest.Pixel(0, 20), at(31, 15));
    EXPECT_EQ(dest.Pixel(31, 35), at(0, 0));
}

TEST_F(SurfaceDraw, MirroredAtMinusTenShowsTheMirrorImagesVisiblePart) {
    dest.Draw(-10, 0, Rect(32, 0, 0, 16), &src, false);
    // The whole mirrored picture would cover -10..21; columns 0..21 show source columns 21..0.
    for (int x = 0; x < 22; ++x) ASSERT_EQ(dest.Pixel(x, 0), at(21 - x, 0)) << x;
    EXPECT_EQ(changedPixels(), 22 * 16);
    // A mirrored rectangle entirely left of or above the surface is dropped.
    dest.Fill(kBack);
    EXPECT_FALSE(dest.Draw(-32, 0, Rect(32, 0, 0, 16), &src, false));
    EXPECT_FALSE(dest.Draw(0, -16, Rect(0, 16, 32, 0), &src, false));
    EXPECT_EQ(changedPixels(), 0);
}

TEST_F(SurfaceDraw, MirroredPartReadsTheMirrorPositionWithinTheSource) {
    // Left half of the source, mirrored: its rectangle is mirrored within the whole surface first,
    // so the pixels come from the right half.
    dest.Draw(0, 0, Rect(16, 0, 0, 16), &src, false);
    for (int x = 0; x < 16; ++x) ASSERT_EQ(dest.Pixel(x, 0), at(31 - x, 0));
}

TEST_F(SurfaceDraw, ColourKeyLeavesKeyPixelsOnlyWhenTransparent) {
    src.SetPixel(3, 2, 0x00FF00);
    src.SetPixel(4, 2, 0x00FF00);
    src.SetColorKey(0x00FF00);
    dest.Draw(0, 0, src.ClientRect(), &src, true);
    EXPECT_EQ(dest.Pixel(3, 2), kBack);
    EXPECT_EQ(dest.Pixel(4, 2), kBack);
    EXPECT_EQ(dest.Pixel(5, 2), at(5, 2));
    dest.Draw(0, 0, src.ClientRect(), &src, false);
    EXPECT_EQ(dest.Pixel(3, 2), 0x00FF00u);
    // Mirrored copies honour the key as well.
    dest.Fill(kBack);
    dest.Draw(0, 0, Rect(32, 0, 0, 16), &src, true);
    EXPECT_EQ(dest.Pixel(31 - 3, 2), kBack);
    EXPECT_EQ(dest.Pixel(31 - 5, 2), at(5, 2));
}

TEST_F(SurfaceDraw, KeyedCopiesFollowChangesOfPixelsAndKey) {
    // Whole pictures and parts of them are copied along different prepared paths; both must see
    // every change. (1, 1) lands on (1, 1) from the whole picture, and on (60, 20) from the part.
    auto draw = [&] {
        dest.Fill(kBack);
        dest.Draw(0, 0, src.ClientRect(), &src, true);
        dest.Draw(60, 20, Rect(1, 1, 12, 12), &src, true);
    };
    src.SetColorKey(at(1, 1));
    draw();
    EXPECT_EQ(dest.Pixel(1, 1), kBack);
    EXPECT_EQ(dest.Pixel(60, 20), kBack);
    EXPECT_EQ(dest.Pixel(61, 20), at(2, 1));

    // New pixels through a lock and through SetPixel, and a new key: no stale copy plan may survive.
    TDDSurfaceDesc d;
    ASSERT_TRUE(src.Lock(d));
    static_cast<std::uint32_t*>(d.Bits)[1 * 32 + 1] = 0x111111;
    src.Unlock();
    src.SetPixel(7, 7, at(1, 1));
    draw();
    EXPECT_EQ(dest.Pixel(1, 1), 0x111111u);
    EXPECT_EQ(dest.Pixel(60, 20), 0x111111u);
    EXPECT_EQ(dest.Pixel(7, 7), kBack);
    EXPECT_EQ(dest.Pixel(66, 26), kBack);

    src.SetColorKey(0x111111);
    draw();
    EXPECT_EQ(dest.Pixel(1, 1), kBack);
    EXPECT_EQ(dest.Pixel(60, 20), kBack);
    EXPECT_EQ(dest.Pixel(7, 7), at(1, 1));
    EXPECT_EQ(dest.Pixel(66, 26), at(1, 1));
}

TEST_F(SurfaceDraw, WithoutAColourKeyTransparentDrawsEverything) {
    dest.Draw(0, 0, src.ClientRect(), &src, true);
    EXPECT_EQ(changedPixels(), 32 * 16);
}

TEST_F(SurfaceDraw, OverlappingCopyWithinOneSurface) {
    fillCoordinates(dest);
    dest.Draw(5, 3, Rect(0, 0, 40, 20), &dest, false);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(dest.Pixel(x + 5, y + 3), at(x, y));
}

TEST(SurfaceDrawModel, MatchesAPerPixelModelForRandomDraws) {
    // A wide source of many patterns with scattered key pixels; draws at random places, partly
    // outside, keyed or not, mirrored or not, compared with a straightforward per-pixel copy.
    std::mt19937 rng(7);
    TDirectDrawSurface src;
    src.SetSize(300, 40);
    const std::uint32_t key = 0x00FF00FF;
    TDDSurfaceDesc d;
    ASSERT_TRUE(src.Lock(d));
    for (int i = 0; i < 300 * 40; ++i)
        static_cast<std::uint32_t*>(d.Bits)[i] = (rng() % 5 < 2) ? key : (rng() & 0xFFFFFFu);
    src.Unlock();
    src.SetColorKey(key);

    TDirectDrawSurface dest, model;
    dest.SetSize(120, 90);
    model.SetSize(120, 90);
    for (int round = 0; round < 400; ++round) {
        int l = static_cast<int>(rng() % 310) - 5, t = static_cast<int>(rng() % 46) - 3;
        int w = static_cast<int>(rng() % 60) + 1, h = static_cast<int>(rng() % 30) + 1;
        if (rng() % 4 == 0) { // the whole picture, which takes the whole-row path
            l = t = 0;
            w = 300;
            h = 40;
        }
        const bool mx = rng() % 4 == 0, my = rng() % 6 == 0, keyed = rng() % 3 != 0;
        const int x = static_cast<int>(rng() % 160) - 30, y = static_cast<int>(rng() % 120) - 20;
        TRect r{l, t, l + w, t + h};
        if (mx) std::swap(r.Left, r.Right);
        if (my) std::swap(r.Top, r.Bottom);
        dest.Fill(0x123456);
        model.Fill(0x123456);
        dest.Draw(x, y, r, &src, keyed);

        // The model: clip, mirror the source rectangle within the surface, then copy pixel by pixel.
        TRect s{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
                std::max(r.Top, r.Bottom)};
        TRect dr{x, y, x + s.Width(), y + s.Height()};
        if (x <= model.Width() && y <= model.Height() && ClipBlit(dr, s, model.ClientRect(), src.ClientRect())) {
            if (mx) s = TRect{src.Width() - s.Right, s.Top, src.Width() - s.Left, s.Bottom};
            if (my) s = TRect{s.Left, src.Height() - s.Bottom, s.Right, src.Height() - s.Top};
            for (int yy = 0; yy < dr.Height(); ++yy)
                for (int xx = 0; xx < dr.Width(); ++xx) {
                    const std::uint32_t p =
                        src.Pixel(mx ? s.Right - 1 - xx : s.Left + xx, my ? s.Bottom - 1 - yy : s.Top + yy);
                    if (!keyed || p != key) model.SetPixel(dr.Left + xx, dr.Top + yy, p);
                }
        }
        for (int yy = 0; yy < 90; ++yy)
            for (int xx = 0; xx < 120; ++xx)
                ASSERT_EQ(dest.Pixel(xx, yy), model.Pixel(xx, yy))
                    << "round " << round << " at " << xx << "," << yy << " rect " << r.Left << "," << r.Top << ","
                    << r.Right << "," << r.Bottom << " to " << x << "," << y;
    }
}

TEST(SurfaceFill, ShowsWhereverWhatFollowsDoesNotCoverIt) {
    // The surface still holds an old picture (every pixel names its place); after a fill, whatever
    // the next step leaves uncovered must read as the fill, never as the old picture.
    constexpr std::uint32_t kFill = 0x204060, kKey = 0x00FF00;
    constexpr int W = 40, H = 30;
    auto pattern = [](int x, int y) { return 0x500000u + static_cast<std::uint32_t>(y * W + x); };
    auto paint = [&](TDirectDrawSurface& s) {
        s.SetSize(W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) s.SetPixel(x, y, pattern(x, y));
    };
    TDirectDrawSurface cover, holed, keyedWhole;
    paint(cover);
    paint(holed);
    holed.SetPixel(7, 3, kKey);
    holed.SetPixel(39, 29, kKey);
    holed.SetColorKey(kKey);
    paint(keyedWhole);
    keyedWhole.SetColorKey(kKey); // a key no pixel has
    auto isHole = [](int x, int y) { return (x == 7 && y == 3) || (x == 39 && y == 29); };

    struct Case {
        const char* what;
        std::function<void(TDirectDrawSurface&)> step;
        std::function<std::uint32_t(int, int)> expected;
    };
    const Case cases[] = {
        {"opaque cover", [&](TDirectDrawSurface& d) { d.Draw(0, 0, &cover, false); }, pattern},
        {"keyed cover with key pixels", [&](TDirectDrawSurface& d) { d.Draw(0, 0, &holed, true); },
         [&](int x, int y) { return isHole(x, y) ? kFill : pattern(x, y); }},
        {"keyed cover without key pixels", [&](TDirectDrawSurface& d) { d.Draw(0, 0, &keyedWhole, true); }, pattern},
        {"keyed source drawn opaque", [&](TDirectDrawSurface& d) { d.Draw(0, 0, &holed, false); },
         [&](int x, int y) { return isHole(x, y) ? kKey : pattern(x, y); }},
        {"mirrored cover", [&](TDirectDrawSurface& d) { d.Draw(0, 0, Rect(W, 0, 0, H), &cover, false); },
         [&](int x, int y) { return pattern(W - 1 - x, y); }},
        {"cover one pixel to the right", [&](TDirectDrawSurface& d) { d.Draw(1, 0, &cover, false); },
         [&](int x, int y) { return x == 0 ? kFill : pattern(x - 1, y); }},
        {"cover short of the last row",
         [&](TDirectDrawSurface& d) { d.Draw(0, 0, Rect(0, 0, W, H - 1), &cover, false); },
         [&](int x, int y) { return y == H - 1 ? kFill : pattern(x, y); }},
        {"nothing but reading", [](TDirectDrawSurface&) {}, [&](int, int) { return kFill; }},
        {"a second fill", [](TDirectDrawSurface& d) { d.Fill(0x010101); }, [](int, int) { return 0x010101u; }},
        {"a pixel set", [](TDirectDrawSurface& d) { d.SetPixel(3, 4, 0x777777); },
         [&](int x, int y) { return x == 3 && y == 4 ? 0x777777u : kFill; }},
        {"a pixel written under a lock",
         [](TDirectDrawSurface& d) {
             TDDSurfaceDesc desc;
             TRect r{3, 4, 4, 5};
             ASSERT_TRUE(d.Lock(&r, desc));
             *static_cast<std::uint32_t*>(desc.Bits) = 0x777777;
             d.Unlock();
         },
         [&](int x, int y) { return x == 3 && y == 4 ? 0x777777u : kFill; }},
        {"a copy within the surface", [](TDirectDrawSurface& d) { d.Draw(5, 5, Rect(0, 0, 10, 10), &d, false); },
         [&](int, int) { return kFill; }},
        {"a new size", [](TDirectDrawSurface& d) { d.SetSize(W, H); }, [](int, int) { return 0u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TDirectDrawSurface dest;
        paint(dest);
        ASSERT_TRUE(dest.Fill(kFill));
        c.step(dest);
        const std::uint32_t* p = dest.Pixels();
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) wrong += p[y * W + x] != c.expected(x, y);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(dest.Pixel(W - 1, H - 1), c.expected(W - 1, H - 1));
    }

    // A filled surface used as a source gives its fill.
    TDirectDrawSurface filled, out;
    paint(filled);
    paint(out);
    filled.Fill(kFill);
    out.Draw(0, 0, Rect(0, 0, 10, 10), &filled, false);
    EXPECT_EQ(out.Pixel(9, 9), kFill);
    EXPECT_EQ(out.Pixel(10, 10), pattern(10, 10));
}

TEST(SurfaceCopyChangedRows, MakesTheSurfacesEqualAndSaysWhetherAnythingChanged) {
    TDirectDrawSurface front, back;
    front.SetSize(16, 8);
    back.SetSize(16, 8);
    fillCoordinates(back);
    EXPECT_TRUE(front.CopyChangedRows(back));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(front.Pixel(x, y), at(x, y));

    const std::uint64_t generation = front.Generation();
    back.Fill(0x111111);
    fillCoordinates(back); // drawn again, the same picture
    EXPECT_FALSE(front.CopyChangedRows(back));
    EXPECT_EQ(front.Generation(), generation) << "an unchanged picture counts as no change";

    back.SetPixel(15, 7, 0x222222); // the very last pixel
    EXPECT_TRUE(front.CopyChangedRows(back));
    EXPECT_EQ(front.Pixel(15, 7), 0x222222u);
    EXPECT_NE(front.Generation(), generation);

    back.Fill(0x333333); // a fill not yet written to the pixels still counts
    EXPECT_TRUE(front.CopyChangedRows(back));
    EXPECT_EQ(front.Pixel(0, 0), 0x333333u);
    EXPECT_EQ(front.Pixel(15, 7), 0x333333u);

    TDirectDrawSurface other;
    other.SetSize(16, 9);
    EXPECT_FALSE(front.CopyChangedRows(other)) << "sizes differ";
    EXPECT_EQ(front.Pixel(0, 0), 0x333333u);
    TDDSurfaceDesc d;
    ASSERT_TRUE(back.Lock(d));
    EXPECT_FALSE(front.CopyChangedRows(back));
    EXPECT_EQ(front.DXResult(), ddresult::SurfaceBusy);
    back.Unlock();
}

TEST(SurfaceFrame, ARepeatedFrameIsNotDrawnAgainAndAChangedOneIs) {
    TDirectDrawSurface pic, back, front;
    pic.SetSize(10, 8);
    fillCoordinates(pic);
    back.SetSize(40, 30);
    front.SetSize(40, 30);
    paints = 0;
    auto base = [&] {
        back.Draw(2, 3, &pic, false);
        back.Paint(dot(0x777777));
    };
    auto frame = [&](std::uint32_t fill, const std::function<void()>& steps) {
        back.Fill(fill);
        steps();
        return back.Generation();
    };
    auto isBase = [&] {
        return back.Pixel(0, 0) == kBack && back.Pixel(2, 3) == at(0, 0) && back.Pixel(11, 10) == at(9, 7) &&
               back.Pixel(20, 20) == 0x777777u;
    };

    const std::uint64_t drawn = frame(kBack, base);
    EXPECT_TRUE(isBase());
    EXPECT_EQ(paints, 1);
    EXPECT_TRUE(front.CopyChangedRows(back));
    const std::uint64_t shown = front.Generation();
    EXPECT_EQ(frame(kBack, base), drawn) << "the same frame again";
    EXPECT_EQ(paints, 1);
    EXPECT_TRUE(isBase());
    EXPECT_FALSE(front.CopyChangedRows(back));
    EXPECT_EQ(front.Generation(), shown);

    struct Case {
        const char* what;
        std::uint32_t fill;
        std::function<void()> steps;
        std::function<bool()> drawn;
    };
    const Case cases[] = {
        {"a step fewer", kBack, [&] { back.Draw(2, 3, &pic, false); },
         [&] { return back.Pixel(20, 20) == kBack && back.Pixel(2, 3) == at(0, 0); }},
        {"another place", kBack,
         [&] {
             back.Draw(3, 3, &pic, false);
             back.Paint(dot(0x777777));
         },
         [&] { return back.Pixel(2, 3) == kBack && back.Pixel(3, 3) == at(0, 0); }},
        {"another fill", 0x010203, base, [&] { return back.Pixel(0, 0) == 0x010203u; }},
        {"another paint", kBack,
         [&] {
             back.Draw(2, 3, &pic, false);
             back.Paint(dot(0x888888));
         },
         [&] { return back.Pixel(20, 20) == 0x888888u; }},
        {"a changed source", kBack,
         [&] {
             pic.SetPixel(0, 0, 0x999999);
             base();
         },
         [&] { return back.Pixel(2, 3) == 0x999999u; }},
        {"a step more, the source read half-way", kBack,
         [&] {
             back.Draw(2, 3, &pic, false);
             EXPECT_EQ(back.Pixel(20, 20), kBack);
             back.Paint(dot(0x777777));
             EXPECT_EQ(back.Pixel(20, 20), 0x777777u) << "a paint after a read lands at once";
             back.Paint(dot(0x888888));
         },
         [&] { return back.Pixel(20, 20) == 0x888888u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::uint64_t before = back.Generation();
        EXPECT_NE(frame(c.fill, c.steps), before);
        EXPECT_TRUE(c.drawn());
        EXPECT_TRUE(front.CopyChangedRows(back));
        fillCoordinates(pic);
        const std::uint64_t again = frame(kBack, base);
        EXPECT_TRUE(isBase()) << "and back to the first frame";
        const int painted = paints;
        EXPECT_EQ(frame(kBack, base), again);
        EXPECT_EQ(paints, painted);
    }
}

TEST(SurfaceFrame, ACopyTakesTheSourceAsItWasWhenDrawn) {
    // The copy lands when the frame is read; whatever happens to the source before must not show.
    const std::uint32_t kKey = at(1, 0);
    TDirectDrawSurface other;
    other.SetSize(4, 4);
    other.Fill(0x444444);
    struct Case {
        const char* what;
        std::function<void(std::unique_ptr<TDirectDrawSurface>&)> change;
    };
    const Case cases[] = {
        {"a pixel set", [](auto& pic) { pic->SetPixel(0, 0, 0x111111); }},
        {"a write under a lock",
         [](auto& pic) {
             TDDSurfaceDesc d;
             ASSERT_TRUE(pic->Lock(d));
             static_cast<std::uint32_t*>(d.Bits)[0] = 0x111111;
             pic->Unlock();
         }},
        {"a fill", [](auto& pic) { pic->Fill(0x111111); }},
        {"a copy onto it", [&](auto& pic) { pic->Draw(0, 0, &other, false); }},
        {"a paint on it", [](auto& pic) { pic->Paint(dot(0x111111)); }},
        {"a new colour key", [](auto& pic) { pic->SetColorKey(0x123456); }},
        {"a new size", [](auto& pic) { pic->SetSize(10, 8); }},
        {"freed", [](auto& pic) { pic.reset(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto pic = std::make_unique<TDirectDrawSurface>();
        pic->SetSize(10, 8);
        fillCoordinates(*pic);
        pic->SetColorKey(kKey);
        TDirectDrawSurface back;
        back.SetSize(40, 30);
        back.Fill(kBack);
        back.Draw(2, 3, pic.get(), true);
        c.change(pic);
        if (pic) (void)pic->Pixels();
        EXPECT_EQ(back.Pixel(2, 3), at(0, 0));
        EXPECT_EQ(back.Pixel(3, 3), kBack) << "the key pixel left out";
        EXPECT_EQ(back.Pixel(11, 10), at(9, 7));
    }
}

TEST(SurfaceLock, OneLockAtATimeAndBusyWhileLocked) {
    TDirectDrawSurface s, other;
    TDDSurfaceDesc d;
    EXPECT_FALSE(s.Lock(d)) << "an empty surface cannot be locked";
    s.SetSize(10, 8);
    other.SetSize(4, 4);
    s.SetColorKey(0x00FF00);
    ASSERT_TRUE(s.Lock(d));
    EXPECT_EQ(d.BitCount, 32);
    EXPECT_EQ(d.Pitch, 40);
    EXPECT_TRUE(d.HasColorKey);
    EXPECT_EQ(d.ColorKeyLow, 0x00FF00u);
    TDDSurfaceDesc second;
    EXPECT_FALSE(s.Lock(second));
    EXPECT_FALSE(s.Fill(1));
    EXPECT_EQ(s.DXResult(), ddresult::SurfaceBusy);
    EXPECT_FALSE(other.Draw(0, 0, &s, false)) << "a locked source is busy too";
    s.Unlock();
    EXPECT_TRUE(s.Fill(1));

    // A rectangle lock points at the rectangle's first pixel; a rectangle outside fails.
    TRect r{2, 3, 5, 6};
    ASSERT_TRUE(s.Lock(&r, d));
    EXPECT_EQ(d.Width, 3);
    EXPECT_EQ(static_cast<std::uint32_t*>(d.Bits) - s.Pixels(), 3 * 10 + 2);
    s.Unlock();
    TRect outside{5, 5, 11, 6};
    EXPECT_FALSE(s.Lock(&outside, d));
    EXPECT_FALSE(s.Locked());
}

TEST(SurfaceSize, EmptyingFallBackToSystemMemoryAndFailure) {
    TDirectDraw device;
    device.SetVideoMemoryLimit(100 * 100 * 4);
    TDirectDrawSurface a(&device), b(&device);
    a.SetSize(100, 100);
    EXPECT_TRUE(a.InVideoMemory());
    EXPECT_FALSE(a.SystemMemory());
    b.SetSize(10, 10); // no video memory left
    EXPECT_FALSE(b.InVideoMemory());
    EXPECT_TRUE(b.SystemMemory());
    EXPECT_EQ(b.Width(), 10);

    a.SetSize(0, 5);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(device.VideoMemoryUsed(), 0);
    EXPECT_FALSE(a.Fill(0));

    try {
        a.SetSize(1 << 16, 1 << 16);
        FAIL() << "an impossible surface was made";
    } catch (const EDirectDrawSurfaceError& e) {
        EXPECT_STREQ(e.what(), "Surface cannot be made");
    }
    EXPECT_TRUE(a.IsEmpty());
}

TEST(SurfaceDevice, LossRestoreAndTheDeviceGoingFirst) {
    auto device = std::make_unique<TDirectDraw>();
    TDirectDrawSurface s(device.get()), src(device.get());
    s.SetSize(4, 4);
    src.SetSize(2, 2);
    EXPECT_EQ(device->SurfaceCount(), 2);
    device->LoseAllSurfaces();
    EXPECT_EQ(s.IsLost(), ddresult::SurfaceLost);
    EXPECT_FALSE(s.Draw(0, 0, &src, false));
    EXPECT_EQ(s.DXResult(), ddresult::SurfaceLost);
    EXPECT_TRUE(s.Restore());
    EXPECT_EQ(s.IsLost(), ddresult::Ok);
    device.reset();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.DDraw(), nullptr);
}

TEST(SurfaceColour, NativeColorIsRedGreenBlueFromTheColourValue) {
    TDirectDrawSurface s;
    EXPECT_EQ(s.NativeColor(clWhite), 0u) << "empty surface";
    s.SetSize(1, 1);
    s.SetPixel(0, 0, 0x445566);
    EXPECT_EQ(s.NativeColor(RGB(255, 0, 0)), 0xFF0000u);
    EXPECT_EQ(s.NativeColor(RGB(153, 204, 255)), 0x99CCFFu);
    EXPECT_EQ(s.NativeColor(clNavy), 0x000080u);
    EXPECT_EQ(s.NativeColor(clBtnFace), ColorToPixel(ColorToRGB(clBtnFace)));
    EXPECT_NE(s.NativeColor(clBtnFace) >> 24, 0xFFu) << "system colours are resolved";
    EXPECT_EQ(s.Pixel(0, 0), 0x445566u) << "the probe leaves the surface as it was";
}
