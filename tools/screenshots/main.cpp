// SPDX-License-Identifier: MIT
// screenshots: opens every menu screen and dialog, and the game's screens, in the headless host on
// the built game data and saves each as a PNG, so the art and the texts can be looked at together.
//   screenshots <output folder> [<folder holding data/ and sound/>]
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "host/GameHost.h"
#include "support/RawSocket.h"
#include "shell/MainForm.h"
#include "shell/MenuField.h"
#include "state/ShellState.h"
#include "state/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A fresh folder with links to the data, so the game's "config.dat" is written there and not beside
// the build's data.
fs::path makeRunFolder(const fs::path& data) {
    std::string pattern = (fs::temp_directory_path() / "tidewarden-shots-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    const fs::path folder = pattern;
    for (const char* sub : {"data", "sound"}) fs::create_directory_symlink(fs::absolute(data / sub), folder / sub);
    return folder;
}

struct Shot {
    std::string file;
    std::function<void(tw::test::GameHost&)> open;
};

// Moves to an item of the current screen and chooses it, as the player does.
void choose(tw::test::GameHost& host, std::uint8_t item) {
    Shell.MenuSelection = item;
    host.form().ShowSelection();
    host.form().RunMenuCommand();
}

void openHelpPage(tw::test::GameHost& host, int page) {
    choose(host, msHelp);
    for (int p = 1; p < page; ++p) choose(host, 2); // next page
}

void startGame(tw::test::GameHost& host) {
    Shell.MenuScreen = msMain;
    choose(host, 1);
}

// A game in play, some way into level 1.
void playing(tw::test::GameHost& host) {
    startGame(host);
    host.runTicks(94);
    // Down below the rock for a while, so the diver is not pushed into the left edge.
    host.keyDown(0x28);
    host.runTicks(60);
    host.keyUp(0x28);
    host.runTicks(140);
    // Should a fish have caught the idle diver, wait for its next life.
    for (int t = 0; t < 400 && !(Shell.GameState == gsPlaying && Game.Hero->Visible); ++t) host.runTicks(1);
}

// Every kind of sprite in play at once, placed where each shows.
void busyField(tw::test::GameHost& host) {
    playing(host);
    TSprite& root = host.form().DXSpriteEngine1->Engine();
    for (std::int32_t kind = 1; kind <= 13; ++kind) {
        auto* fish = new TEnemySprite(&root, kind);
        fish->X = 250 + (kind - 1) % 4 * 140;
        fish->Y = 190 + (kind - 1) / 4 * 85;
    }
    new TDeadBodySprite(&root, 620, 1, 540);
    for (std::int32_t kind = 1; kind <= 3; ++kind) {
        auto* algae = new TGreenAlgae(&root, kind);
        algae->X = 40 + kind * 60;
    }
    auto* treasure = new TTreasureSprite(&root);
    treasure->X = 330;
    for (int i = 0; i < 3; ++i) {
        auto* bonus = new TBonusSprite(&root);
        bonus->X = 470 + i * 110;
    }
    // The diver in open water, alive, with its hand engine.
    Shell.GameState = gsPlaying;
    Game.Hero->Visible = true;
    Game.Hero->X = 150;
    Game.Hero->Y = 420;
    if (Game.EngineSprite) Game.EngineSprite->Visible = true;
    for (TBonusIndicatorSprite* indicator : {Game.SupergunIndicator, Game.NetIndicator, Game.EngineIndicator})
        if (indicator) indicator->Start();
}

// A game just lost with a score that reaches the table: the name entry, name and country typed.
void nameEntry(tw::test::GameHost& host) {
    playing(host);
    Game.Score = 550;
    host.closeRequest();
    host.pressKey(0x0D); // YES: the game ends
    host.runTicks(94);
    host.typeText("Ann");
    host.pressKey(0x28); // down to the country
    host.typeText("nz");
    host.pressKey(0x26);    // back to the name
    Shell.BlinkCounter = 0; // the next frame shows the cursor
}

void sendQuery(tw::test::GameHost& host) {
    nameEntry(host);
    host.pressKey(0x0D);
}

// The diver alive low in open water, every timed bonus running, nothing new coming in for a while.
void readyToFight(tw::test::GameHost& host) {
    playing(host);
    Shell.GameState = gsPlaying;
    Game.Hero->Visible = true;
    Game.Hero->X = 60;
    Game.Hero->Y = 440;
    Game.Air = Game.AirMax;
    Game.EnemyDelay = Game.BonusDelay = 500;
    for (TBonusIndicatorSprite* indicator : {Game.SupergunIndicator, Game.NetIndicator, Game.EngineIndicator})
        if (indicator) indicator->Start();
}

// Holds the harpoon and the net for a while: shots fly with their lines, a net opens, and the fish
// put in their way are killed and sink.
void fight(tw::test::GameHost& host, int ticks) {
    TSprite& root = host.form().DXSpriteEngine1->Engine();
    for (std::int32_t kind : {1, 4, 8}) {
        auto* fish = new TEnemySprite(&root, kind);
        fish->X = 380 + kind * 30;
        fish->Y = Game.Hero->Y + 10;
    }
    host.keyDown(0x20); // Space: the harpoon
    host.keyDown(0x0D); // Enter: the net
    host.runTicks(ticks);
    host.keyUp(0x20);
    host.keyUp(0x0D);
}

// All thirteen fish above the diver, who fights below them with the supergun and the net: shots in
// flight with their lines, a net opening, bodies of the fish it killed sinking, treasure.
void fishAndShots(tw::test::GameHost& host) {
    readyToFight(host);
    Game.Hero->GunRate = 12; // the supergun runs
    fight(host, 36);
    TSprite& root = host.form().DXSpriteEngine1->Engine();
    for (std::int32_t kind = 1; kind <= 13; ++kind) {
        auto* fish = new TEnemySprite(&root, kind);
        fish->X = 300 + (kind - 1) % 4 * 130;
        if (kind == 7)
            fish->WaveBaseX = fish->X; // the crab keeps to the floor
        else
            fish->Y = 125 + (kind - 1) / 4 * 68;
    }
    auto* treasure = new TTreasureSprite(&root);
    treasure->X = 700;
}

// The six bonuses on their floats, the three timed ones running, the diver with its hand engine.
void bonuses(tw::test::GameHost& host) {
    readyToFight(host);
    Game.Hero->Y = 500;
    Game.EngineSprite->Visible = true;
    fight(host, 3);
    TSprite& root = host.form().DXSpriteEngine1->Engine();
    for (std::int32_t kind = bkPoints; kind <= bkLife; ++kind) {
        auto* bonus = new TBonusSprite(&root);
        bonus->SetKind(kind, 50);
        bonus->X = 250 + (kind - 1) * 90;
        bonus->Y = 220 + (kind % 2) * 90;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: screenshots <output folder> [<folder holding data/ and sound/>]\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path data = argc == 3 ? fs::path(argv[2]) : fs::path(TW_RUN_DIR);
    try {
        fs::create_directories(out);
        const fs::path runFolder = makeRunFolder(data);
        std::vector<Shot> shots = {
            {"main-menu.png", [](auto&) {}},
            {"options.png", [](auto& h) { choose(h, msOptions); }},
            {"options-country.png",
             [](auto& h) {
                 Settings.Country.SetText("de");
                 choose(h, msOptions);
                 choose(h, 4);            // starts editing the country
                 Shell.BlinkCounter = 20; // the next frame shows the cursor
             }},
            {"high-scores.png", [](auto& h) { choose(h, msScores); }},
            {"exit-query.png", [](auto& h) { h.closeRequest(); }},
            {"exit-query-no.png",
             [](auto& h) {
                 h.closeRequest();
                 Shell.MenuSelection = 2;
             }},
            {"clear-scores.png",
             [](auto& h) {
                 choose(h, msScores);
                 choose(h, 1);
             }},
            {"boss-key.png",
             [](auto& h) {
                 choose(h, msOptions);
                 choose(h, 5);
             }},
        };
        for (int page = 1; page <= THelpImageSprite::PageCount; ++page) {
            shots.push_back({"help-" + std::to_string(page) + ".png", [page](auto& h) { openHelpPage(h, page); }});
        }
        shots.push_back({"game-level-intro.png", [](auto& h) {
                             startGame(h);
                             h.runTicks(20);
                         }});
        shots.push_back({"game-play.png", [](auto& h) { busyField(h); }});
        shots.push_back({"game-fish-and-shots.png", [](auto& h) { fishAndShots(h); }});
        shots.push_back({"game-bonuses.png", [](auto& h) { bonuses(h); }});
        shots.push_back({"game-pause.png", [](auto& h) {
                             playing(h);
                             h.pressKey(0x50); // P
                         }});
        shots.push_back({"game-exit-query.png", [](auto& h) {
                             playing(h);
                             h.closeRequest();
                         }});
        shots.push_back({"game-death.png", [](auto& h) {
                             playing(h);
                             Game.Air = 0;
                             h.runTicks(30);
                         }});
        shots.push_back({"game-over.png", [](auto& h) {
                             playing(h);
                             Game.Lives = 1;
                             Game.Air = 0;
                             for (int t = 0; t < 400 && Shell.GameState != gsGameOver; ++t) h.runTicks(1);
                             h.runTicks(10);
                         }});
        shots.push_back({"game-name-entry.png", [](auto& h) { nameEntry(h); }});
        shots.push_back({"game-exit-query-name-entry.png", [](auto& h) {
                             nameEntry(h);
                             h.closeRequest();
                         }});
        shots.push_back({"game-send-query.png", [](auto& h) { sendQuery(h); }});
        shots.push_back({"game-sending.png", [](auto& h) {
                             static tw::test::RawSocket silent(true);
                             sendQuery(h);
                             h.form().IdHTTP1->BaseUrl = silent.base();
                             h.pressKey(0x0D);
                         }});
        shots.push_back({"game-send-failed.png", [](auto& h) {
                             static tw::test::RawSocket refusing(false);
                             sendQuery(h);
                             h.form().IdHTTP1->BaseUrl = refusing.base();
                             h.pressKey(0x0D);
                             for (int t = 0; t < 2000 && Shell.GameState == gsSending; ++t) {
                                 h.runTicks(1);
                                 usleep(2000);
                             }
                         }});
        for (const Shot& shot : shots) {
            tw::test::GameHost::Options options;
            options.runFolder = runFolder;
            tw::test::GameHost host(options);
            if (!host.messages().empty()) throw std::runtime_error(host.messages().front());
            shot.open(host);
            host.runTicks(1);
            host.saveScreenshot(out / shot.file);
            std::printf("%s\n", (out / shot.file).c_str());
        }
        fs::remove_all(runFolder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "screenshots: %s\n", e.what());
        return 1;
    }
    return 0;
}
