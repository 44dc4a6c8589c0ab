// SPDX-License-Identifier: MIT
// Scripted play with the gun and the net: the rate of fire from every key, button and stick button
// that fires, the net only while its bonus runs, the hits each kind of fish takes, a shot spent on
// every fish it overlaps, a shot fired at the right bound, and the score that stops at 65535.
#include "GameHostTest.h"

#include "platform/Joystick.h"
#include "platform/VirtualKeys.h"

#include <functional>
#include <vector>

namespace {

namespace vk = tw::platform::vk;
using tw::platform::MouseButton;

// Nothing new comes in: the spawn delays are far off.
void quietSea() { Game.EnemyDelay = Game.BonusDelay = Game.AlgaeDelay = Game.TreasureDelay = 60000; }

// The rocks go, so the diver can stay where a test puts it; the chains' ends then move only by the
// rules of the scroll.
void clearRocks(GameHostTest& fixture) {
    for (int i = 0; i < fixture.root().ChildCount(); ++i)
        if (auto* r = dynamic_cast<TRelief*>(fixture.root().Child(i))) r->MarkDead();
}

class WeaponsTest : public GameHostTest {
public:
    // Started, the sea quiet and the rocks gone: the next tick is the first of play.
    void startQuiet() {
        startPlaying();
        quietSea();
        clearRocks(*this);
    }

    // The shots made in the last tick: a new shot has not moved yet, so it lies where the diver's
    // gun (or net) is.
    std::vector<THeroWeaponSprite*> newShots() {
        std::vector<THeroWeaponSprite*> made;
        for (int i = 0; i < root().ChildCount(); ++i) {
            auto* shot = dynamic_cast<THeroWeaponSprite*>(root().Child(i));
            if (shot && !shot->Dead() && shot->X == hero().X + hero().Width) made.push_back(shot);
        }
        return made;
    }

    // Runs n ticks and gives the ticks (from 0) in which a shot of the kind was made.
    std::vector<int> firingTicks(int n, std::int32_t kind) {
        std::vector<int> ticks;
        for (int t = 0; t < n; ++t) {
            host->runTicks(1);
            for (THeroWeaponSprite* shot : newShots())
                if (shot->ShotKind == kind) ticks.push_back(t);
        }
        return ticks;
    }
};

// How a player holds one of the fire or net controls.
struct Control {
    const char* name;
    std::int32_t kind; // the shot it makes
    std::function<void(tw::test::GameHost&, tw::platform::VirtualJoystick&, bool)> hold;
};

Control key(const char* name, std::uint8_t code, std::int32_t kind) {
    return {name, kind, [code](tw::test::GameHost& h, tw::platform::VirtualJoystick&, bool down) {
                if (down)
                    h.keyDown(code);
                else
                    h.keyUp(code);
            }};
}

Control mouse(const char* name, MouseButton button, std::int32_t kind) {
    return {name, kind, [button](tw::test::GameHost& h, tw::platform::VirtualJoystick&, bool down) {
                if (down)
                    h.mouseDown(button, 400, 300);
                else
                    h.mouseUp(button, 400, 300);
            }};
}

Control stickButton(const char* name, int button, std::int32_t kind) {
    return {name, kind, [button](tw::test::GameHost&, tw::platform::VirtualJoystick& stick, bool down) {
                stick.setButton(button, down);
            }};
}

class ControlTest : public WeaponsTest, public ::testing::WithParamInterface<Control> {};

TEST_P(ControlTest, HeldItFiresEvery33StepsAndEvery16WithTheSupergun) {
    tw::platform::VirtualJoystick stick(2, 4);
    ASSERT_TRUE(stick.attached());
    startQuiet();
    const Control& c = GetParam();
    if (c.kind == THeroWeaponSprite::skNet) {
        // Without the net bonus the net control does nothing.
        c.hold(*host, stick, true);
        EXPECT_EQ(firingTicks(40, THeroWeaponSprite::skNet), std::vector<int>{});
        EXPECT_TRUE(newShots().empty());
        Game.NetIndicator->Start();
        EXPECT_EQ(firingTicks(70, THeroWeaponSprite::skNet), (std::vector<int>{0, 33, 66}));
        // The supergun is the gun's alone.
        hero().GunRate = 12;
        EXPECT_EQ(firingTicks(34, THeroWeaponSprite::skNet), (std::vector<int>{29}));
        // The net bonus ends: no more nets.
        Game.NetIndicator->TimeLeft = 999;
        c.hold(*host, stick, true);
        EXPECT_EQ(firingTicks(40, THeroWeaponSprite::skNet), std::vector<int>{});
        EXPECT_FALSE(Game.NetIndicator->Visible);
    } else {
        c.hold(*host, stick, true);
        EXPECT_EQ(firingTicks(70, THeroWeaponSprite::skGun), (std::vector<int>{0, 33, 66}));
        EXPECT_EQ(firingTicks(40, THeroWeaponSprite::skNet), std::vector<int>{});
        c.hold(*host, stick, false);
        host->runTicks(40);
        hero().GunRate = 12;
        c.hold(*host, stick, true);
        EXPECT_EQ(firingTicks(50, THeroWeaponSprite::skGun), (std::vector<int>{0, 16, 32, 48}));
    }
    c.hold(*host, stick, false);
    EXPECT_TRUE(firingTicks(40, c.kind).empty());
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTest,
                         ::testing::Values(key("LeftCtrl", vk::LControl, THeroWeaponSprite::skGun),
                                           key("RightCtrl", vk::RControl, THeroWeaponSprite::skGun),
                                           key("Space", vk::Space, THeroWeaponSprite::skGun),
                                           mouse("LeftButton", MouseButton::Left, THeroWeaponSprite::skGun),
                                           stickButton("StickButton1", 0, THeroWeaponSprite::skGun),
                                           key("LeftShift", vk::LShift, THeroWeaponSprite::skNet),
                                           key("RightShift", vk::RShift, THeroWeaponSprite::skNet),
                                           key("Enter", vk::Return, THeroWeaponSprite::skNet),
                                           mouse("RightButton", MouseButton::Right, THeroWeaponSprite::skNet),
                                           stickButton("StickButton2", 1, THeroWeaponSprite::skNet)),
                         [](const ::testing::TestParamInfo<Control>& p) { return std::string(p.param.name); });

TEST_F(WeaponsTest, ShotsAreMadeInFrontOfTheDiverWithTheirSoundsAndFlyTenAStep) {
    startQuiet();
    Game.NetIndicator->Start();
    host->keyDown(vk::Space);
    host->keyDown(vk::Return);
    recordSounds();
    host->runTicks(1);
    // The gun is fired before the net, each shot with its own sound as it is made.
    EXPECT_EQ(sounds, (std::vector<std::string>{"herogun", "heronet"}));
    std::vector<THeroWeaponSprite*> shots = newShots();
    ASSERT_EQ(shots.size(), 2u);
    THeroWeaponSprite* gun = shots[0]->ShotKind == THeroWeaponSprite::skGun ? shots[0] : shots[1];
    THeroWeaponSprite* net = shots[0] == gun ? shots[1] : shots[0];
    EXPECT_EQ(gun->Y, hero().Y + 15);
    EXPECT_EQ(gun->Damage, 1);
    EXPECT_EQ(net->Y, hero().Y - 72);
    EXPECT_EQ(net->Damage, 10);
    host->keyUp(vk::Space);
    host->keyUp(vk::Return);
    // The net opens over 20 steps and stays open; the harpoon's line waves every step.
    std::vector<int> netFrames, tailFrames;
    const int gunX = gun->X;
    for (int i = 0; i < 25; ++i) {
        host->runTicks(1);
        netFrames.push_back(net->FramePos);
        tailFrames.push_back(gun->TailFrame);
    }
    EXPECT_EQ(gun->X, gunX + 250);
    EXPECT_EQ(gun->FramePos, 0);
    EXPECT_EQ(netFrames, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}));
    EXPECT_EQ(std::vector(tailFrames.begin(), tailFrames.begin() + 4), (std::vector<int>{1, 0, 1, 0}));
    // Flying makes no sound.
    EXPECT_EQ(sounds.size(), 2u);
}

TEST_F(WeaponsTest, TheNetFiresWhileTheDiverRisesButTheGunDoesNot) {
    startQuiet();
    Game.NetIndicator->Start();
    host->runTicks(1);
    hero().InPlay = false;
    hero().Y = 500;
    host->keyDown(vk::Space);
    EXPECT_EQ(firingTicks(34, THeroWeaponSprite::skGun), std::vector<int>{});
    hero().Y = 500;
    host->keyDown(vk::Return);
    EXPECT_EQ(firingTicks(34, THeroWeaponSprite::skNet), (std::vector<int>{0, 33}));
}

TEST_F(WeaponsTest, AShotFiredAtTheRightBoundGoesAfterItsFirstStep) {
    startQuiet();
    hero().X = THeroSprite::MaxRight - hero().Width;
    // A fish just beyond the screen's edge, where the shot would reach.
    auto* fish = new TEnemySprite(&root(), 1);
    host->keyDown(vk::Space);
    host->runTicks(1);
    host->keyUp(vk::Space);
    std::vector<THeroWeaponSprite*> shots = newShots();
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_EQ(shots[0]->X, 795);
    fish->X = 806;
    fish->Y = shots[0]->Y - 5;
    host->runTicks(1);
    EXPECT_TRUE(shots[0]->Dead());
    EXPECT_FALSE(fish->Dead());
    EXPECT_EQ(fish->HitPoints, 1);
    host->runTicks(1);
    EXPECT_EQ(countLive<THeroWeaponSprite>(), 0);
}

// A fish of each kind in the way of shots, far from the diver.
struct FishCase {
    std::int32_t kind;
    int gunHits;
    int points;
    bool body;
};

class FishKindTest : public WeaponsTest, public ::testing::WithParamInterface<FishCase> {
public:
    // A shot that overlaps the fish after both have made their next step.
    void shootAt(TEnemySprite& fish, std::int32_t kind) {
        auto* shot = new THeroWeaponSprite(&root(), fish.X + fish.Width / 2 - 25, kind, fish.Y + fish.Height / 2);
        host->runTicks(1);
        ASSERT_TRUE(shot->Dead()) << "the shot missed";
    }
    TEnemySprite& fishAhead(std::int32_t kind) {
        auto* fish = new TEnemySprite(&root(), kind);
        fish->X = 500;
        if (kind != 7) fish->Y = 200;
        if (kind == 7) fish->WaveBaseX = 500;
        host->runTicks(1); // the crab's first step sets it on its wave
        return *fish;
    }
    int bodies() {
        int n = 0;
        for (int i = 0; i < root().ChildCount(); ++i)
            if (auto* b = dynamic_cast<TDeadBodySprite*>(root().Child(i)); b && b->BodyKind == 1 && !b->Dead()) ++n;
        return n;
    }
};

TEST_P(FishKindTest, GunHitsToKillPointsAndBody) {
    const FishCase& c = GetParam();
    startQuiet();
    host->runTicks(1);
    TEnemySprite& fish = fishAhead(c.kind);
    for (int hit = 1; hit < c.gunHits; ++hit) {
        shootAt(fish, THeroWeaponSprite::skGun);
        ASSERT_FALSE(fish.Dead()) << "hit " << hit;
        EXPECT_EQ(fish.HitPoints, c.gunHits - hit);
    }
    EXPECT_EQ(Game.Score, 0);
    shootAt(fish, THeroWeaponSprite::skGun);
    EXPECT_TRUE(fish.Dead());
    EXPECT_EQ(Game.Score, c.points);
    EXPECT_EQ(bodies(), c.body ? 1 : 0);

    // The net kills any fish with one hit.
    TEnemySprite& another = fishAhead(c.kind);
    shootAt(another, THeroWeaponSprite::skNet);
    EXPECT_TRUE(another.Dead());
    EXPECT_EQ(Game.Score, 2 * c.points);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FishKindTest,
                         ::testing::Values(FishCase{1, 1, 10, true}, FishCase{2, 1, 10, true}, FishCase{3, 1, 10, true},
                                           FishCase{4, 1, 10, true}, FishCase{5, 1, 5, true}, FishCase{6, 1, 5, true},
                                           FishCase{7, 1, 20, false}, FishCase{8, 1, 20, true},
                                           FishCase{9, 1, 20, false}, FishCase{10, 2, 30, false},
                                           FishCase{11, 3, 50, true}, FishCase{12, 3, 50, true},
                                           FishCase{13, 5, 100, true}),
                         [](const ::testing::TestParamInfo<FishCase>& p) {
                             return "Kind" + std::to_string(p.param.kind);
                         });

TEST_F(WeaponsTest, AShotHitsEveryFishItOverlapsAndAFishKilledTwiceCountsTwice) {
    startQuiet();
    host->runTicks(1);
    // Two fish one over the other, and a third killed by another shot earlier in the same frame.
    auto* upper = new TEnemySprite(&root(), 1);
    auto* lower = new TEnemySprite(&root(), 11);
    auto* twice = new TEnemySprite(&root(), 2);
    upper->X = lower->X = 500;
    upper->Y = 200;
    lower->Y = 220;
    twice->X = 300;
    twice->Y = 400;
    // The first shot is in the tree before the second, so it moves and strikes first.
    new THeroWeaponSprite(&root(), 290, THeroWeaponSprite::skGun, 410);
    new THeroWeaponSprite(&root(), 290, THeroWeaponSprite::skGun, 410);
    auto* shot = new THeroWeaponSprite(&root(), 500, THeroWeaponSprite::skGun, 230);
    const int bodiesBefore = countLive<TDeadBodySprite>();
    host->runTicks(1);
    EXPECT_TRUE(shot->Dead());
    EXPECT_TRUE(upper->Dead());
    EXPECT_FALSE(lower->Dead());
    EXPECT_EQ(lower->HitPoints, 2);
    EXPECT_TRUE(twice->Dead());
    // 10 for the upper fish, 10 twice for the fish killed twice.
    EXPECT_EQ(Game.Score, 30);
    EXPECT_EQ(countLive<TDeadBodySprite>() - bodiesBefore, 3);
    // Spent: from the next step the shot finds nothing, and goes.
    host->runTicks(1);
    EXPECT_EQ(lower->HitPoints, 2);
    EXPECT_EQ(countLive<THeroWeaponSprite>(), 0);
}

TEST_F(WeaponsTest, ClearingTheFieldTakesTheShots) {
    startQuiet();
    Game.NetIndicator->Start();
    host->keyDown(vk::Space);
    host->keyDown(vk::Return);
    host->runTicks(3);
    ASSERT_EQ(countLive<THeroWeaponSprite>(), 2);
    ClearGameField();
    EXPECT_EQ(countLive<THeroWeaponSprite>(), 0);
    EXPECT_FALSE(Game.NetIndicator->Visible);
}

// Every way points come: a kill, treasure, a points bonus. The score stops at 65535.
struct ScoreCase {
    const char* name;
    std::function<void(WeaponsTest&)> score;
    int points;
};

class ScoreTest : public WeaponsTest, public ::testing::WithParamInterface<ScoreCase> {};

TEST_P(ScoreTest, TheScoreStopsAt65535) {
    startQuiet();
    host->runTicks(1);
    for (std::uint16_t start : {std::uint16_t{1000}, std::uint16_t{65530}, std::uint16_t{65535}}) {
        Game.Score = start;
        GetParam().score(*this);
        host->runTicks(1);
        EXPECT_EQ(Game.Score, std::min(65535, start + GetParam().points)) << "from " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Points, ScoreTest,
                         ::testing::Values(ScoreCase{"Kill",
                                                     [](WeaponsTest& f) {
                                                         auto* fish = new TEnemySprite(&f.root(), 13);
                                                         fish->X = 500;
                                                         fish->Y = 200;
                                                         new THeroWeaponSprite(&f.root(), 520, THeroWeaponSprite::skNet,
                                                                               150);
                                                     },
                                                     100},
                                           ScoreCase{"Treasure",
                                                     [](WeaponsTest& f) {
                                                         auto* treasure = new TTreasureSprite(&f.root());
                                                         treasure->Value = 50;
                                                         treasure->X = f.hero().X + 20;
                                                         treasure->Y = f.hero().Y;
                                                     },
                                                     50},
                                           ScoreCase{"PointsBonus",
                                                     [](WeaponsTest& f) {
                                                         auto* bonus = new TBonusSprite(&f.root());
                                                         bonus->SetKind(bkPoints, 20);
                                                         bonus->X = f.hero().X + 20;
                                                         bonus->Y = f.hero().Y;
                                                     },
                                                     20}),
                         [](const ::testing::TestParamInfo<ScoreCase>& p) { return std::string(p.param.name); });

} // namespace
