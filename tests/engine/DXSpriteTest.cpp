// SPDX-License-Identifier: MIT
// The sprite tree: depth order, passes, collision scans, deferred destruction, frame step, bounds,
// backgrounds, the pixel-exact test and the component's display binding.
#include "engine/DXSprite.h"

#include "graphics/DIB.h"
#include "core/DXClass.h"
#include "graphics/PictureCollection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A sprite that writes what happens to it into a shared log.
class LogSprite : public TImageSprite {
public:
    LogSprite(TSprite* parent, std::string name, std::vector<std::string>& log, TRect box = Bounds(0, 0, 10, 10))
        : TImageSprite(parent), name_(std::move(name)), log_(log) {
        X = box.Left;
        Y = box.Top;
        Width = box.Width();
        Height = box.Height();
    }
    void DrawSelf() override { log_.push_back("draw " + name_); }
    void MoveSelf(std::int32_t) override {
        log_.push_back("move " + name_);
        if (onMove) onMove(*this);
    }
    void HandleCollision(TSprite* other, bool& done) override {
        log_.push_back("hit " + name_ + ">" + static_cast<LogSprite*>(other)->name_);
        if (onHit) onHit(*this, done);
    }

    std::function<void(LogSprite&)> onMove;
    std::function<void(LogSprite&, bool&)> onHit;

private:
    std::string name_;
    std::vector<std::string>& log_;
};

class SpriteTreeTest : public ::testing::Test {
protected:
    SpriteTreeTest() {
        surface.SetSize(800, 600);
        engine.SetSurface(&surface);
    }
    LogSprite* Make(std::string name, TRect box = Bounds(0, 0, 10, 10), TSprite* parent = nullptr) {
        return new LogSprite(parent != nullptr ? parent : &engine, std::move(name), log, box);
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    std::vector<std::string> log;
    TDirectDrawSurface surface;
    TSpriteEngine engine;
};

using Log = std::vector<std::string>;

TEST_F(SpriteTreeTest, EqualDepthsAreDrawnNewestFirst) {
    Make("a");
    Make("b");
    LogSprite* c = Make("c");
    LogSprite* d = Make("d");
    d->SetZ(1);
    engine.Draw();
    EXPECT_EQ(Take(), (Log{"draw c", "draw b", "draw a", "draw d"}));
    EXPECT_EQ(engine.DrawCount(), 4);

    c->SetZ(0); // same value: no re-sort
    engine.Draw();
    EXPECT_EQ(Take(), (Log{"draw c", "draw b", "draw a", "draw d"}));

    c->SetZ(1); // re-sorted beneath d, the other sprite of depth 1
    engine.Draw();
    EXPECT_EQ(Take(), (Log{"draw b", "draw a", "draw c", "draw d"}));

    // Insertion order is untouched by depth.
    EXPECT_EQ(engine.Child(2), c);
    EXPECT_EQ(engine.DrawOrderChild(2), c);
}

TEST_F(SpriteTreeTest, DepthSearchAcrossManyDepths) {
    const int depths[] = {5, -3, 5, 0, 9, -3, 2, 5};
    std::vector<TSprite*> made;
    for (int z : depths) {
        TSprite* s = Make("s");
        s->SetZ(z);
        made.push_back(s);
    }
    // Ascending depth; among equals the later-sorted sprite first.
    const int order[] = {5, 1, 3, 6, 7, 2, 0, 4};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(engine.DrawOrderChild(i), made[static_cast<std::size_t>(order[i])]) << i;
    }
}

TEST_F(SpriteTreeTest, OutsideTheSurfaceIsSkippedButChildrenAreStillVisited) {
    LogSprite* outside = Make("out", Bounds(-50, 0, 50, 10)); // touches x = 0 only
    Make("in", Bounds(90, 0, 10, 10), outside);               // absolute (40, 0)
    engine.Draw();
    EXPECT_EQ(Take(), (Log{"draw in"}));
    EXPECT_EQ(engine.DrawCount(), 1);
}

TEST_F(SpriteTreeTest, InvisibleParentHidesAndFrozenParentStopsItsSubtree) {
    LogSprite* p = Make("p");
    Make("c", Bounds(0, 0, 10, 10), p);
    p->Visible = false;
    engine.Draw();
    EXPECT_TRUE(Take().empty());

    p->Movable = false;
    engine.MoveTree(1);
    EXPECT_TRUE(Take().empty());

    p->Visible = p->Movable = true;
    engine.MoveTree(1);
    EXPECT_EQ(Take(), (Log{"move p", "move c"}));
}

TEST_F(SpriteTreeTest, SpritesMadeDuringAPassWaitForTheNextOne) {
    LogSprite* maker = Make("maker");
    maker->onMove = [this](LogSprite& self) {
        if (engine.SpriteCount() == 1) Make("shot");
        self.onMove = nullptr;
    };
    engine.MoveTree(1);
    EXPECT_EQ(Take(), (Log{"move maker"}));
    engine.MoveTree(1);
    EXPECT_EQ(Take(), (Log{"move maker", "move shot"}));
}

TEST_F(SpriteTreeTest, MarkedDeadTwiceIsListedOnceAndLivesOnUntilFreeDead) {
    LogSprite* victim = Make("victim", Bounds(0, 0, 10, 10));
    LogSprite* tester = Make("tester", Bounds(5, 5, 10, 10));
    victim->MarkDead();
    victim->MarkDead();
    ASSERT_EQ(engine.DeadList(), (std::vector<TSprite*>{victim}));
    EXPECT_TRUE(victim->Dead());

    engine.MoveTree(1);
    engine.Draw();
    EXPECT_EQ(tester->CheckCollisions(), 1);
    EXPECT_EQ(Take(), (Log{"move victim", "move tester", "draw tester", "draw victim", "hit tester>victim"}));

    engine.FreeDead();
    EXPECT_EQ(engine.SpriteCount(), 1);
    EXPECT_TRUE(engine.DeadList().empty());
    EXPECT_EQ(engine.Child(0), tester);
    EXPECT_EQ(tester->CheckCollisions(), 0);
}

TEST_F(SpriteTreeTest, DestroyingAParentTakesItsSubtreeOutOfTheCountsAndTheDeadList) {
    LogSprite* keep = Make("keep");
    LogSprite* parent = Make("parent");
    LogSprite* child = Make("child", Bounds(0, 0, 1, 1), parent);
    LogSprite* grandchild = Make("grandchild", Bounds(0, 0, 1, 1), child);
    Make("child2", Bounds(0, 0, 1, 1), parent);
    keep->MarkDead();
    grandchild->MarkDead();
    parent->MarkDead();
    ASSERT_EQ(engine.SpriteCount(), 5);
    ASSERT_EQ(engine.DeadList().size(), 3u);

    parent->FreeChildren();
    EXPECT_EQ(engine.SpriteCount(), 2);
    EXPECT_EQ(engine.DeadList(), (std::vector<TSprite*>{keep, parent}));
    EXPECT_EQ(parent->ChildCount(), 0);

    Make("late", Bounds(0, 0, 1, 1), parent);
    engine.FreeDead();
    EXPECT_EQ(engine.SpriteCount(), 0);
    EXPECT_EQ(engine.ChildCount(), 0);
    EXPECT_TRUE(engine.DeadList().empty());
}

TEST_F(SpriteTreeTest, FreeChildrenOfTheEngineEmptiesEverything) {
    for (int i = 0; i < 3; ++i) Make("s" + std::to_string(i), Bounds(0, 0, 1, 1), Make("p"));
    engine.Child(1)->MarkDead();
    engine.FreeChildren();
    EXPECT_EQ(engine.SpriteCount(), 0);
    EXPECT_TRUE(engine.DeadList().empty());
    EXPECT_THROW(engine.Child(0), ESpriteError);
}

TEST_F(SpriteTreeTest, ChildIndexErrors) {
    try {
        engine.Child(3);
        FAIL();
    } catch (const ESpriteError& e) {
        EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (3)");
    }
    Make("only");
    try {
        engine.Child(1);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(engine.Child(-1), EListError);
}

TEST_F(SpriteTreeTest, TesterThatDiesStillExaminesEveryTopLevelSprite) {
    LogSprite* tester = Make("tester", Bounds(0, 0, 20, 20));
    LogSprite* first = Make("first", Bounds(5, 5, 10, 10));
    Make("inner", Bounds(0, 0, 10, 10), first); // under first, also overlapping
    Make("second", Bounds(10, 10, 10, 10));
    tester->onHit = [](LogSprite& self, bool&) { self.MarkDead(); };

    EXPECT_EQ(tester->CheckCollisions(), 2);
    // The done flag kept the scan out of first's children, not away from second.
    EXPECT_EQ(Take(), (Log{"hit tester>first", "hit tester>second"}));
    EXPECT_TRUE(engine.CollisionDone());

    // A dead tester runs no further scans.
    EXPECT_EQ(tester->CheckCollisions(), 0);
}

TEST_F(SpriteTreeTest, ScanDescendsIntoChildrenAndSkipsNonCollidableSubtrees) {
    LogSprite* tester = Make("tester", Bounds(0, 0, 20, 20));
    LogSprite* far = Make("far", Bounds(100, 100, 10, 10));
    Make("near", Bounds(-95, -95, 5, 5), far); // absolute (5, 5)
    LogSprite* ghost = Make("ghost", Bounds(0, 0, 10, 10));
    Make("ghostchild", Bounds(0, 0, 10, 10), ghost);
    ghost->Collidable = false;
    Make("grandchild", Bounds(0, 0, 5, 5), Make("child", Bounds(0, 0, 5, 5), tester)); // the tester's own subtree

    EXPECT_EQ(tester->CheckCollisions(), 3);
    EXPECT_EQ(Take(), (Log{"hit tester>child", "hit tester>grandchild", "hit tester>near"}));
    EXPECT_EQ(engine.CollisionTester(), tester);
    EXPECT_EQ(engine.CollisionRect(), Bounds(0, 0, 20, 20));
}

TEST_F(SpriteTreeTest, TouchingRectanglesDoNotCollide) {
    struct Case {
        TRect other;
        int hits;
    };
    const Case cases[] = {
        {Bounds(10, 0, 10, 10), 0},  {Bounds(-10, 0, 10, 10), 0}, {Bounds(0, 10, 10, 10), 0},
        {Bounds(0, -10, 10, 10), 0}, {Bounds(10, 10, 5, 5), 0},   {Bounds(9, 0, 10, 10), 1},
        {Bounds(0, 9, 10, 10), 1},   {Bounds(-9, -9, 10, 10), 1},
    };
    LogSprite* tester = Make("tester", Bounds(0, 0, 10, 10));
    for (const Case& c : cases) {
        LogSprite* other = Make("other", c.other);
        EXPECT_EQ(tester->CheckCollisions(), c.hits) << c.other.Left << "," << c.other.Top;
        other->MarkDead();
        engine.FreeDead();
    }
}

TEST_F(SpriteTreeTest, AcceptsCollisionIsAskedBothWays) {
    struct Picky : LogSprite {
        using LogSprite::LogSprite;
        bool accept = true;
        bool AcceptsCollision(TSprite*) override { return accept; }
    };
    auto* tester = new Picky(&engine, "tester", log);
    auto* other = new Picky(&engine, "other", log);
    other->accept = false;
    EXPECT_EQ(tester->CheckCollisions(), 0);
    other->accept = true;
    tester->accept = false;
    EXPECT_EQ(tester->CheckCollisions(), 0);
    tester->accept = true;
    EXPECT_EQ(tester->CheckCollisions(), 1);
}

TEST(SpriteWithoutEngine, IsInertButOwnsItsChildren) {
    std::vector<std::string> log;
    TSprite lone(nullptr);
    auto* child = new LogSprite(&lone, "child", log);
    child->MarkDead();
    EXPECT_FALSE(child->Dead());
    EXPECT_EQ(child->Engine(), nullptr);
    EXPECT_EQ(child->CheckCollisions(), 0);
    lone.DrawTree();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(lone.ChildCount(), 1);
}

TEST(SpriteConstruction, ConstructorThatThrowsLeavesTheTreeAsItWas) {
    struct Faulty : TSprite {
        explicit Faulty(TSprite* parent) : TSprite(parent) { throw std::runtime_error("no"); }
    };
    TSpriteEngine engine;
    new TSprite(&engine);
    EXPECT_THROW(new Faulty(&engine), std::runtime_error);
    EXPECT_EQ(engine.SpriteCount(), 1);
    EXPECT_EQ(engine.ChildCount(), 1);
}

TEST(SpritePosition, AbsoluteIsTheSumOverAncestors) {
    TSpriteEngine engine;
    auto* a = new TSprite(&engine);
    auto* b = new TSprite(a);
    a->X = 10, a->Y = -4;
    b->X = 5, b->Y = 3;
    b->Width = 7, b->Height = 2;
    EXPECT_EQ(b->AbsoluteX(), 15.0);
    EXPECT_EQ(b->AbsoluteY(), -1.0);
    EXPECT_EQ(b->CalcBounds(), Bounds(15, -1, 7, 2));
}

TEST(FrameStep, StopsWrapsAndRoundsTiesToEven) {
    struct Case {
        bool looped;
        std::int32_t count, pos;
        double speed;
        std::int32_t moveCount;
        std::int32_t expectPos;
        double expectSpeed;
    };
    const Case cases[] = {
        {false, 4, 3, 1.0, 1, 3, 0.0},                                // runs into the end: stops on the last frame
        {false, 4, 2, 1.0, 1, 3, 1.0},                                // reaches the last frame and may still go on
        {false, 4, 1, -1.0, 2, 0, 0.0},                               // runs out at the start
        {false, 0, 0, 1.0, 1, 0, 0.0},                                // no frames
        {true, 4, 3, 1.0, 1, 0, 1.0},                                 // wraps to 0
        {true, 4, 0, -1.0, 1, 3, -1.0},                               // wraps backwards
        {true, 4, 1, 1.0, 10, 3, 1.0},                                // 11 mod 4
        {true, 0, 5, 1.0, 1, 0, 1.0},   {true, 8, 0, 0.5, 1, 0, 0.5}, // 0.5 rounds to 0
        {true, 8, 0, 0.5, 3, 2, 0.5},                                 // 1.5 rounds to 2
        {true, 8, 0, 0.5, 5, 2, 0.5},                                 // 2.5 rounds to 2
        {true, 8, 0, -0.5, 3, 6, -0.5},                               // -1.5 rounds to -2
        {false, 4, 0, 0.0, 7, 0, 0.0},
    };
    TSpriteEngine engine;
    for (const Case& c : cases) {
        auto* s = new TImageSprite(&engine);
        s->FrameLooped = c.looped;
        s->FrameCount = c.count;
        s->FramePos = c.pos;
        s->FrameSpeed = c.speed;
        s->MoveTree(c.moveCount);
        EXPECT_EQ(s->FramePos, c.expectPos) << "pos " << c.pos << " speed " << c.speed << " x" << c.moveCount;
        EXPECT_EQ(s->FrameSpeed, c.expectSpeed) << "pos " << c.pos << " speed " << c.speed;
    }
}

TEST(FrameStep, NotLoopedStopsAtTheLastFrameAfterEnoughSteps) {
    TSpriteEngine engine;
    auto* s = new TImageSprite(&engine);
    s->FrameCount = 4;
    s->FrameSpeed = 1.0;
    s->FrameStart = 10;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        engine.MoveTree(1);
        seen.push_back(s->PatternIndex());
    }
    EXPECT_EQ(seen, (std::vector<int>{11, 12, 13, 13, 13}));
    EXPECT_EQ(s->FrameSpeed, 0.0);
}

TEST(ImageBounds, WrapAroundTheSurface) {
    TDirectDrawSurface surface;
    surface.SetSize(800, 600);
    TSpriteEngine engine;
    engine.SetSurface(&surface);
    EXPECT_EQ(engine.SurfaceRect(), Bounds(0, 0, 800, 600));
    EXPECT_EQ(engine.Width, 800);

    auto* s = new TImageSprite(&engine);
    s->Width = 20;
    s->Height = 10;
    struct Case {
        std::int32_t x, y;
        TRect expected;
    };
    const Case cases[] = {
        {100, 50, Bounds(100, 50, 20, 10)}, {800, 600, Bounds(800, 600, 20, 10)}, // x = R is kept
        {801, 50, Bounds(-19, 50, 20, 10)},                                       // beyond R: comes in from the left
        {820, 50, Bounds(0, 50, 20, 10)},                                         // a whole turn
        {-5, -3, Bounds(-5, -3, 20, 10)},                                         // partly off the top-left: stays
        {-20, 50, Bounds(800, 50, 20, 10)}, // wholly off the left: -20 mod 820 = 800
        {-821, 0, Bounds(-1, 0, 20, 10)},
    };
    s->Wrap = true;
    for (const Case& c : cases) {
        s->X = c.x;
        s->Y = c.y;
        EXPECT_EQ(s->CalcBounds(), c.expected) << c.x << "," << c.y;
    }
    s->Wrap = false;
    s->X = 801;
    EXPECT_EQ(s->CalcBounds().Left, 801);
}

TEST(Background, MapSizeAndCells) {
    TSpriteEngine engine;
    auto* bg = new TBackgroundSprite(&engine);
    EXPECT_FALSE(bg->Collidable);
    bg->SetMapSize(3, 2);
    EXPECT_EQ(bg->ChipAt(2, 1), 0);
    EXPECT_TRUE(bg->CollisionCellAt(2, 1));
    EXPECT_EQ(bg->ChipAt(3, 0), -1);
    EXPECT_EQ(bg->ChipAt(-1, 0), -1);
    EXPECT_FALSE(bg->CollisionCellAt(0, 2));
    bg->SetChip(1, 1, 7);
    EXPECT_EQ(bg->ChipAt(1, 1), 7);
    bg->SetMapSize(3, 2); // unchanged size keeps the contents
    EXPECT_EQ(bg->ChipAt(1, 1), 7);
    bg->SetMapSize(4, 0);
    EXPECT_EQ(bg->MapWidth(), 0);
    EXPECT_EQ(bg->MapHeight(), 0);
    EXPECT_EQ(bg->ChipAt(0, 0), -1);
}

// ---- with a display and pictures -----------------------------------------------------------------

TDIB MakeDib(int w, int h, const std::function<std::uint32_t(int, int)>& pixel) {
    TDIB dib;
    dib.SetSize(w, h, 32);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = dib.ScanLineForWrite(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = pixel(x, y);
            std::memcpy(row + x * 4, &v, 4);
        }
    }
    return dib;
}

class DisplayTest : public ::testing::Test {
protected:
    DisplayTest() {
        draw.SetBounds(0, 0, 800, 600);
        draw.Initialize();
        sprites.SetDXDraw(&draw);
    }
    ~DisplayTest() override { sprites.SetDXDraw(nullptr); }

    TPictureCollectionItem* AddPicture(const TDIB& dib, int patternWidth = 0, int patternHeight = 0) {
        TPictureCollectionItem* item = pictures.Add();
        item->SetPicture(dib);
        item->PatternWidth = patternWidth;
        item->PatternHeight = patternHeight;
        pictures.Initialize(&draw);
        pictures.Restore();
        return item;
    }
    TDirectDrawSurface& Back() { return *draw.Surface(); }

    TDXDraw draw{nullptr};
    TDXSpriteEngine sprites;
    TPictureCollection pictures;
};

TEST_F(DisplayTest, ComponentFollowsTheDisplay) {
    TSpriteEngine& engine = sprites.Engine();
    EXPECT_EQ(engine.Surface(), draw.Surface());
    EXPECT_EQ(engine.SurfaceRect(), Bounds(0, 0, 800, 600));

    std::vector<std::string> log;
    new LogSprite(&engine, "s", log);
    sprites.Draw();
    EXPECT_EQ(log.size(), 1u);

    draw.Finalize();
    EXPECT_EQ(engine.Surface(), nullptr);
    EXPECT_EQ(engine.SurfaceRect(), Bounds(0, 0, 800, 600)); // kept
    sprites.Draw();                                          // the display cannot draw: nothing happens
    EXPECT_EQ(log.size(), 1u);

    draw.Initialize();
    EXPECT_EQ(engine.Surface(), draw.Surface());
    sprites.Move(1);
    sprites.Draw();
    EXPECT_EQ(log, (std::vector<std::string>{"draw s", "move s", "draw s"}));

    sprites.SetDXDraw(nullptr);
    EXPECT_EQ(engine.Surface(), nullptr); // unregistering finalises the binding
    sprites.Draw();
    EXPECT_EQ(log.size(), 3u);
}

TEST(DXSpriteEngineComponent, ForgetsADisplayThatIsDestroyed) {
    TDXSpriteEngine sprites;
    {
        TDXDraw draw{nullptr};
        draw.SetBounds(0, 0, 800, 600);
        sprites.SetDXDraw(&draw);
        draw.Initialize();
        EXPECT_NE(sprites.Engine().Surface(), nullptr);
    }
    EXPECT_EQ(sprites.DXDraw(), nullptr);
    sprites.Draw(); // must not reach the display that is gone
}

TEST_F(DisplayTest, ImageSpriteDrawsItsPatternCentredInItsBox) {
    // Two 4 x 4 patterns: red, then green.
    TPictureCollectionItem* item =
        AddPicture(MakeDib(8, 4, [](int x, int) { return x < 4 ? 0xFF0000u : 0x00FF00u; }), 4, 4);
    auto* s = new TImageSprite(&sprites.Engine());
    s->Image = item;
    s->X = 10, s->Y = 20;
    s->Width = 8, s->Height = 6; // the image is centred: moved by (2, 1)
    s->FrameStart = 1;
    Back().Fill(0);
    sprites.Draw();
    EXPECT_EQ(Back().Pixel(11, 21), 0u);
    EXPECT_EQ(Back().Pixel(12, 21), 0x00FF00u);
    EXPECT_EQ(Back().Pixel(15, 24), 0x00FF00u);
    EXPECT_EQ(Back().Pixel(16, 25), 0u);
}

TEST_F(DisplayTest, TiledBackgroundAtANegativePositionCoversTheWholeSurface) {
    // 32 x 24 cells, two patterns; the map alternates them, so a gap or a misplaced cell shows.
    TPictureCollectionItem* item =
        AddPicture(MakeDib(64, 24, [](int x, int) { return x < 32 ? 0x102030u : 0x405060u; }), 32, 24);
    auto* bg = new TBackgroundSprite(&sprites.Engine());
    bg->Image = item;
    bg->Tiled = true;
    bg->SetMapSize(2, 1);
    bg->SetChip(1, 0, 1);
    const std::pair<int, int> positions[] = {{-45, -70}, {-32, -24}, {-1, -1}, {13, 7}, {-1000, 333}};
    for (auto [px, py] : positions) {
        bg->X = px;
        bg->Y = py;
        Back().Fill(0);
        sprites.Draw();
        int gaps = 0, wrong = 0;
        for (int y = 0; y < 600; ++y) {
            for (int x = 0; x < 800; ++x) {
                const std::uint32_t p = Back().Pixel(x, y);
                const int col = Mod2(x - px, 64) < 32 ? 0 : 1; // the map column under x
                if (p == 0)
                    ++gaps;
                else if (p != (col == 0 ? 0x102030u : 0x405060u))
                    ++wrong;
            }
        }
        EXPECT_EQ(gaps, 0) << px << "," << py;
        EXPECT_EQ(wrong, 0) << px << "," << py;
    }
}

TEST_F(DisplayTest, UntiledBackgroundDrawsItsMapOnceWithEmptyCells) {
    TPictureCollectionItem* item = AddPicture(MakeDib(10, 10, [](int, int) { return 0xABCDEFu; }), 10, 10);
    auto* bg = new TBackgroundSprite(&sprites.Engine());
    bg->Image = item;
    bg->SetMapSize(3, 2);
    bg->SetChip(1, 0, -1); // empty
    bg->X = -15;
    bg->Y = 5;
    EXPECT_EQ(bg->CalcBounds(), Bounds(-15, 5, 30, 20));
    Back().Fill(0);
    sprites.Draw();
    EXPECT_EQ(Back().Pixel(0, 5), 0u); // column 1 (x -5 .. 4) is empty
    EXPECT_EQ(Back().Pixel(4, 5), 0u);
    EXPECT_EQ(Back().Pixel(5, 5), 0xABCDEFu); // column 2
    EXPECT_EQ(Back().Pixel(14, 24), 0xABCDEFu);
    EXPECT_EQ(Back().Pixel(15, 5), 0u);        // past the map
    EXPECT_EQ(Back().Pixel(0, 15), 0xABCDEFu); // row 1, column 1
    EXPECT_EQ(Back().Pixel(5, 25), 0u);        // below the map
}

TEST_F(DisplayTest, CollidableBackgroundUsesItsSolidCells) {
    TPictureCollectionItem* item = AddPicture(MakeDib(10, 10, [](int, int) { return 0x808080u; }), 10, 10);
    TSpriteEngine& engine = sprites.Engine();
    auto* bg = new TBackgroundSprite(&engine);
    bg->Image = item;
    bg->SetMapSize(4, 4);
    bg->X = 100, bg->Y = 100;
    bg->Collidable = true;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) bg->SetCollisionCell(c, r, false);
    bg->SetCollisionCell(2, 1, true); // (120, 110) .. (130, 120)

    auto* probe = new TSprite(&engine);
    probe->Width = probe->Height = 5;
    struct Case {
        std::int32_t x, y;
        int hits;
    };
    const Case cases[] = {{121, 111, 1}, {100, 100, 0}, {116, 106, 1}, {115, 111, 0}, {130, 111, 0}, {125, 119, 1}};
    for (const Case& c : cases) {
        probe->X = c.x;
        probe->Y = c.y;
        EXPECT_EQ(probe->CheckCollisions(), c.hits) << c.x << "," << c.y;
    }
}

TEST_F(DisplayTest, PixelPreciseCollisionLooksAtTheDrawnPixels) {
    // Two patterns side by side on one surface: 8 x 8, solid only in the top-left 2 x 2 corner on
    // a black (transparent) ground. The second pattern is used, so its surface offset matters.
    TPictureCollectionItem* item =
        AddPicture(MakeDib(16, 8, [](int x, int y) { return (x % 8) < 2 && y < 2 ? 0xFFFFFFu : 0u; }), 8, 8);
    TSpriteEngine& engine = sprites.Engine();
    auto make = [&](std::int32_t x, std::int32_t y) {
        auto* s = new TImageSprite(&engine);
        s->Image = item;
        s->FrameStart = 1;
        s->Width = s->Height = 8;
        s->X = x, s->Y = y;
        s->PixelPrecise = true;
        return s;
    };
    TImageSprite* a = make(0, 0);
    TImageSprite* b = make(4, 4); // boxes overlap, corners do not
    EXPECT_EQ(a->CheckCollisions(), 0);
    b->X = 1, b->Y = 1; // b's corner covers (1..2, 1..2), a's (0..1, 0..1): one pixel in common
    EXPECT_EQ(a->CheckCollisions(), 1);
    EXPECT_EQ(b->CheckCollisions(), 1);
    b->X = 2, b->Y = 0; // touching corners
    EXPECT_EQ(a->CheckCollisions(), 0);
    a->PixelPrecise = b->PixelPrecise = false;
    EXPECT_EQ(a->CheckCollisions(), 1);
    a->PixelPrecise = b->PixelPrecise = true;

    // A surface that cannot be locked gives no hit.
    b->X = 1, b->Y = 1;
    TDDSurfaceDesc held;
    ASSERT_TRUE(item->PatternSurface(1)->Lock(held));
    EXPECT_EQ(a->CheckCollisions(), 0);
    item->PatternSurface(1)->Unlock();

    // The same shapes on two surfaces.
    TPictureCollectionItem* copy =
        AddPicture(MakeDib(16, 8, [](int x, int y) { return (x % 8) < 2 && y < 2 ? 0xFFFFFFu : 0u; }), 8, 8);
    b->Image = copy;
    ASSERT_NE(copy->PatternSurface(1), item->PatternSurface(1));
    EXPECT_EQ(a->CheckCollisions(), 1);
    b->X = 4, b->Y = 4;
    EXPECT_EQ(a->CheckCollisions(), 0);
    EXPECT_FALSE(item->PatternSurface(1)->Locked());
    EXPECT_FALSE(copy->PatternSurface(1)->Locked());
}

} // namespace
