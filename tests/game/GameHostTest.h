// SPDX-License-Identifier: MIT
// A fixture for scripted play: a headless game on the built data, started from the main menu and
// past its level announcement, with helpers to reach into the field.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/DXSprite.h"
#include "game/GameField.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "host/GameHost.h"
#include "shell/MenuField.h"
#include "sound/DXSounds.h"
#include "state/ShellState.h"

class GameHostTest : public ::testing::Test {
public:
    void SetUp() override { makeHost(); }

    void makeHost(std::uint32_t seed = 12345) {
        host.reset();
        Menu = MenuFieldState{};
        tw::test::GameHost::Options options;
        options.gameData = true;
        options.seed = seed;
        host = std::make_unique<tw::test::GameHost>(options);
        host->runTicks(1);
        ASSERT_EQ(Shell.GameState, gsMenu);
    }

    // START GAME from the main menu, as the player chooses it.
    void startGame() {
        Shell.MenuScreen = msMain;
        Shell.MenuSelection = 1;
        host->form().RunMenuCommand();
    }

    // Started and announced: the next tick is the first one of play.
    void startPlaying() {
        startGame();
        ASSERT_EQ(Shell.GameState, gsLevelIntro);
        host->runTicks(94);
        ASSERT_EQ(Shell.GameState, gsPlaying);
    }

    TSprite& root() { return host->form().DXSpriteEngine1->Engine(); }

    template <class Sprite>
    int countLive() {
        int n = 0;
        for (int i = 0; i < root().ChildCount(); ++i)
            if (auto* s = dynamic_cast<Sprite*>(root().Child(i)); s && !s->Dead()) ++n;
        return n;
    }

    template <class Sprite>
    Sprite* firstLive() {
        for (int i = 0; i < root().ChildCount(); ++i)
            if (auto* s = dynamic_cast<Sprite*>(root().Child(i)); s && !s->Dead()) return s;
        return nullptr;
    }

    THeroSprite& hero() { return *Game.Hero; }

    // From now on, the names of the sounds the game asks to play go into sounds, in order.
    void recordSounds() {
        host->form().DXWaveList1->Items().OnPlay = [this](const TWaveCollectionItem& item) {
            sounds.push_back(item.Name());
        };
    }
    std::vector<std::string> sounds;

    std::unique_ptr<tw::test::GameHost> host;
};
