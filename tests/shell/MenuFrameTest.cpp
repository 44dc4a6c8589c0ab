// SPDX-License-Identifier: MIT
// The menu frame loop on the built menu pictures: where each dialog's texts land and in which colour,
// the options frame and country field with its blinking cursor, the high-score table, a frame
// without a display, and every screen drawn whole, shown as drawn and, while still, drawn once.
#include "graphics/Surface.h"
#include "host/GameHost.h"
#include "shell/MenuField.h"
#include "shell/MenuFrame.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using tw::test::GameHost;

constexpr std::uint32_t LightBluePixel = 0x0099CCFFu;
constexpr std::uint32_t RedPixel = 0x00FF0000u;

GameHost::Options withGameData() {
    GameHost::Options options;
    options.gameData = true;
    return options;
}

struct Box {
    int left, top, right, bottom; // right and bottom exclusive
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Where a text of the menu style drawn at (x, y) may put pixels.
Box textBox(GameHost& host, int x, int y, const std::string& text) {
    TDirectDrawSurfaceCanvas& canvas = host.form().DXDraw->Surface()->Canvas();
    SetMenuTextStyle(canvas);
    const Box box{x, y, x + canvas.TextWidth(text), y + canvas.TextHeight(text)};
    canvas.Release();
    return box;
}

// The pixels that the texts of `screen` change: one frame with them, one with the same sprites and
// no texts (the main menu writes none).
struct TextDiff {
    std::vector<std::uint32_t> withTexts;
    std::vector<bool> changed;
    std::uint32_t at(int x, int y) const { return withTexts[static_cast<std::size_t>(y * 800 + x)]; }
    bool changedAt(int x, int y) const { return changed[static_cast<std::size_t>(y * 800 + x)]; }
    int changedIn(const Box& b) const {
        int n = 0;
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left; x < b.right; ++x) n += changedAt(x, y) ? 1 : 0;
        return n;
    }
    int colourIn(const Box& b, std::uint32_t pixel) const {
        int n = 0;
        for (int y = b.top; y < b.bottom; ++y)
            for (int x = b.left; x < b.right; ++x) n += (changedAt(x, y) && at(x, y) == pixel) ? 1 : 0;
        return n;
    }
};

TextDiff diffTexts(GameHost& host) {
    TextDiff d;
    host.runTicks(1);
    d.withTexts = host.backBuffer();
    const TMenuScreen screen = Shell.MenuScreen;
    Shell.MenuScreen = msMain;
    host.runTicks(1);
    const auto plain = host.backBuffer();
    Shell.MenuScreen = screen;
    d.changed.resize(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) d.changed[i] = plain[i] != d.withTexts[i];
    return d;
}

struct Text {
    int x, y;
    std::string text;
    std::uint32_t colour;
};

// Every text shows in its own box, in its colour, and nothing changes outside the boxes.
void expectTextsExactly(GameHost& host, const TextDiff& d, const std::vector<Text>& texts) {
    std::vector<Box> boxes;
    for (const Text& t : texts) {
        SCOPED_TRACE(t.text);
        const Box b = textBox(host, t.x, t.y, t.text);
        boxes.push_back(b);
        EXPECT_GT(d.changedIn(b), 0);
        EXPECT_GT(d.colourIn(b, t.colour), 0) << "drawn in its colour";
        const std::uint32_t other = t.colour == RedPixel ? LightBluePixel : RedPixel;
        EXPECT_EQ(d.colourIn(b, other), 0) << "and not in the other one";
    }
    int stray = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            if (d.changedAt(x, y) &&
                std::none_of(boxes.begin(), boxes.end(), [&](const Box& b) { return b.contains(x, y); }))
                ++stray;
    EXPECT_EQ(stray, 0) << "pixels changed outside every text";
}

TEST(MenuFrame, ExitQueryTextsAndTheChosenAnswerInRed) {
    GameHost host(withGameData());
    host.closeRequest();
    ASSERT_EQ(Shell.MenuScreen, msExitQuery);
    for (const std::uint8_t selection : {std::uint8_t{1}, std::uint8_t{2}}) {
        SCOPED_TRACE(selection);
        Shell.MenuSelection = selection;
        const TextDiff d = diffTexts(host);
        expectTextsExactly(host, d,
                           {{200, 165, "EXIT", LightBluePixel},
                            {320, 270, "EXIT THE GAME?", LightBluePixel},
                            {360, 320, "YES", selection == 1 ? RedPixel : LightBluePixel},
                            {405, 320, "/", LightBluePixel},
                            {415, 320, "NO", selection == 1 ? LightBluePixel : RedPixel}});
    }
}

TEST(MenuFrame, ClearScoresAndBossKeyDialogTexts) {
    GameHost host(withGameData());
    Shell.MenuSelection = msScores;
    host.form().CreateScores();
    Shell.MenuScreen = msClearScores;
    Shell.MenuSelection = 1;
    host.form().SetClosingWindowVisible(true);
    expectTextsExactly(host, diffTexts(host),
                       {{200, 165, "CLEAR SCORES", LightBluePixel},
                        {270, 250, "DO YOU WANT TO CLEAR", LightBluePixel},
                        {270, 290, "THE HIGH SCORE TABLE?", LightBluePixel},
                        {360, 340, "YES", RedPixel},
                        {405, 340, "/", LightBluePixel},
                        {415, 340, "NO", LightBluePixel}});

    Shell.MenuScreen = msBossKey;
    expectTextsExactly(
        host, diffTexts(host),
        {{275, 250, "PRESS ANY KEY TO SET", LightBluePixel}, {310, 280, "NEW BOSS KEY", LightBluePixel}});
}

TEST(MenuFrame, HighScoreTableOfANewConfiguration) {
    GameHost host(withGameData());
    Shell.MenuSelection = msScores;
    host.form().CreateScores();
    std::vector<Text> texts;
    for (int n = 1; n <= 10; ++n) {
        const int y = 190 + 25 * n;
        texts.push_back({60, y, std::to_string(n), LightBluePixel});
        texts.push_back({130, y, "Anonymous", LightBluePixel});
        texts.push_back({340, y, std::to_string((11 - n) * 100), LightBluePixel});
    }
    EXPECT_EQ(texts.front().y, 215);
    EXPECT_EQ(texts.back().y, 440);
    expectTextsExactly(host, diffTexts(host), texts);
}

TEST(MenuFrame, OptionsFrameTheSelectedOptionOnly) {
    GameHost host(withGameData());
    Shell.MenuSelection = msOptions;
    host.form().CreateOptions();
    const Box expected[] = {
        {176, 210, 476, 250}, {148, 258, 278, 298}, {156, 306, 286, 346}, {258, 360, 473, 390}, {195, 406, 325, 436}};
    Shell.MenuSelection = 6;
    host.runTicks(1);
    const auto unframed = host.backBuffer();
    for (std::uint8_t k = 1; k <= 5; ++k) {
        SCOPED_TRACE(k);
        Shell.MenuSelection = k;
        host.runTicks(1);
        const auto framed = host.backBuffer();
        const Box& r = expected[k - 1];
        int left = 800, top = 600, right = -1, bottom = -1;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (framed[static_cast<std::size_t>(y * 800 + x)] != unframed[static_cast<std::size_t>(y * 800 + x)]) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                    right = std::max(right, x);
                    bottom = std::max(bottom, y);
                }
        // A two-pixel pen centred on the border pixels of (X, Y) - (X + W, Y + H), right and bottom
        // exclusive: one pixel grows outwards at the top left, the other inwards at the bottom right.
        EXPECT_EQ(left, r.left - 1);
        EXPECT_EQ(top, r.top - 1);
        EXPECT_EQ(right, r.right - 1);
        EXPECT_EQ(bottom, r.bottom - 1);
        EXPECT_EQ(host.pixel(r.left, (r.top + r.bottom) / 2), LightBluePixel);
        EXPECT_EQ(host.pixel(r.right - 1, (r.top + r.bottom) / 2), LightBluePixel);
    }
}

TEST(MenuFrame, CountryInCapitalsAfterABlankAndTheBossKeyName) {
    GameHost host(withGameData());
    Shell.MenuSelection = msOptions;
    host.form().CreateOptions();
    Shell.MenuSelection = 6; // no frame
    Settings.Country.SetText("de");
    Shell.BossKeyName = "F12";
    const TextDiff d = diffTexts(host);
    expectTextsExactly(host, d, {{258, 360, " DE", LightBluePixel}, {195, 406, "F12", LightBluePixel}});
    // The blank comes first: nothing is drawn where the text starts.
    EXPECT_EQ(d.changedIn(textBox(host, 258, 360, " ")), 0);
}

TEST(MenuFrame, CursorBlinksOnBitFourOfTheFrameCounterWhileEditing) {
    GameHost host(withGameData());
    Shell.MenuSelection = msOptions;
    host.form().CreateOptions();
    Settings.Country.SetText("de");
    Shell.MenuSelection = 4;
    Shell.TextEditing = 0;
    host.runTicks(1);
    const auto noCursor = host.backBuffer();
    EXPECT_EQ(Shell.BlinkCounter, 0) << "only an edited field counts frames";

    const Box text = textBox(host, 258, 360, " DE");
    const Box cursor = textBox(host, text.right, 360, "|");
    struct Case {
        std::uint8_t counterBefore;
        bool shown;
    };
    // The counter is advanced before it is read: 15 -> 16 shows, 31 -> 32 hides, 255 wraps to 0.
    for (const Case c : {Case{0, false}, Case{14, false}, Case{15, true}, Case{30, true}, Case{31, false},
                         Case{47, true}, Case{255, false}}) {
        SCOPED_TRACE(static_cast<int>(c.counterBefore));
        Shell.TextEditing = 1;
        Shell.BlinkCounter = c.counterBefore;
        host.runTicks(1);
        EXPECT_EQ(Shell.BlinkCounter, static_cast<std::uint8_t>(c.counterBefore + 1));
        const auto frame = host.backBuffer();
        int inCursor = 0, elsewhere = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                if (frame[static_cast<std::size_t>(y * 800 + x)] != noCursor[static_cast<std::size_t>(y * 800 + x)])
                    (cursor.contains(x, y) ? inCursor : elsewhere)++;
        EXPECT_EQ(inCursor > 0, c.shown);
        EXPECT_EQ(elsewhere, 0);
    }

    // Sixteen frames on and sixteen off, frame by frame.
    Shell.BlinkCounter = 0;
    std::string pattern;
    for (int i = 0; i < 64; ++i) {
        host.runTicks(1);
        bool shown = false;
        for (int y = cursor.top; y < cursor.bottom; ++y)
            for (int x = cursor.left; x < cursor.right; ++x)
                shown = shown || host.pixel(x, y) != noCursor[static_cast<std::size_t>(y * 800 + x)];
        pattern += shown ? '|' : '.';
    }
    const std::string half = std::string(15, '.') + std::string(16, '|') + ".";
    EXPECT_EQ(pattern, half + half);
}

// Counts the moves of the sprite tree.
class CountingSprite : public TSprite {
public:
    using TSprite::TSprite;
    int moves = 0;
    void MoveSelf(std::int32_t) override { ++moves; }
};

TEST(MenuFrame, AFrameWithoutADisplayDrawsNothingAndMovesNothing) {
    GameHost host(withGameData());
    auto* counter = new CountingSprite(&host.form().DXSpriteEngine1->Engine());
    host.runTicks(2);
    EXPECT_EQ(counter->moves, 2);
    host.form().DXDraw->Finalize();
    ASSERT_FALSE(host.form().DXDraw->CanDraw());
    EXPECT_EQ(host.runTicks(3), 3) << "the timer keeps ticking";
    EXPECT_EQ(counter->moves, 2);
    host.form().DXDraw->Initialize();
    host.runTicks(1);
    EXPECT_EQ(counter->moves, 3);
}

// Every menu screen is drawn whole each frame: a frame over a back buffer full of something else
// gives the same picture as over the last frame, and that picture is the one the window shows.
TEST(MenuFrame, EachScreenIsDrawnWholeAndShownAsDrawn) {
    struct Screen {
        const char* what;
        void (*open)(TmainForm&);
    };
    const Screen screens[] = {
        {"main menu", [](TmainForm&) {}},
        {"options while typing the country",
         [](TmainForm& f) {
             Shell.MenuSelection = msOptions;
             f.CreateOptions();
             Settings.Country.SetText("de");
             Shell.MenuSelection = 4;
             Shell.TextEditing = 1;
             Shell.BlinkCounter = 0; // the cursor stays hidden for the frames below
         }},
        {"high scores",
         [](TmainForm& f) {
             Shell.MenuSelection = msScores;
             f.CreateScores();
         }},
        {"help",
         [](TmainForm& f) {
             Shell.MenuSelection = msHelp;
             f.CreateHelp();
         }},
        {"exit question",
         [](TmainForm& f) {
             Shell.MenuScreen = msExitQuery;
             Shell.MenuSelection = 2;
             f.SetClosingWindowVisible(true);
         }},
        {"clear scores question",
         [](TmainForm& f) {
             Shell.MenuSelection = msScores;
             f.CreateScores();
             Shell.MenuScreen = msClearScores;
             Shell.MenuSelection = 1;
             f.SetClosingWindowVisible(true);
         }},
        {"boss key question",
         [](TmainForm& f) {
             Shell.MenuSelection = msOptions;
             f.CreateOptions();
             Shell.MenuScreen = msBossKey;
             f.SetClosingWindowVisible(true);
         }},
    };
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.what);
        GameHost host(withGameData());
        screen.open(host.form());
        TDirectDrawSurface& back = *host.form().DXDraw->Surface();
        const TDirectDrawSurface& front = *host.form().DXDraw->Primary();
        host.runTicks(1);
        const std::vector<std::uint32_t> drawn = host.backBuffer();
        const int uploads = host.window().uploadCount();
        const std::uint64_t still = back.Generation();
        host.runTicks(3);
        EXPECT_EQ(back.Generation(), still) << "a still screen is drawn once, not on every tick";

        TDDSurfaceDesc desc;
        ASSERT_TRUE(back.Lock(desc));
        for (int y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(desc.Bits) + y * desc.Pitch);
            for (int x = 0; x < desc.Width; ++x) row[x] = 0x00A0B0C0u + static_cast<std::uint32_t>(x ^ y);
        }
        back.Unlock();
        host.runTicks(1);
        EXPECT_TRUE(host.backBuffer() == drawn) << "something of the earlier contents shows through";
        int differ = 0;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) differ += front.Pixel(x, y) != drawn[static_cast<std::size_t>(y * 800 + x)];
        EXPECT_EQ(differ, 0) << "pixels of the screen differ from the back buffer";
        EXPECT_EQ(host.window().uploadCount(), uploads) << "the same picture is not sent again";
    }
}

TEST(MenuFrame, CapitalsOfTheWesternCodePage) {
    EXPECT_EQ(UpperCaseText("de"), "DE");
    EXPECT_EQ(UpperCaseText("Abc-12 z"), "ABC-12 Z");
    EXPECT_EQ(UpperCaseText("\xe9\xf6\xf7\xff"), "\xc9\xd6\xf7\x9f"); // e acute, o umlaut, division sign, y umlaut
}

} // namespace
