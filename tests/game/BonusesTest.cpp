// SPDX-License-Identifier: MIT
// Scripted play with the bonus floats: each kind taken by the diver and by the hand engine with its
// effect, a bonus taken twice through both, the timed bonuses' 877 checks and their restart, and the
// engine's change of scroll with the chains' ends.
#include "GameHostTest.h"

#include <functional>

namespace {

class BonusesTest : public GameHostTest {
public:
    // Started, nothing new coming and no rocks: the chains' ends move only by the scroll's rules,
    // and the diver stays where a test puts it.
    void startQuiet() {
        startPlaying();
        Game.EnemyDelay = Game.BonusDelay = Game.AlgaeDelay = Game.TreasureDelay = 60000;
        for (int i = 0; i < root().ChildCount(); ++i)
            if (auto* r = dynamic_cast<TRelief*>(root().Child(i))) r->MarkDead();
        host->runTicks(1);
    }

    // A bonus of the kind where the diver (or only its hand engine) touches it in the next step.
    TBonusSprite& bonusAt(std::int32_t kind, bool byEngine) {
        auto* bonus = new TBonusSprite(&root());
        bonus->SetKind(kind, 20);
        // Beyond the diver's right edge, where the engine is held (113 to 159 right of the diver).
        bonus->X = hero().X + (byEngine ? 125 : 20);
        bonus->Y = hero().Y - 10;
        return *bonus;
    }
};

// Shows the hand engine without its bonus, so only the engine can reach what lies beyond the diver.
void holdEngine() { Game.EngineSprite->Visible = true; }

struct BonusCase {
    const char* name;
    std::int32_t kind;
    std::function<void()> before;      // the game before the bonus is taken
    std::function<void()> expectAfter; // checked after the tick that took it
};

class BonusKindTest : public BonusesTest, public ::testing::WithParamInterface<std::tuple<BonusCase, bool>> {};

TEST_P(BonusKindTest, TakenByTheDiverOrByTheHandEngine) {
    const auto& [c, byEngine] = GetParam();
    startQuiet();
    if (byEngine) holdEngine();
    c.before();
    TBonusSprite& bonus = bonusAt(c.kind, byEngine);
    if (byEngine) {
        // Out of the diver's own reach.
        EXPECT_GE(bonus.X, hero().X + hero().Width);
    }
    host->runTicks(1);
    EXPECT_TRUE(bonus.Dead());
    c.expectAfter();
}

const BonusCase bonusCases[] = {
    {"Points", bkPoints, [] { Game.Score = 100; }, [] { EXPECT_EQ(Game.Score, 120); }},
    {"Supergun", bkSupergun, [] {},
     [] {
         EXPECT_EQ(Game.Hero->GunRate, 12);
         EXPECT_TRUE(Game.SupergunIndicator->Visible);
         EXPECT_EQ(Game.SupergunIndicator->TimeLeft, 15000 - 16); // the tick's clock has run once
     }},
    {"Net", bkNet, [] {},
     [] {
         EXPECT_TRUE(Game.NetIndicator->Visible);
         EXPECT_EQ(Game.NetIndicator->TimeLeft, 15000 - 16);
     }},
    // A third of the maximum, at most the maximum; the tick's own breath follows.
    {"Air", bkAir, [] { Game.Air = 100; }, [] { EXPECT_EQ(Game.Air, 100 + 1500 / 3 - 1); }},
    {"AirToTheBrim", bkAir, [] { Game.Air = Game.AirMax - 1; }, [] { EXPECT_EQ(Game.Air, Game.AirMax - 1); }},
    {"Engine", bkEngine,
     [] {
         Game.DownReliefEnd = 1000;
         Game.UpReliefEnd = 2000;
     },
     [] {
         EXPECT_TRUE(Game.EngineIndicator->Visible);
         EXPECT_TRUE(Game.EngineSprite->Visible);
         EXPECT_EQ(Game.EngineSprite->X, Game.Hero->X + 113);
         EXPECT_EQ(Game.EngineSprite->Y, Game.Hero->Y + 5);
         EXPECT_EQ(Game.ScrollSpeed, 4);
         // The tick's scroll of 2, then 2 more as the speed changes.
         EXPECT_EQ(Game.DownReliefEnd, 1000 - 4);
         EXPECT_EQ(Game.UpReliefEnd, 2000 - 4);
     }},
    {"Life", bkLife, [] { Game.Lives = 3; }, [] { EXPECT_EQ(Game.Lives, 4); }},
    {"LifeAtFive", bkLife, [] { Game.Lives = 5; }, [] { EXPECT_EQ(Game.Lives, 5); }},
};

INSTANTIATE_TEST_SUITE_P(Kinds, BonusKindTest, ::testing::Combine(::testing::ValuesIn(bonusCases), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<BonusCase, bool>>& p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) ? "ByEngine" : "ByDiver");
                         });

TEST_F(BonusesTest, ABonusTouchedByTheDiverAndTheEngineIsTakenTwice) {
    startQuiet();
    holdEngine();
    Game.Score = 0;
    TBonusSprite& bonus = bonusAt(bkPoints, false);
    bonus.X = hero().X + 100; // under both
    host->runTicks(1);
    EXPECT_EQ(Game.Score, 40);
}

TEST_F(BonusesTest, AFishTouchingOnlyTheEngineKillsTheDiver) {
    startQuiet();
    holdEngine();
    auto* fish = new TEnemySprite(&root(), 1);
    fish->X = hero().X + 130;
    fish->Y = hero().Y;
    host->runTicks(1);
    EXPECT_EQ(Shell.GameState, gsHeroDying);
}

// Each timed bonus, taken and counted down tick by tick.
struct TimedCase {
    const char* name;
    std::int32_t kind;
    TBonusIndicatorSprite* GameGlobals::*indicator;
};

class TimedBonusTest : public BonusesTest, public ::testing::WithParamInterface<TimedCase> {
public:
    // Ticks until the indicator hides, counting the tick that took the bonus as the first check.
    int checksUntilEnd(TBonusIndicatorSprite& indicator) {
        int checks = 0;
        while (indicator.Visible && checks < 2000) {
            host->runTicks(1);
            ++checks;
        }
        return checks;
    }
};

TEST_P(TimedBonusTest, EndsOnThe877thCheckAndTakingItAgainRestartsIt) {
    startQuiet();
    Game.Air = 5000; // enough for both runs of the bonus
    const TimedCase& c = GetParam();
    TBonusIndicatorSprite& indicator = *(Game.*c.indicator);
    bonusAt(c.kind, false);
    host->runTicks(1);
    ASSERT_TRUE(indicator.Visible);
    int checks = 1;
    host->runTicks(499);
    checks += 499;
    ASSERT_TRUE(indicator.Visible);
    EXPECT_EQ(indicator.TimeLeft, 15000 - 16 * 500);
    // Taken again: 15 s once more, and the second one runs its full 877 checks.
    bonusAt(c.kind, false);
    checks = checksUntilEnd(indicator);
    EXPECT_EQ(checks, 877);
    EXPECT_FALSE(indicator.Visible);
    switch (c.kind) {
    case bkSupergun: EXPECT_EQ(hero().GunRate, 6); break;
    case bkEngine:
        EXPECT_FALSE(Game.EngineSprite->Visible);
        EXPECT_EQ(Game.ScrollSpeed, 2);
        break;
    default: break;
    }
}

INSTANTIATE_TEST_SUITE_P(Indicators, TimedBonusTest,
                         ::testing::Values(TimedCase{"Supergun", bkSupergun, &GameGlobals::SupergunIndicator},
                                           TimedCase{"Net", bkNet, &GameGlobals::NetIndicator},
                                           TimedCase{"Engine", bkEngine, &GameGlobals::EngineIndicator}),
                         [](const ::testing::TestParamInfo<TimedCase>& p) { return std::string(p.param.name); });

TEST_F(BonusesTest, TheEngineSwitchesTheScroll2To4To2AndShiftsTheChainEnds) {
    startQuiet();
    std::vector<int> downSteps, upSteps, speeds;
    auto step = [&] {
        const std::int32_t down = Game.DownReliefEnd, up = Game.UpReliefEnd;
        host->runTicks(1);
        downSteps.push_back(Game.DownReliefEnd - down);
        upSteps.push_back(Game.UpReliefEnd - up);
        speeds.push_back(Game.ScrollSpeed);
    };
    step();
    bonusAt(bkEngine, false);
    step();
    step();
    // Skip to the end of the bonus: its last check hides it and moves the ends once more.
    Game.EngineIndicator->TimeLeft = 1000;
    step();
    step();
    step();
    EXPECT_EQ(speeds, (std::vector<int>{2, 4, 4, 4, 2, 2}));
    // Taken: the tick's 2, then 2 for the change. Ended: the tick's 4, then 4 for the change.
    EXPECT_EQ(downSteps, (std::vector<int>{-2, -4, -4, -4, -8, -2}));
    EXPECT_EQ(upSteps, downSteps);
    EXPECT_FALSE(Game.EngineSprite->Visible);
}

TEST_F(BonusesTest, ALostLifeEndsTheTimedBonuses) {
    startQuiet();
    for (std::int32_t kind : {bkSupergun, bkNet, bkEngine}) bonusAt(kind, false);
    host->runTicks(1);
    ASSERT_TRUE(Game.SupergunIndicator->Visible && Game.NetIndicator->Visible && Game.EngineIndicator->Visible);
    Game.Air = 0;
    host->runTicks(1);
    ASSERT_EQ(Shell.GameState, gsHeroDying);
    while (Shell.GameState == gsHeroDying) host->runTicks(1);
    host->runTicks(1);
    EXPECT_FALSE(Game.SupergunIndicator->Visible);
    EXPECT_FALSE(Game.NetIndicator->Visible);
    EXPECT_FALSE(Game.EngineIndicator->Visible);
    EXPECT_FALSE(Game.EngineSprite->Visible);
    EXPECT_EQ(hero().GunRate, 6);
    EXPECT_EQ(Game.ScrollSpeed, 2);
}

} // namespace
