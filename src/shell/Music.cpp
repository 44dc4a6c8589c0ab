// SPDX-License-Identifier: MIT
// The game's music calls on top of the XM player: numbered song handles, one song heard at a time,
// and the load-and-play step with its "Can't load music." failure.
#include "shell/Music.h"

#include "core/DataFile.h"
#include "platform/AudioOutput.h"
#include "platform/MessageBox.h"
#include "platform/PathResolver.h"
#include "platform/XmPlayer.h"

#include <exception>
#include <map>
#include <memory>
#include <vector>

namespace {

struct MusicState {
    tw::platform::XmPlayer player;
    std::map<std::uint32_t, std::unique_ptr<tw::platform::XmSong>> songs;
    std::uint32_t lastHandle = 0;
};

MusicState& music() {
    static MusicState state;
    return state;
}

tw::platform::XmSong* findSong(std::uint32_t handle) {
    auto& songs = music().songs;
    auto it = songs.find(handle);
    return it == songs.end() ? nullptr : it->second.get();
}

} // namespace

std::uint32_t SongLoadFromFile(const std::string& path, std::string* whyNot) {
    MusicState& state = music();
    // Read here rather than by the music library, so that a directory, a pipe or a link loop in
    // place of the song is named as such and can never block the game.
    const std::string file = tw::platform::resolvePath(path);
    std::unique_ptr<tw::platform::XmSong> song;
    try {
        const std::vector<std::uint8_t> bytes = ReadDataFile(file);
        song = tw::platform::XmSong::loadFromMemory(bytes.data(), bytes.size());
        if (!song && whyNot) *whyNot = DamagedFileMessage(file, "Not a song the music player can read");
    } catch (const std::exception& e) {
        if (whyNot) *whyNot = e.what();
    }
    if (!song) return 0;
    // The game loads before every play and never unloads; keeping only the song that is heard
    // stops memory from growing with every focus change.
    for (auto it = state.songs.begin(); it != state.songs.end();) {
        if (state.player.isPlaying(*it->second))
            ++it;
        else
            it = state.songs.erase(it);
    }
    do {
        ++state.lastHandle; // wraps after four billion loads; 0 stays "failed"
    } while (state.lastHandle == 0 || state.songs.count(state.lastHandle) != 0);
    state.songs.emplace(state.lastHandle, std::move(song));
    return state.lastHandle;
}

void SongPlay(std::uint32_t handle) {
    tw::platform::XmSong* song = findSong(handle);
    if (song == nullptr) return;
    // Without a sound card open() fails and the song plays on into a mix nobody hears.
    tw::platform::AudioOutput::instance().open();
    music().player.play(*song);
}

void SongStop(std::uint32_t handle) {
    if (tw::platform::XmSong* song = findSong(handle)) music().player.stop(*song);
}

void LoadAndPlaySong(const std::string& path, std::uint8_t& musicOn, std::uint32_t& songHandle) {
    if (musicOn != 1) return;
    std::string whyNot;
    songHandle = SongLoadFromFile(path, &whyNot);
    if (songHandle == 0) {
        tw::platform::showMessageBox("Can't load music.\n" + whyNot);
        musicOn = 0;
        return;
    }
    SongPlay(songHandle);
}

void SongUnloadAll() {
    MusicState& state = music();
    state.player.stopAll();
    state.songs.clear();
}
