// SPDX-License-Identifier: MIT
// The game's music interface: load a song file, play it, stop it (XM songs rendered by XmPlayer),
// and the one load-and-play step that every place starting music goes through.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The two songs: the menus' and the game's.
inline constexpr std::string_view MenuSongFile = "sound\\1.xm";
inline constexpr std::string_view GameSongFile = "sound\\2.xm";

// A handle for the loaded song, or 0 when the file cannot be loaded; whyNot, when given, then gets
// the reason, naming the file. The path uses the game's backslash names ("sound\1.xm"), relative to
// the current directory.
std::uint32_t SongLoadFromFile(const std::string& path, std::string* whyNot = nullptr);
// Starts the song from its beginning; the song heard before stops. Unknown handles and 0 do nothing.
void SongPlay(std::uint32_t handle);
// Stops the song if it is the one playing; 0, unknown and already stopped handles are harmless.
void SongStop(std::uint32_t handle);

// Only when musicOn is 1: songHandle := SongLoadFromFile(path); on 0 the message box
// "Can't load music." is shown, with the file and the reason on the next line, and musicOn := 0;
// otherwise the song is played.
void LoadAndPlaySong(const std::string& path, std::uint8_t& musicOn, std::uint32_t& songHandle);

// Drops every loaded song and stops the music; for the end of the program and for tests.
void SongUnloadAll();
