// SPDX-License-Identifier: MIT
// A long game of random play on a fixed seed: keys, mouse, a joystick, focus changes and the pause,
// with the gun, the net and the bonuses in use. It must not crash or leak (the debug build runs it
// under the address and undefined-behaviour sanitizers), and after every tick the sprites of each
// kind must stay within what their spawn schedules and lifetimes allow.
#include "GameHostTest.h"

#include "graphics/PictureCollection.h"
#include "platform/Joystick.h"
#include "platform/VirtualKeys.h"

#include <algorithm>
#include <map>
#include <random>
#include <string>

namespace {

namespace vk = tw::platform::vk;
using tw::platform::MouseButton;

// Sprites of one kind alive at once: a kind made at most once every `period` moves of the field,
// living at most `life` moves, has at most life / period + 1 alive; the +1 more covers those
// marked dead in the last tick, which the next tick frees.
int bound(int life, int period) { return life / period + 2; }

// The most sprites of each kind that may be in the tree after a tick, from the rules that make and
// end them. A move of the field is one `MoveSelf` of every sprite; a playing tick makes one (two
// in the tick of a death), a dying tick one, and nothing else moves.
std::map<std::string, int> spriteBounds(TPictureCollection& pictures) {
    auto width = [&](const char* name) { return pictures.Find(name)->Width(); };
    auto widest = [&](const std::string& stem, int n) {
        int w = 0;
        for (int i = 1; i <= n; ++i) w = std::max(w, width((stem + std::to_string(i)).c_str()));
        return w;
    };
    const int fishWidth = widest("enemy", 13);
    std::map<std::string, int> b;
    // Background, dialog frame, status bar, air gauge, lives, three indicators, diver, engine.
    b["fixed"] = 10;
    // Bubbles: one per step of the diver; each rises 2 a step from at most the floor's bound
    // (y 590) until it is above the rock (y 114 less its height).
    b["bubble"] = bound((590 - 114 + widest("bubble", 4)) / 2 + 1, 1);
    // Fish: at least 51 playing ticks apart (a delay of 50 or more). A straight fish swims 4 a step
    // or more; the crab walks 2 a step about a point it strays 50 from, so it lives longest.
    b["fish"] = bound((800 + fishWidth + 50) / 2 + 1, 51);
    // Bonuses, algae and treasure may come in consecutive ticks (a delay of 0 is drawn). Bonuses
    // drift 3 a step or more, algae and treasure 2.
    b["bonus"] = bound((800 + width("bonus")) / 3 + 2, 1);
    b["algae"] = bound((800 + widest("algae", 3)) / 2 + 1, 1);
    b["treasure"] = bound((800 + std::max(widest("treasure", 7), width("treasure8"))) / 2 + 1, 1);
    // Shots: a harpoon at most every 16 steps, a net every 33; both fly 10 a step across the screen.
    b["shot"] = bound(800 / 10 + 1, 16) + bound(800 / 10 + 1, 33);
    // Bodies of fish: each kill leaves at most one per shot that hits the fish in its last frame;
    // a body drifts 2 a step or more. Fish killed within a body's life came from that life plus a
    // fish's life of schedule. The diver leaves one body per life.
    const int bodyLife = (800 + width("killfish")) / 2 + 1;
    b["body"] = bound(bodyLife + b["fish"] * 51, 51) * b["shot"] + 1;
    // The ceiling: a new level lays its end piece and six groups of at most six pieces; a group
    // joins only as one has left, and the last piece closes it. The floor: nine pieces, one new for
    // each that leaves. The tick of a death moves the field twice, so two pieces of each may have
    // been marked dead in it.
    b["ceiling"] = 1 + 6 * 6 + 6 + 1 + 2;
    b["floor"] = 9 + 2;
    return b;
}

std::string kindOf(TSprite* s) {
    if (auto* r = dynamic_cast<TRelief*>(s)) return r->IsUp ? "ceiling" : "floor";
    if (dynamic_cast<TBubbleSprite*>(s)) return "bubble";
    if (dynamic_cast<TEnemySprite*>(s)) return "fish";
    if (dynamic_cast<TBonusSprite*>(s)) return "bonus";
    if (dynamic_cast<TGreenAlgae*>(s)) return "algae";
    if (dynamic_cast<TTreasureSprite*>(s)) return "treasure";
    if (dynamic_cast<THeroWeaponSprite*>(s)) return "shot";
    if (dynamic_cast<TDeadBodySprite*>(s)) return "body";
    return "fixed";
}

using GameSoakTest = GameHostTest;

TEST_F(GameSoakTest, ARandomGameOf100000TicksStaysWithinItsSpriteBounds) {
    tw::platform::VirtualJoystick stick(2, 4);
    ASSERT_TRUE(stick.attached());
    GameHostTest& fixture = *this;
    tw::test::GameHost& game = *host;
    startPlaying();
    const std::map<std::string, int> bounds = spriteBounds(game.form().DXImageList1->Items());
    std::map<std::string, int> highest;

    std::mt19937 random(20261212);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
    const std::uint8_t keys[] = {vk::Left,     vk::Right, vk::Up,     vk::Down,
                                 vk::LControl, vk::Space, vk::LShift, vk::Return};
    std::vector<std::uint8_t> held;
    bool leftHeld = false, rightHeld = false;
    int levels = 1, lifeTopUps = 0, pauses = 0;

    const int totalTicks = 100000;
    for (int t = 0; t < totalTicks; ++t) {
        // A new hand every 20 ticks: some keys, the mouse, the stick.
        if (t % 20 == 0) {
            for (std::uint8_t k : held) game.keyUp(k);
            held.clear();
            for (std::uint8_t k : keys)
                if (chance(25)) held.push_back(k);
            for (std::uint8_t k : held) game.keyDown(k);
            stick.setAxis(0, static_cast<std::int16_t>(static_cast<int>(random() % 65536) - 32768));
            stick.setAxis(1, static_cast<std::int16_t>(static_cast<int>(random() % 65536) - 32768));
            stick.setButton(0, chance(30));
            stick.setButton(1, chance(30));
        }
        if (chance(10))
            game.mouseMove(400 + static_cast<int>(random() % 41) - 20, 300 + static_cast<int>(random() % 41) - 20);
        if (chance(3)) {
            leftHeld = !leftHeld;
            if (leftHeld)
                game.mouseDown(MouseButton::Left, 400, 300);
            else
                game.mouseUp(MouseButton::Left, 400, 300);
        }
        if (chance(3)) {
            rightHeld = !rightHeld;
            if (rightHeld)
                game.mouseDown(MouseButton::Right, 400, 300);
            else
                game.mouseUp(MouseButton::Right, 400, 300);
        }
        // Now and then the window loses the focus (the game pauses) or the player pauses; P goes on.
        if (chance(1) && t % 7 == 0) {
            game.focusLost();
            game.runTicks(1 + static_cast<int>(random() % 5));
            game.focusGained();
        }
        if (chance(1) && t % 5 == 0) game.pressKey(vk::letter('P'));
        if (Shell.GameState == gsPaused) {
            ++pauses;
            game.runTicks(static_cast<int>(random() % 3));
            game.pressKey(vk::letter('P'));
        }
        // A bonus of every kind now and then, in the diver's way.
        if (chance(2) && Game.Hero && Game.Hero->Visible) {
            auto* bonus = new TBonusSprite(&fixture.root());
            bonus->X = Game.Hero->X + 60 + static_cast<int>(random() % 100);
            bonus->Y = std::clamp(Game.Hero->Y + static_cast<int>(random() % 41) - 20, 200, 500);
        }
        // The end of a game is tested on its own: here the lives never run out.
        if (Game.Lives < 2) {
            Game.Lives = 5;
            ++lifeTopUps;
        }

        game.runTicks(1);
        ASSERT_TRUE(IsGameInPlay(Shell.GameState)) << "tick " << t << ": state " << int(Shell.GameState);
        levels = std::max<int>(levels, Game.Level);

        std::map<std::string, int> counts;
        TSprite& root = fixture.root();
        for (int i = 0; i < root.ChildCount(); ++i) ++counts[kindOf(root.Child(i))];
        for (const auto& [kind, n] : counts) {
            highest[kind] = std::max(highest[kind], n);
            ASSERT_LE(n, bounds.at(kind)) << kind << " at tick " << t;
        }
    }
    for (std::uint8_t k : held) game.keyUp(k);

    std::printf("levels reached %d, lives topped up %d times, paused ticks %d\n", levels, lifeTopUps, pauses);
    for (const auto& [kind, n] : highest)
        std::printf("  %-9s most %4d of at most %4d\n", kind.c_str(), n, bounds.at(kind));
    // The play went somewhere: levels passed, fish shot, bonuses taken.
    EXPECT_GE(levels, 3);
    EXPECT_GT(highest["shot"], 0);
    EXPECT_GT(highest["body"], 0);
}

} // namespace
