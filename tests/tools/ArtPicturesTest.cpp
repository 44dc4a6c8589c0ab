// SPDX-License-Identifier: MIT
// The game's pictures as built from assets/pictures: drawn the same way every time, and the built
// collections read back with the game's reader with every name, position, size and pattern count the
// game relies on.
#include "Collection.h"
#include "graphics/PictureCollection.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

namespace fs = std::filesystem;

const std::string kPictures = std::string(TW_ASSETS_DIR) + "/pictures";

// Each collection is read on first use, once per test process, from the game data the build made
// (drawn by the picture generator and packed by the collection tool, as the game gets them).
class BuiltPictures : public ::testing::Test {
protected:
    static void TearDownTestSuite() { collections_.clear(); }

    static TPictureCollection& load(const std::string& name) {
        if (auto it = collections_.find(name); it != collections_.end()) return *it->second;
        auto c = std::make_unique<TPictureCollection>();
        c->LoadFromFile(std::string(TW_RUN_DIR) + "/data/" + name + ".dxg");
        return *(collections_[name] = std::move(c));
    }
    static TPictureCollection& menu() { return load("menu"); }
    static TPictureCollection& game() { return load("gamegraphic"); }

    // The patterns the game's cutting rules make of an item.
    static int patterns(const TPictureCollectionItem& item) {
        const TDIB& p = *item.Picture();
        return static_cast<int>(ComputePatternLayout(p.Width(), p.Height(), item.PatternWidth, item.PatternHeight,
                                                     item.SkipWidth, item.SkipHeight, item.SystemMemory)
                                    .patterns.size());
    }

    // Pixels of pattern i (patterns in one row, left to right).
    static std::vector<std::uint32_t> patternPixels(const TPictureCollectionItem& item, int i) {
        const TDIB& p = *item.Picture();
        std::vector<std::uint32_t> px(static_cast<std::size_t>(item.Width() * item.Height()));
        p.CopyRectRGB(i * item.Width(), 0, item.Width(), item.Height(), px.data(), item.Width());
        return px;
    }

    static fs::path dir_;
    static std::map<std::string, std::unique_ptr<TPictureCollection>> collections_;
};

std::map<std::string, std::unique_ptr<TPictureCollection>> BuiltPictures::collections_;

TEST_F(BuiltPictures, MenuItemsByPositionFitTheMenuGeometry) {
    ASSERT_GE(menu().Count(), 31);
    const TPictureCollectionItem& background = *menu().ItemAt(0);
    EXPECT_EQ(background.Width(), 800);
    EXPECT_EQ(background.Height(), 600);
    // Main highlights at x 489, tops 44 apart: each fits the screen and stays clear of the next.
    for (int i = 1; i <= 6; ++i) {
        const TPictureCollectionItem& h = *menu().ItemAt(i);
        EXPECT_GT(h.Width(), 40) << "item " << i;
        EXPECT_LE(489 + h.Width(), 800) << "item " << i;
        EXPECT_GE(h.Height(), 20) << "item " << i;
        EXPECT_LT(h.Height(), 44) << "item " << i;
    }
    // Help pages at (45, 187) stay inside the help panel and above its buttons at y 486.
    for (int i = 24; i <= 30; ++i) {
        const TPictureCollectionItem& page = *menu().ItemAt(i);
        EXPECT_LE(45 + page.Width(), 481) << "page " << i;
        EXPECT_LE(187 + page.Height(), 486) << "page " << i;
    }
}

TEST_F(BuiltPictures, MenuNamedItemsSitWhereTheMenusPutThem) {
    struct Place {
        const char* name;
        int x, y;
        int maxRight, maxBottom; // what the item must stay within
    };
    const Place places[] = {
        {"optionsback", 31, 175, 488, 600}, {"scoreback", 31, 175, 488, 600},  {"helpback", 31, 175, 488, 600},
        {"window", 178, 215, 305, 250},     {"full", 305, 215, 476, 250},      {"muson", 155, 264, 213, 298},
        {"musoff", 213, 264, 278, 298},     {"soundon", 164, 311, 221, 346},   {"soundoff", 221, 311, 286, 346},
        {"backactive", 318, 504, 481, 600}, {"clearscore", 31, 487, 270, 600}, {"viewscore", 270, 486, 481, 600},
        {"prev", 31, 486, 318, 600},        {"next", 416, 488, 481, 600},
    };
    for (const Place& p : places) {
        const TPictureCollectionItem* item = menu().Find(p.name);
        EXPECT_LE(p.x + item->Width(), p.maxRight) << p.name;
        EXPECT_LE(p.y + item->Height(), p.maxBottom) << p.name;
        EXPECT_EQ(patterns(*item), 1) << p.name;
    }
    // The panels carry the texts that reach down to the back item at y 504.
    EXPECT_GE(175 + menu().Find("optionsback")->Height(), 522);
    // Every dialog text (x 200 to about 600, y 165 to about 375) lies on the frame at (188, 160).
    const TPictureCollectionItem& console = *menu().Find("console");
    EXPECT_GE(188 + console.Width(), 610);
    EXPECT_GE(160 + console.Height(), 380);
}

TEST_F(BuiltPictures, GameItemsTheFieldAndStatusBarNeed) {
    // Item 1 is the dialog frame, the same picture as the menu's console.
    const art::Picture console = art::runProgram("console", {});
    EXPECT_EQ(game().ItemAt(1)->Width(), console.image.width());
    EXPECT_EQ(game().ItemAt(1)->Height(), console.image.height());
    const TPictureCollectionItem& bar = *game().Find("statusbar");
    EXPECT_EQ(bar.Width(), 800);
    EXPECT_GE(bar.Height(), 40 + game().Find("supergun")->Height()); // indicators at y 40 sit on it
    EXPECT_LE(bar.Height(), 88);                                     // floats ride at y 88
    // The air gauge asks for up to 201 one-pixel columns.
    const TPictureCollectionItem& scale = *game().Find("scale");
    EXPECT_EQ(scale.PatternWidth, 1);
    EXPECT_GE(patterns(scale), 201);
    // The rope is stacked row by row from y 124; the float sits above that.
    EXPECT_EQ(game().Find("line")->Height(), 1);
    EXPECT_LE(88 + game().Find("float")->Height(), 124);
    // The rope hangs at x + 25 of the bonus: its middle. The icons are drawn on it at the same corner.
    const TPictureCollectionItem& bonus = *game().Find("bonus");
    EXPECT_NEAR(bonus.Width() / 2.0, 25.0, 1.0);
    for (const char* icon : {"10", "20", "50", "oxy", "bonuslife", "supergun", "net", "engine"}) {
        EXPECT_EQ(game().Find(icon)->Width(), bonus.Width()) << icon;
        EXPECT_EQ(game().Find(icon)->Height(), bonus.Height()) << icon;
    }
    EXPECT_LE(game().Find("life")->Width(), 24); // lives are 24 pixels apart
    // Treasure lies on the floor and stays on the screen: y up to 557 (chest 550).
    for (int k = 1; k <= 7; ++k) EXPECT_LE(557 + game().Find("treasure" + std::to_string(k))->Height(), 600) << k;
    EXPECT_LE(550 + game().Find("treasure8")->Height(), 600);
    // The crab walks at y 570.
    EXPECT_LE(570 + game().Find("enemy7")->Height(), 600);
}

TEST_F(BuiltPictures, PatternCountsAndAnimationsThatDiffer) {
    const std::map<std::string, int> counts = {
        {"hero", 4}, {"netweapon", 4}, {"tail", 2}, {"bonus", 4}, {"algae1", 3}, {"algae2", 1}, {"algae3", 4},
    };
    std::map<std::string, int> all = counts;
    for (int k = 1; k <= 13; ++k) all["enemy" + std::to_string(k)] = 3;
    for (const auto& [name, n] : all) {
        const TPictureCollectionItem& item = *game().Find(name);
        ASSERT_EQ(patterns(item), n) << name;
        for (int i = 1; i < n; ++i)
            EXPECT_NE(patternPixels(item, i), patternPixels(item, i - 1))
                << name << " patterns " << i - 1 << " and " << i;
    }
    EXPECT_EQ(game().Find("tail")->Width(), 72);
    // The diver: bubbles from x + 80, hand engine at x + 113, harpoon from the right edge at y + 15.
    const TPictureCollectionItem& hero = *game().Find("hero");
    EXPECT_GE(hero.Width(), 113);
    EXPECT_LE(hero.Width(), 125);
    EXPECT_GT(hero.Height(), 15 + game().Find("heroweapon1")->Height() / 2);
    // The four big ones are bigger than every small one.
    int largestSmall = 0;
    for (int k = 1; k <= 9; ++k) {
        const auto& f = *game().Find("enemy" + std::to_string(k));
        largestSmall = std::max(largestSmall, f.Width() * f.Height());
    }
    for (int k = 10; k <= 13; ++k) {
        const auto& f = *game().Find("enemy" + std::to_string(k));
        EXPECT_GT(f.Width() * f.Height(), largestSmall) << "enemy" << k;
    }
}

// Collisions are whole boxes, so a fish or the diver must fill its box: when two boxes touch, the
// pictures touch. Every pattern counts, because a fin beat or a kick can empty a corner.
TEST_F(BuiltPictures, FishAndDiverFillHalfTheirBoxInEveryPattern) {
    std::vector<std::string> names;
    for (int k = 1; k <= 13; ++k) names.push_back("enemy" + std::to_string(k));
    names.push_back("hero");
    std::printf("%-8s %-8s fill per pattern\n", "picture", "pattern");
    for (const std::string& name : names) {
        const TPictureCollectionItem& item = *game().Find(name);
        ASSERT_TRUE(item.Transparent) << name; // an opaque picture would fill its box by definition
        const int n = patterns(item);
        ASSERT_GE(n, 3) << name;
        const double area = static_cast<double>(item.Width()) * item.Height();
        const auto isKey = [](std::uint32_t v) { return v == art::kColorKeyRGB; };
        std::vector<double> fills;
        for (int i = 0; i < n; ++i) {
            const std::vector<std::uint32_t> px = patternPixels(item, i);
            const auto drawn =
                static_cast<double>(px.size()) - static_cast<double>(std::count_if(px.begin(), px.end(), isKey));
            fills.push_back(drawn / area);
        }
        // The whole row first, so the table stays readable when a check below fails.
        std::printf("%-8s %3dx%-4d", name.c_str(), item.Width(), item.Height());
        for (double f : fills) std::printf(" %.3f", f);
        std::printf("\n");
        std::fflush(stdout);
        for (int i = 0; i < n; ++i)
            EXPECT_GE(fills[static_cast<std::size_t>(i)], 0.5)
                << name << " pattern " << i << " (" << item.Width() << "x" << item.Height() << ")";
    }
}

TEST_F(BuiltPictures, CeilingPiecesAreSolidAndLeaveThePassageOpen) {
    const std::vector<std::string> names = {"uprelief1",   "uprelief2",   "uprelief3",   "uprelief4-1", "uprelief4-2",
                                            "uprelief4-3", "uprelief4-4", "uprelief4-5", "uprelief4-6", "uprelief5-1",
                                            "uprelief5-2", "uprelief5-3", "uprelief5-4"};
    const int heroHeight = game().Find("hero")->Height();
    int deepest = 0;
    for (const std::string& name : names) {
        const TPictureCollectionItem& piece = *game().Find(name);
        // The diver collides with the whole rectangle: no pixel of it may be see-through.
        const TDIB& p = *piece.Picture();
        int holes = 0;
        for (int y = 0; y < p.Height(); ++y)
            for (int x = 0; x < p.Width(); ++x) holes += p.PixelRGB(x, y) == art::kColorKeyRGB;
        EXPECT_EQ(holes, 0) << name;
        EXPECT_FALSE(piece.Transparent) << name;
        // Hanging from y 114, it must leave room for the diver (and a margin) above y 590.
        EXPECT_LE(114 + piece.Height() + heroHeight + 40, 590) << name;
        deepest = std::max(deepest, 114 + piece.Height());
    }
    // Some reach below a diver swimming at its start height, so it has to dive.
    EXPECT_GT(deepest, 300 + heroHeight);
    for (int k = 1; k <= 4; ++k) EXPECT_LE(473 + game().Find("downrelief" + std::to_string(k))->Height(), 600);
}

TEST_F(BuiltPictures, KeyedPicturesUseTheOneColourKey) {
    for (TPictureCollection* c : {&menu(), &game()}) {
        for (int i = 0; i < c->Count(); ++i) {
            const TPictureCollectionItem& item = *c->ItemAt(i);
            if (item.Transparent) {
                EXPECT_EQ(item.TransparentColor(), clFuchsia) << item.Name();
            }
        }
    }
    // A sprite has see-through corners; a background has none.
    const TDIB& fish = *game().Find("enemy1")->Picture();
    EXPECT_EQ(fish.PixelRGB(0, 0), art::kColorKeyRGB);
    EXPECT_FALSE(game().Find("back")->Transparent);
}

// Drawing is deterministic: the same sources give the same pixels, however often they are drawn.
TEST(ArtGenerator, SamePicturesEveryTime) {
    art::setSourceDirectory(kPictures);
    const std::vector<std::vector<std::string>> programs = {
        {"sea", "200", "150", "20"},
        {"ceiling", "2", "10x56,12x120,10x64"},
        {"sea-floor", "200", "127", "61"},
        {"enemy", "12"},
        {"hero"},
        {"treasure", "8"},
        {"help-page", "3-fish.txt", "3"},
    };
    for (const auto& p : programs) {
        const std::vector<std::string> args(p.begin() + 1, p.end());
        EXPECT_EQ(art::flatten(art::runProgram(p[0], args)), art::flatten(art::runProgram(p[0], args))) << p[0];
    }
}

TEST(ArtGenerator, ItemListErrorsNameTheLine) {
    const tw::test::TempDir tmp("artgen-bad");
    const fs::path list = tmp.path() / "bad.items";
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"# fine\nfish enemy 1\nnothing\n", ":3: an item needs a name and a program"},
        {"fish nosuchprogram\n", ":1: no drawing program called 'nosuchprogram'"},
        {"a hero\na hero\n", ":2: item 'a' listed twice"},
        {"t toggle \"OPEN\n", ":1: unclosed quote"},
    };
    for (const Case& c : cases) {
        { std::ofstream(list) << c.text; }
        EXPECT_THAT([&] { art::readItemList(list.string()); }, ThrowsMessage<std::runtime_error>(HasSubstr(c.expected)))
            << "no error for: " << c.text;
    }
    // A bad argument is reported with the item.
    EXPECT_THROW(art::buildCollection({{"x", "enemy", {"many"}, 1}}), std::runtime_error);
}

} // namespace
