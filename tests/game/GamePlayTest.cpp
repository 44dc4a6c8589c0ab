// SPDX-License-Identifier: MIT
// Scripted play on the built data: the start of a game, steering, the three deaths, the end of a
// level, a paused game drawn once, the highest level, the air gauge, a field that cannot be built,
// and the level lengths the built ceiling gives against the air.
#include "GameHostTest.h"

#include "graphics/PictureCollection.h"
#include "graphics/Surface.h"
#include "platform/Joystick.h"
#include "platform/VirtualKeys.h"
#include "shell/KeyHandling.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

namespace vk = tw::platform::vk;

using GamePlayTest = GameHostTest;

TEST_F(GamePlayTest, StartAnnouncesLevelOneFor94TicksThenTheFirstTickSpawnsEachSchedule) {
    startGame();
    EXPECT_EQ(Shell.GameState, gsLevelIntro);
    EXPECT_EQ(Game.Level, 1);
    EXPECT_EQ(Game.Lives, 5);
    EXPECT_EQ(Game.Air, 1500);
    EXPECT_FALSE(hero().Visible);
    EXPECT_EQ(Game.UpReliefCount, 5);
    EXPECT_EQ(Game.LevelLength, 14);

    host->runTicks(93);
    EXPECT_EQ(Shell.GameState, gsLevelIntro);
    const int fishBefore = countLive<TEnemySprite>();
    host->runTicks(1);
    EXPECT_EQ(Shell.GameState, gsPlaying);
    EXPECT_TRUE(hero().Visible);
    EXPECT_EQ(fishBefore, 0);
    EXPECT_EQ(Game.Air, 1500); // the announcement uses no air

    host->runTicks(1);
    EXPECT_EQ(countLive<TEnemySprite>(), 1);
    EXPECT_EQ(countLive<TBonusSprite>(), 1);
    EXPECT_EQ(countLive<TGreenAlgae>(), 1);
    EXPECT_EQ(countLive<TTreasureSprite>(), 1);
    EXPECT_EQ(countLive<TBubbleSprite>(), 1);
    EXPECT_EQ(Game.Air, 1499);
    TEnemySprite* fish = firstLive<TEnemySprite>();
    EXPECT_TRUE(EnemyKindAllowed(1, fish->Kind)) << fish->Kind;
    EXPECT_GE(Game.EnemyDelay, 50);
    EXPECT_LE(Game.EnemyDelay, 209);
}

TEST_F(GamePlayTest, KeysAndMouseSteerWithDrift) {
    startPlaying();
    // Right held from rest: the drift builds up half a pixel per step.
    host->keyDown(vk::Right);
    std::vector<int> moves;
    for (int i = 0; i < 6; ++i) {
        const int x = hero().X;
        host->runTicks(1);
        moves.push_back(hero().X - x);
    }
    EXPECT_EQ(moves, (std::vector<int>{8, 9, 10, 10, 10, 11}));
    host->keyUp(vk::Right);
    // Left and right together: left wins, against the drift still to the right.
    host->runTicks(20);
    ASSERT_EQ(hero().HeroVelocityX, 0.0);
    host->keyDown(vk::Right);
    host->keyDown(vk::Left);
    int x = hero().X;
    host->runTicks(1);
    EXPECT_EQ(hero().X - x, -8);
    host->keyUp(vk::Left);
    host->keyUp(vk::Right);
    host->runTicks(20);
    ASSERT_EQ(hero().HeroVelocityX, 0.0);

    // A mouse push of 3 moves the diver 3 instead of 8, once.
    host->mouseMove(406, 300);
    EXPECT_EQ(Shell.MousePushRight, 3);
    x = hero().X;
    host->runTicks(1);
    EXPECT_EQ(hero().X - x, 3);
    EXPECT_EQ(Shell.MousePushRight, 0);
    x = hero().X;
    host->runTicks(1);
    EXPECT_EQ(hero().X - x, 0);

    // Down to the floor's bound and no further; each step the diver also rises one pixel.
    host->keyDown(vk::Down);
    host->runTicks(80);
    EXPECT_EQ(hero().Y, THeroSprite::MaxBottom - hero().Height);
    EXPECT_EQ(hero().HeroVelocityY, 0.0);
}

// A stick plugged in during play is picked up by the next frame and steers as the arrow keys do;
// within half its travel it is centred.
TEST_F(GamePlayTest, AJoystickPluggedInDuringPlaySteers) {
    startPlaying();
    host->runTicks(30);
    tw::platform::VirtualJoystick stick(3, 32);
    ASSERT_TRUE(stick.attached());
    const auto at = [](double fraction) { return static_cast<std::int16_t>(fraction * 32767); };

    stick.setAxis(0, at(0.3));
    host->runTicks(20);
    ASSERT_EQ(hero().HeroVelocityX, 0.0);
    int x = hero().X;
    host->runTicks(1);
    EXPECT_EQ(hero().X, x);

    stick.setAxis(0, at(0.9));
    std::vector<int> moves;
    for (int i = 0; i < 3; ++i) {
        x = hero().X;
        host->runTicks(1);
        moves.push_back(hero().X - x);
    }
    EXPECT_EQ(moves, (std::vector<int>{8, 9, 10}));

    // Down on the stick to the floor's bound, below the deepest rock; then up on the stick and left
    // on the keys: both count.
    stick.setAxis(0, 0);
    stick.setAxis(1, at(0.9));
    host->runTicks(80);
    stick.setAxis(1, 0);
    host->runTicks(40);
    ASSERT_EQ(hero().HeroVelocityX, 0.0);
    ASSERT_EQ(hero().HeroVelocityY, 0.0);
    stick.setAxis(1, at(-0.9));
    host->keyDown(vk::Left);
    x = hero().X;
    const int y = hero().Y;
    host->runTicks(1);
    EXPECT_EQ(hero().X - x, -8);
    EXPECT_EQ(hero().Y - y, -9); // the stroke and the one-pixel rise of every step
    host->keyUp(vk::Left);
}

struct DeathCase {
    const char* name;
    std::function<void(GameHostTest&)> arrange;
    int bodyKind;
    std::int32_t airAfter; // -1: unchanged by the death
    const char* sound;     // the one sound of the death's tick
};

class DeathTest : public GameHostTest, public ::testing::WithParamInterface<DeathCase> {};

TEST_P(DeathTest, TheBodyFloatsAwayAndTheNextLifeStarts) {
    startPlaying();
    host->runTicks(1);
    GetParam().arrange(*this);
    const std::int32_t air = Game.Air;
    recordSounds();
    host->runTicks(1);
    EXPECT_EQ(sounds, std::vector<std::string>{GetParam().sound});
    EXPECT_EQ(Shell.GameState, gsHeroDying);
    EXPECT_EQ(Game.Lives, 4);
    EXPECT_FALSE(hero().Visible);
    TDeadBodySprite* body = firstLive<TDeadBodySprite>();
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->BodyKind, GetParam().bodyKind);
    const std::int32_t airAtDeath = Game.Air;
    if (GetParam().airAfter >= 0)
        EXPECT_EQ(airAtDeath, GetParam().airAfter);
    else
        EXPECT_EQ(airAtDeath, air - 1); // the tick still used its air before the death
    const int fish = countLive<TEnemySprite>();

    // The body rises and drifts off to the left; no air is used and nothing spawns meanwhile.
    int ticks = 0;
    while (Shell.GameState == gsHeroDying && ticks < 400) {
        host->runTicks(1);
        ++ticks;
    }
    EXPECT_EQ(Shell.GameState, gsPlaying);
    EXPECT_GT(ticks, 50);
    EXPECT_EQ(Game.Air, airAtDeath);
    EXPECT_LE(countLive<TEnemySprite>(), fish);
    for (int i = 0; i < root().ChildCount(); ++i) {
        if (auto* b = dynamic_cast<TDeadBodySprite*>(root().Child(i))) {
            EXPECT_TRUE(b->BodyKind == 1 || b->Dead());
        }
    }

    // The next tick clears the field and brings the diver back at the start.
    host->runTicks(1);
    EXPECT_TRUE(hero().Visible);
    EXPECT_LE(countLive<TEnemySprite>(), 1); // at most the one this tick spawned
    EXPECT_EQ(Game.Lives, 4);
    EXPECT_EQ(Game.Air, airAtDeath - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Deaths, DeathTest,
    ::testing::Values(DeathCase{"ByAFish",
                                [](GameHostTest& fixture) {
                                    auto* fish = new TEnemySprite(&fixture.root(), 1);
                                    fish->X = fixture.hero().X + 30;
                                    fish->Y = fixture.hero().Y;
                                },
                                2, -1, "herodiefish"},
                      DeathCase{"CrushedByTheCeiling",
                                [](GameHostTest& fixture) {
                                    // A rock hanging down past the diver, overlapping it from the right, with the
                                    // diver at the left edge.
                                    fixture.hero().X = THeroSprite::MinX;
                                    fixture.hero().Y = THeroSprite::MinY + 1;
                                    const std::int32_t chainEnd = Game.UpReliefEnd;
                                    auto* rock = new TRelief(&fixture.root(), "uprelief3", true, false);
                                    Game.UpReliefEnd = chainEnd;
                                    rock->X = THeroSprite::MinX + fixture.hero().Width - 10;
                                    ASSERT_GE(rock->Y + rock->Height, THeroSprite::MinY + fixture.hero().Height);
                                },
                                2, -1, "herodiefish"},
                      // AirMax div 3, less the breath the rest of that tick still takes.
                      DeathCase{"OutOfAir", [](GameHostTest&) { Game.Air = 0; }, 3, 1500 / 3 - 1, "herodieair"}),
    [](const ::testing::TestParamInfo<DeathCase>& p) { return std::string(p.param.name); });

} // namespace

namespace {

// The level's ceiling used up and scrolled away: what is left of it goes at once.
void endTheCeiling(GameHostTest& fixture) {
    for (int i = 0; i < fixture.root().ChildCount(); ++i)
        if (auto* r = dynamic_cast<TRelief*>(fixture.root().Child(i)); r && r->IsUp) r->MarkDead();
    Game.UpReliefCount = Game.LevelLength + 1;
    Game.UpReliefEnd = 0;
}

TEST_F(GamePlayTest, AtTheEndOfTheCeilingTheDiverRisesAndLevelTwoComes) {
    startPlaying();
    host->runTicks(1);
    endTheCeiling(*this);
    host->keyDown(vk::Down); // no steering any more: the diver only rises
    host->runTicks(1);
    EXPECT_FALSE(hero().InPlay);
    recordSounds();
    int ticks = 1;
    std::int32_t lastY = hero().Y;
    while (Shell.GameState == gsPlaying && ticks < 200) {
        host->runTicks(1);
        ++ticks;
        if (Shell.GameState == gsPlaying) {
            EXPECT_EQ(hero().Y, lastY - 5);
            lastY = hero().Y;
        }
    }
    EXPECT_EQ(Shell.GameState, gsLevelIntro);
    EXPECT_EQ(sounds, std::vector<std::string>{"nextlevel"});
    EXPECT_EQ(Game.Level, 2);
    EXPECT_EQ(Game.LevelLength, 22);
    EXPECT_EQ(Game.AirMax, 2400);
    EXPECT_EQ(Game.Air, 1500);
    EXPECT_EQ(Game.UpReliefCount, 6);
    EXPECT_TRUE(hero().InPlay);
    EXPECT_FALSE(hero().Visible);
    EXPECT_EQ(hero().X, 150);
    EXPECT_EQ(hero().Y, 400);
    EXPECT_EQ(countLive<TEnemySprite>(), 0);
    // "LEVEL 2" in red over the field, from the next tick: the announcement is drawn before the
    // change of level.
    host->runTicks(1);
    int red = 0;
    for (int y = 285; y < 330; ++y)
        for (int x = 320; x < 520; ++x) red += host->pixel(x, y) == 0xFF0000;
    EXPECT_GT(red, 100);
    host->runTicks(93);
    EXPECT_EQ(Shell.GameState, gsPlaying);
    EXPECT_TRUE(hero().Visible);
}

// The white pixels of the head-up text in a box of the status bar: how many, and their middle column.
struct WhiteText {
    int count = 0;
    double middle = 0;
};

WhiteText whiteIn(tw::test::GameHost& host, int left, int top, int right, int bottom) {
    WhiteText text;
    long sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (host.pixel(x, y) == 0xFFFFFF) {
                ++text.count;
                sum += x;
            }
    if (text.count > 0) text.middle = static_cast<double>(sum) / text.count;
    return text;
}

TEST_F(GamePlayTest, TheLevelAndTheScoreAreDrawnInTheStatusBar) {
    startPlaying();
    host->pressKey('P'); // nothing moves under the text
    host->runTicks(1);
    ASSERT_EQ(Shell.GameState, gsPaused);
    auto show = [&](std::uint8_t level, std::uint16_t score) {
        Game.Level = level;
        Game.Score = score;
        host->runTicks(1);
    };
    // The level's digits start at (112, 10); the score is centred on x 717 from y 42.
    auto level = [&] { return whiteIn(*host, 100, 5, 200, 35); };
    auto score = [&] { return whiteIn(*host, 640, 37, 800, 67); };
    show(1, 5);
    const WhiteText level1 = level(), score5 = score();
    show(88, 40000);
    const WhiteText level88 = level(), score40000 = score();
    EXPECT_GT(level1.count, 10);
    EXPECT_GT(level88.count, level1.count);
    EXPECT_GE(level88.middle, 112);
    EXPECT_GT(score5.count, 10);
    EXPECT_GT(score40000.count, score5.count);
    EXPECT_NEAR(score5.middle, 717, 4);
    EXPECT_NEAR(score40000.middle, 717, 4);
}

TEST_F(GamePlayTest, APausedGameIsDrawnOnceAndPlayDrawsEveryTick) {
    startPlaying();
    const TDirectDrawSurface& back = *host->form().DXDraw->Surface();
    host->pressKey('P');
    host->runTicks(2);
    ASSERT_EQ(Shell.GameState, gsPaused);
    const std::uint64_t still = back.Generation();
    host->runTicks(5);
    EXPECT_EQ(back.Generation(), still) << "nothing moves, so the frame repeats and is not drawn again";
    host->pressKey('P');
    host->runTicks(1);
    const std::uint64_t moving = back.Generation();
    EXPECT_NE(moving, still);
    host->runTicks(1);
    EXPECT_NE(back.Generation(), moving);
}

TEST_F(GamePlayTest, LevelStopsAt255) {
    startPlaying();
    Game.Level = 254;
    for (int expected : {255, 255}) {
        Shell.GameState = gsNextLevel;
        host->runTicks(1);
        ASSERT_EQ(Shell.GameState, gsLevelIntro);
        EXPECT_EQ(Game.Level, expected);
        EXPECT_EQ(Game.LevelLength, 82);
        EXPECT_EQ(Game.Air, 1500); // the maximum grows only below level 8
        host->runTicks(94);
        ASSERT_EQ(Shell.GameState, gsPlaying);
    }
    // Past level 160 the fish come every 51 ticks exactly, of every kind.
    Game.EnemyDelay = 0;
    host->runTicks(1);
    EXPECT_EQ(Game.EnemyDelay, 50);
}

TEST_F(GamePlayTest, AirGaugeFollowsTheAirAndDrawsNothingWithoutAMaximum) {
    startPlaying();
    auto gaugeRow = [&] {
        host->runTicks(1);
        std::vector<std::uint32_t> row;
        for (int x = 257; x < 257 + 201; ++x) row.push_back(host->pixel(x, 62));
        return row;
    };
    Shell.GameState = gsPaused; // the field stands still; only the drawing runs
    Game.AirMax = 1500;
    Game.Air = 1500;
    const auto full = gaugeRow();
    Game.Air = -1500;
    const auto empty = gaugeRow();
    Game.Air = 750;
    const auto half = gaugeRow();
    EXPECT_NE(full, empty);
    EXPECT_EQ(std::vector(half.begin() + 101, half.end()), std::vector(empty.begin() + 101, empty.end()));
    EXPECT_EQ(std::vector(half.begin(), half.begin() + 101), std::vector(full.begin(), full.begin() + 101));
    Game.AirMax = 0;
    Game.Air = 100;
    EXPECT_EQ(gaugeRow(), empty);
}

TEST_F(GamePlayTest, AFieldThatCannotBeBuiltShowsOneMessageAndReturnsToTheMenu) {
    std::filesystem::remove(host->runFolder() / "data" / "gamegraphic.dxg");
    startGame();
    ASSERT_EQ(host->messages().size(), 1u);
    EXPECT_EQ(Shell.GameState, gsMenu);
    EXPECT_EQ(Shell.MenuScreen, msMain);
    EXPECT_TRUE(host->form().DXTimer1->Enabled());
    EXPECT_FALSE(host->form().DXTimer2->Enabled());
    EXPECT_EQ(Game.Hero, nullptr);
    host->runTicks(10);
    EXPECT_EQ(host->messages().size(), 1u);
    EXPECT_NE(Menu.Background, nullptr);
}

TEST_F(GamePlayTest, LosingTheLastLifeShowsGameOverThenTheMenuWithNoReferenceLeft) {
    startPlaying();
    Game.Lives = 1;
    Game.Air = 0;
    host->runTicks(1);
    ASSERT_EQ(Shell.GameState, gsHeroDying);
    recordSounds();
    int ticks = 0;
    while (Shell.GameState != gsGameOver && ticks < 400) {
        host->runTicks(1);
        ++ticks;
    }
    ASSERT_EQ(Shell.GameState, gsGameOver);
    EXPECT_EQ(sounds, std::vector<std::string>{"looser"});
    // The tick that ends the game already counts down the first 16 ms of "GAME OVER".
    host->runTicks(92);
    EXPECT_EQ(Shell.GameState, gsGameOver);
    host->runTicks(1);
    EXPECT_EQ(Shell.GameState, gsMenu);
    EXPECT_TRUE(host->form().DXTimer1->Enabled());
    EXPECT_EQ(Game.Hero, nullptr);
    EXPECT_EQ(Game.EngineSprite, nullptr);
    EXPECT_EQ(Game.AirGauge, nullptr);
    EXPECT_EQ(Game.SupergunIndicator, nullptr);
    EXPECT_EQ(Game.NetIndicator, nullptr);
    EXPECT_EQ(Game.EngineIndicator, nullptr);
    host->runTicks(5);
    EXPECT_TRUE(host->messages().empty());
}

// The level's length comes from the built ceiling pieces: from the start of play, the chain's
// right end scrolls 2 pixels a tick to 0, then the diver rises from the floor's bound to the surface.
// The ticks a level's ceiling takes to pass, as a distribution over its random groups: the chain's
// end starts at `start` and falls 2 a tick; then the diver rises from the floor at worst.
struct LevelLengths {
    std::vector<double> chance; // chance[s]: the groups' widths sum to s
    int fixed = 0;              // the start position, the first and the last piece
    int rise = 0;
    int ticks(int widths) const { return (fixed + widths + 1) / 2 + rise; }
    int percentile(double p) const {
        double sum = 0;
        for (std::size_t s = 0; s < chance.size(); ++s)
            if ((sum += chance[s]) >= p) return ticks(static_cast<int>(s));
        return ticks(static_cast<int>(chance.size()) - 1);
    }
};

TEST_F(GamePlayTest, EveryLevelPassesOnItsStartingAirAtTheRandomCeilingsNinetyFifthPercentile) {
    startGame();
    TPictureCollection& pictures = host->form().DXImageList1->Items();
    auto width = [&](const std::string& name) { return pictures.Find(name)->Width(); };
    auto groupWidth = [&](const std::string& prefix, int pieces) {
        int w = 0;
        for (int i = 1; i <= pieces; ++i) w += width(prefix + std::to_string(i));
        return w;
    };
    const int groups[3] = {width("uprelief3"), groupWidth("uprelief4-", 6), groupWidth("uprelief5-", 4)};
    const int rise = (THeroSprite::MaxBottom - hero().Height - 114) / 5 + 1;

    int airMax = 1500, air = 1500;
    double tightest = 0;
    for (int level = 1; level <= 20; ++level) {
        if (level > 1) {
            air = airMax;
            if (level < 8) airMax += 900;
        }
        const int length = level <= 8 ? 8 * level + 6 : 82;
        LevelLengths lengths;
        lengths.fixed = (level == 1 ? 400 : 800) + width("uprelief1") + width("uprelief2");
        lengths.rise = rise;
        lengths.chance = {1.0};
        for (int g = 0; g < length; ++g) {
            std::vector<double> next(lengths.chance.size() +
                                     static_cast<std::size_t>(*std::max_element(groups, groups + 3)));
            for (std::size_t s = 0; s < lengths.chance.size(); ++s)
                for (int w : groups) next[s + static_cast<std::size_t>(w)] += lengths.chance[s] / 3;
            lengths.chance = std::move(next);
        }
        const int median = lengths.percentile(0.5), p95 = lengths.percentile(0.95);
        std::printf(
            "level %2d: %2d groups, %5d ticks at the median, %5d at the 95th percentile, air %4d (%.0f %%, %.0f %%)\n",
            level, length, median, p95, air, 100.0 * median / air, 100.0 * p95 / air);
        SCOPED_TRACE(testing::Message() << "level " << level << ": median " << median << ", p95 " << p95 << ", air "
                                        << air);
        EXPECT_LE(median * 100, air * 80);
        EXPECT_LE(p95 * 100, air * 90);
        tightest = std::max(tightest, static_cast<double>(median) / air);
    }
    // Some level must still make the air tell: a diver who dawdles there should watch the gauge.
    EXPECT_GE(tightest, 0.65);
}

} // namespace
