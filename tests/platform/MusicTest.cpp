// SPDX-License-Identifier: MIT
// The music calls on real XM songs written by the test: handles, the load-and-play step with its
// "Can't load music." failure, stopping, and one song heard at a time.
#include "shell/Music.h"

#include "platform/AudioOutput.h"
#include "platform/MessageBox.h"

#include "support/TempDir.h"
#include "XmWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

using tw::platform::AudioOutput;
using tw::test::TempDir;
using tw::test::XmSongSpec;
using tw::test::XmWriter;

constexpr int kFrames = 4096;

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        tw::platform::setMessageBoxHandler([this](const std::string& text) { messages.push_back(text); });
        // With the device open (when there is one) and its lock held, the audio thread cannot
        // advance the song between our renders: what we render is the song from its start.
        AudioOutput::instance().open();
        lock_ = std::make_unique<AudioOutput::Lock>();
    }
    void TearDown() override {
        SongUnloadAll();
        lock_.reset();
        AudioOutput::instance().close();
        tw::platform::setMessageBoxHandler({});
    }

    // What the sources gave for `frames` frames: the output past the limiter's delay, which still
    // holds the end of the render before.
    static std::vector<std::int16_t> render(int frames = kFrames) {
        constexpr int delay = tw::platform::MixLimiter::kLookahead;
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames + delay) * 2);
        AudioOutput::instance().render(out.data(), frames + delay);
        out.erase(out.begin(), out.begin() + 2 * delay);
        return out;
    }
    static bool silent(const std::vector<std::int16_t>& samples) {
        return std::all_of(samples.begin(), samples.end(), [](std::int16_t s) { return s == 0; });
    }
    std::string song(const std::string& name, const XmSongSpec& params = {}) {
        const std::string path = dir / name;
        XmWriter::write(path, params);
        return path;
    }

    TempDir dir;
    std::vector<std::string> messages;

private:
    std::unique_ptr<AudioOutput::Lock> lock_;
};

TEST_F(MusicTest, UnreadableSongsGiveHandleZero) {
    EXPECT_EQ(SongLoadFromFile(dir / "missing.xm"), 0u);
    EXPECT_EQ(SongLoadFromFile(dir.touch("text.xm", "this is not a module")), 0u);
    auto bytes = XmWriter::build({});
    bytes.resize(100); // cut inside the header
    const std::string cut = dir / "cut.xm";
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 100);
    EXPECT_EQ(SongLoadFromFile(cut), 0u);
    EXPECT_TRUE(silent(render()));
}

TEST_F(MusicTest, MissingSongShowsTheMessageOnceAndSwitchesMusicOff) {
    std::uint8_t musicOn = 1;
    std::uint32_t songHandle = 77;
    LoadAndPlaySong(dir / "sound\\2.xm", musicOn, songHandle);
    EXPECT_EQ(messages, std::vector<std::string>{"Can't load music.\nCannot open file \"" + dir / "sound/2.xm" +
                                                 "\". No such file or directory"});
    EXPECT_EQ(musicOn, 0);
    EXPECT_EQ(songHandle, 0u);
    // Music is now off: the next call site loads nothing and shows nothing.
    LoadAndPlaySong(dir / "sound\\2.xm", musicOn, songHandle);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(musicOn, 0);
}

TEST_F(MusicTest, TheMessageNamesTheSongFileAndWhatIsWrong) {
    std::filesystem::create_directories(dir / "sound/1.xm");
    std::filesystem::create_symlink("2.xm", dir / "sound/2.xm"); // a link to itself
    dir.touch("sound/3.xm", "this is not a module");
    const struct {
        const char* file;
        std::string reason;
    } cases[] = {
        {"1.xm", "Cannot open file \"" + dir / "sound/1.xm" + "\". Is a directory"},
        {"2.xm", "Cannot open file \"" + dir / "sound/2.xm" + "\". Too many levels of symbolic links"},
        {"3.xm", "Cannot load file \"" + dir / "sound/3.xm" + "\". Not a song the music player can read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        messages.clear();
        std::uint8_t musicOn = 1;
        std::uint32_t songHandle = 0;
        LoadAndPlaySong(dir / (std::string("sound\\") + c.file), musicOn, songHandle);
        EXPECT_EQ(messages, std::vector<std::string>{"Can't load music.\n" + c.reason});
        EXPECT_EQ(musicOn, 0);
    }
}

TEST_F(MusicTest, MusicOffLoadsNothing) {
    const std::string path = song("1.xm");
    std::uint8_t musicOn = 0;
    std::uint32_t songHandle = 5;
    LoadAndPlaySong(path, musicOn, songHandle);
    EXPECT_EQ(songHandle, 5u);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(silent(render()));
}

TEST_F(MusicTest, LoadAndPlayStartsTheSongThroughBackslashNamesOfAnyCase) {
    dir.touch("Sound/placeholder");
    XmWriter::write(dir / "Sound/1.xm");
    std::uint8_t musicOn = 1;
    std::uint32_t songHandle = 0;
    LoadAndPlaySong(dir.path().string() + "\\SOUND\\1.XM", musicOn, songHandle);
    EXPECT_NE(songHandle, 0u);
    EXPECT_EQ(musicOn, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(silent(render()));
}

TEST_F(MusicTest, StopSilencesAndStoppingAgainOrZeroIsHarmless) {
    const std::uint32_t handle = SongLoadFromFile(song("1.xm"));
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(silent(render())) << "a loaded song is not heard before SongPlay";
    SongPlay(handle);
    const auto first = render();
    EXPECT_FALSE(silent(first));
    SongStop(handle);
    EXPECT_TRUE(silent(render()));
    SongStop(handle);
    SongStop(0);
    SongStop(handle + 1000); // never handed out
    EXPECT_TRUE(silent(render()));
    // Playing again starts the song from its beginning.
    SongPlay(handle);
    EXPECT_EQ(render(), first);
}

TEST_F(MusicTest, SecondSongReplacesTheFirst) {
    const std::string menu = song("1.xm", {.note = 49, .square = true});
    const std::string game = song("2.xm", {.note = 61, .square = false});

    // What the game song sounds like on its own.
    const std::uint32_t alone = SongLoadFromFile(game);
    SongPlay(alone);
    const auto expected = render();
    ASSERT_FALSE(silent(expected));
    SongUnloadAll();

    // The program starts the game song without stopping the menu song first.
    const std::uint32_t first = SongLoadFromFile(menu);
    SongPlay(first);
    const auto menuOnly = render();
    const std::uint32_t second = SongLoadFromFile(game);
    EXPECT_NE(second, first);
    SongPlay(second);
    const auto heard = render();
    EXPECT_NE(heard, menuOnly);
    EXPECT_EQ(heard, expected) << "the menu song is still mixed in";

    // Stopping the replaced song does not stop the one playing.
    SongStop(first);
    EXPECT_FALSE(silent(render()));
    SongStop(second);
    EXPECT_TRUE(silent(render()));
}

TEST_F(MusicTest, RepeatedLoadsKeepOnlyTheSongThatIsHeard) {
    // Every focus change loads the song again; the handles stay distinct and non-zero, and the
    // song that plays survives the loads that follow it.
    const std::string path = song("1.xm");
    std::uint32_t playing = SongLoadFromFile(path);
    SongPlay(playing);
    std::vector<std::uint32_t> handles{playing};
    for (int i = 0; i < 20; ++i) {
        const std::uint32_t handle = SongLoadFromFile(path);
        ASSERT_NE(handle, 0u);
        EXPECT_EQ(std::count(handles.begin(), handles.end(), handle), 0);
        handles.push_back(handle);
    }
    EXPECT_FALSE(silent(render()));
    SongStop(playing);
    EXPECT_TRUE(silent(render()));
    // The last one loaded can still be played.
    SongPlay(handles.back());
    EXPECT_FALSE(silent(render()));
}

} // namespace
