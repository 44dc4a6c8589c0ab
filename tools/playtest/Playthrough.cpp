// SPDX-License-Identifier: MIT
// Drives one game tick by tick and keeps its record: deaths by cause, level lengths, air left.
#include "Playthrough.h"

#include "game/GameSprites.h"
#include "game/GameState.h"
#include "host/GameHost.h"
#include "platform/VirtualKeys.h"
#include "shell/Config.h"
#include "state/Settings.h"
#include "state/ShellState.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>

namespace playtest {

namespace {

namespace vk = tw::platform::vk;

// Presses and lets go of the keys whose state changes.
void holdKeys(tw::test::GameHost& host, Keys& held, const Keys& wanted) {
    auto key = [&](bool& was, bool now, std::uint8_t code) {
        if (was == now) return;
        if (now)
            host.keyDown(code);
        else
            host.keyUp(code);
        was = now;
    };
    key(held.up, wanted.up, vk::Up);
    key(held.down, wanted.down, vk::Down);
    key(held.left, wanted.left, vk::Left);
    key(held.right, wanted.right, vk::Right);
    key(held.fire, wanted.fire, vk::Space);
    key(held.net, wanted.net, vk::Shift);
}

DiverState feel(const THeroSprite& hero) {
    DiverState self;
    self.x = hero.X;
    self.y = hero.Y;
    self.w = hero.Width;
    self.h = hero.Height;
    self.vx = hero.HeroVelocityX;
    self.vy = hero.HeroVelocityY;
    self.gunCooldown = hero.GunCooldown;
    self.gunInterval = 200 / hero.GunRate;
    self.netRunning = Game.NetIndicator && Game.NetIndicator->Visible;
    self.engineShown = Game.EngineSprite && Game.EngineSprite->Visible;
    self.air = Game.Air;
    self.airMax = Game.AirMax;
    self.lives = Game.Lives;
    self.scroll = Game.ScrollSpeed;
    return self;
}

// A run folder of its own on other game data: links to its folders and quiet settings.
class RunFolder {
public:
    explicit RunFolder(const std::filesystem::path& data) {
        std::string pattern = (std::filesystem::temp_directory_path() / "tidewarden-playtest-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary run folder");
        path_ = pattern;
        for (const char* sub : {"data", "sound"})
            std::filesystem::create_directory_symlink(std::filesystem::absolute(data / sub), path_ / sub);
        SettingsState quiet;
        quiet.MusicOn = 0;
        quiet.SoundOn = 0;
        WriteConfigFile(path_ / "config.dat", quiet);
    }
    ~RunFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace

GameRecord PlayGame(const Profile& profile, std::uint32_t seed, const Limits& limits) {
    std::unique_ptr<RunFolder> folder;
    if (!limits.data.empty()) folder = std::make_unique<RunFolder>(limits.data);
    tw::test::GameHost::Options options;
    options.gameData = true;
    options.seed = seed;
    options.musicOn = false;
    options.soundOn = false;
    if (folder) options.runFolder = folder->path();
    tw::test::GameHost host(options);
    host.runTicks(1);
    // START GAME is the main menu's first item, highlighted when the menu opens.
    host.pressKey(vk::Return);
    if (Shell.GameState != gsLevelIntro) throw std::runtime_error("Enter on the main menu did not start a game");

    AutoDiver diver(profile, seed * 2654435761u + 1);
    TSprite& root = host.form().DXSpriteEngine1->Engine();
    GameRecord game;
    game.levels.emplace_back();
    game.levels.back().airAtStart = Game.Air;
    Keys held;
    while (game.ticks < limits.maxTicks) {
        const TGameState state = Shell.GameState;
        const std::int32_t airBefore = Game.Air, livesBefore = Game.Lives;
        const int levelBefore = Game.Level;
        host.runTicks(1);
        ++game.ticks;
        if (!limits.shots.empty() && game.ticks % limits.shotEvery == 0)
            host.saveScreenshot(limits.shots / (profile.name + "-seed" + std::to_string(seed) + "-tick" +
                                                std::to_string(game.ticks) + ".png"));
        LevelRecord& level = game.levels.back();
        if (state == gsPlaying || state == gsHeroDying) ++level.ticks;
        if (Game.Lives < livesBefore) {
            // Out of air at the start of the diver's step; pushed past the left edge by rock: crushed.
            if (airBefore <= 0)
                ++level.lostToAir;
            else if (Game.Hero && Game.Hero->X < THeroSprite::MinX)
                ++level.lostToRock;
            else
                ++level.lostToFish;
        }
        if (Game.Level > levelBefore) {
            level.passed = true;
            level.airLeft = airBefore - 1; // the tick's breath came before the surface
            if (Game.Level > limits.maxLevel) break;
            game.levels.emplace_back();
            game.levels.back().airAtStart = Game.Air;
        }
        if (Shell.GameState == gsGameOver) {
            game.over = true;
            break;
        }
        if (Game.Hero) holdKeys(host, held, diver.Act(LookAtField(root), feel(*Game.Hero)));
    }
    game.levelReached = Game.Level;
    game.score = Game.Score;
    return game;
}

} // namespace playtest
