// SPDX-License-Identifier: MIT
// The mix of a real game, recorded headless: the menu song, then the game song with the effects of a
// diver who fires throughout and fights, rendered tick by tick through the audio device's own
// render path. No sample clips, the peak stays under the ceiling, and it is the levels of the songs
// and effects that keep it there: the limiter behind them hardly ever has to act.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Levels.h"
#include "engine/DXSprite.h"
#include "game/GameSprites.h"
#include "game/GameState.h"
#include "host/GameHost.h"
#include "platform/AudioOutput.h"
#include "platform/VirtualKeys.h"
#include "shell/MainForm.h"
#include "shell/Music.h"
#include "sound/DXSounds.h"
#include "sound/SoundMixer.h"
#include "state/ShellState.h"

namespace {

namespace vk = tw::platform::vk;
using tw::platform::AudioOutput;
using tw::platform::MixLimiter;

class MixRecording : public ::testing::Test {
protected:
    void SetUp() override {
        // Nothing mixes behind the test's back: the audio moves on only as each tick renders it.
        AudioOutput::instance().setRenderOnly(true);
        tw::test::GameHost::Options options;
        options.gameData = true;
        options.musicOn = true;
        options.soundOn = true;
        options.seed = 2024;
        host = std::make_unique<tw::test::GameHost>(options);
        ASSERT_TRUE(AudioOutput::instance().isOpen());
    }
    void TearDown() override {
        host.reset();
        SongUnloadAll();
        AudioOutput::instance().setRenderOnly(false);
    }

    // One tick of the game and the 16 ms of audio the device plays meanwhile.
    void tick() {
        host->runTicks(1);
        const int rate = AudioOutput::instance().sampleRate();
        ++ticks_;
        const auto until = static_cast<std::size_t>(static_cast<std::int64_t>(ticks_) * rate * 16 / 1000);
        const std::size_t frames = until - recording.size() / 2;
        const std::size_t at = recording.size();
        recording.resize(at + 2 * frames);
        AudioOutput::instance().render(recording.data() + at, static_cast<int>(frames));
        mostVoices = std::max(mostVoices, host->form().DXSound1->DSound()->Mixer().PlayingCount());
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) tick();
    }

    // From the main menu, with fire held throughout and the diver steered as a player aims, until
    // the game ends or `limit` ticks have passed.
    void playGame(int limit, int pileUpAt = -1) {
        host->pressKey(vk::Return); // the main menu opens on START GAME
        ASSERT_EQ(Shell.GameState, gsLevelIntro);
        host->keyDown(vk::Space);
        for (int t = 0; t < limit && IsGameInPlay(Shell.GameState); ++t) {
            steer();
            if (t == pileUpAt) pileUp();
            tick();
        }
        for (std::uint8_t key : {vk::Up, vk::Down, vk::Left, vk::Right})
            if (held_[key]) host->keyUp(key);
        host->keyUp(vk::Space);
    }

    // Level with the nearest fish ahead, or else the nearest bonus, a third of the way across.
    void steer() {
        if (Shell.GameState != gsPlaying || Game.Hero == nullptr) return;
        const THeroSprite& hero = *Game.Hero;
        const int heroY = hero.Y + hero.Height / 2;
        int aimY = heroY, nearest = 1 << 30;
        TSprite& root = host->form().DXSpriteEngine1->Engine();
        for (bool fish : {true, false}) {
            for (int i = 0; i < root.ChildCount(); ++i) {
                TSprite* s = root.Child(i);
                const bool wanted =
                    fish ? dynamic_cast<TEnemySprite*>(s) != nullptr : dynamic_cast<TBonusSprite*>(s) != nullptr;
                if (!wanted || s->Dead() || s->X + s->Width < hero.X || s->X >= nearest) continue;
                nearest = s->X;
                aimY = s->Y + s->Height / 2;
            }
            if (nearest < 800) break;
        }
        hold(vk::Up, aimY < heroY - 8);
        hold(vk::Down, aimY > heroY + 8);
        hold(vk::Left, hero.X > 280);
        hold(vk::Right, hero.X < 180);
    }
    void hold(std::uint8_t key, bool down) {
        if (held_[key] == down) return;
        held_[key] = down;
        if (down)
            host->keyDown(key);
        else
            host->keyUp(key);
    }

    // Every effect but the gun at once, on top of the gun and the song: the worst the game can do.
    void pileUp() {
        auto& waves = host->form().DXWaveList1->Items();
        for (const char* name :
             {"looser", "nextlevel", "herodiefish", "herodieair", "bonus", "fishdie", "heronet", "menu"})
            waves.Find(name).Play(false);
    }

    std::unique_ptr<tw::test::GameHost> host;
    std::vector<std::int16_t> recording; // interleaved stereo, from the host's creation
    int mostVoices = 0;

private:
    int ticks_ = 0;
    std::array<bool, 256> held_{};
};

TEST_F(MixRecording, AGameWithFireHeldNeverClipsAndLeavesTheLimiterIdle) {
    // The menu song, and the menu blip of moving the selection down and back up.
    for (int i = 0; i < 4; ++i) {
        ticks(30);
        host->pressKey(i % 2 ? vk::Up : vk::Down);
    }
    ticks(30);
    const std::uint64_t limitedBefore = AudioOutput::instance().limitedFrames();
    const std::uint64_t actionsBefore = AudioOutput::instance().limiterActions();
    playGame(3000);
    ticks(120); // the end of the game: its last sounds die away

    const auto mix = tw::levels::measure(recording, 2);
    const auto frames = recording.size() / 2;
    const std::uint64_t limited = AudioOutput::instance().limitedFrames() - limitedBefore;
    const std::uint64_t actions = AudioOutput::instance().limiterActions() - actionsBefore;
    RecordProperty("peak_dbfs", std::to_string(tw::levels::dbfs(mix.peak)));
    RecordProperty("rms_dbfs", std::to_string(tw::levels::dbfs(mix.rms)));
    RecordProperty("limiter_actions", std::to_string(actions));
    RecordProperty("limited_frames", std::to_string(limited));
    RecordProperty("most_voices", std::to_string(mostVoices));

    EXPECT_GE(mostVoices, 3) << "too little happened for a test of the mix";
    EXPECT_EQ(mix.clippedSamples, 0u);
    EXPECT_LE(mix.peak, MixLimiter::kCeiling) << "over the limiter's ceiling of -1 dBFS";
    // A clean mix made by turning everything down is no answer: the game is heard at a proper level.
    EXPECT_GT(tw::levels::dbfs(mix.rms), -26.0);
    // The songs and effects fit under the ceiling by their own levels nearly all the time.
    EXPECT_LE(actions, 3u) << "the limiter acted " << actions << " times, on " << limited << " of " << frames
                           << " frames";
    EXPECT_LT(static_cast<double>(limited), 0.01 * static_cast<double>(frames))
        << limited << " of " << frames << " frames were turned down by the limiter";
}

TEST_F(MixRecording, EveryEffectAtOnceOverTheGunAndTheSongStaysUnderTheCeiling) {
    ticks(30);
    playGame(400, 200);
    const auto mix = tw::levels::measure(recording, 2);
    RecordProperty("peak_dbfs", std::to_string(tw::levels::dbfs(mix.peak)));
    RecordProperty("limited_frames", std::to_string(AudioOutput::instance().limitedFrames()));
    EXPECT_GE(mostVoices, 8);
    EXPECT_EQ(mix.clippedSamples, 0u);
    EXPECT_LE(mix.peak, MixLimiter::kCeiling);
}

} // namespace
