// SPDX-License-Identifier: MIT
// XM songs rendered by libxmp into the audio device: one loaded song per XmSong, and the player
// that mixes the one song heard at a time.
#pragma once

#include "platform/AudioOutput.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tw::platform {

class XmSong {
public:
    // The song in the file, or nullptr when the file is missing or not a module libxmp can read.
    static std::unique_ptr<XmSong> load(const std::string& path);
    // The same from a file's bytes already in memory.
    static std::unique_ptr<XmSong> loadFromMemory(const void* data, std::size_t size);
    ~XmSong();
    XmSong(const XmSong&) = delete;
    XmSong& operator=(const XmSong&) = delete;

    struct Impl; // libxmp's context, kept out of this header

private:
    explicit XmSong(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    friend class XmPlayer;
};

class XmPlayer : public AudioSource {
public:
    // Registers with AudioOutput::instance() for its whole lifetime.
    XmPlayer();
    ~XmPlayer() override;
    XmPlayer(const XmPlayer&) = delete;
    XmPlayer& operator=(const XmPlayer&) = delete;

    // Starts `song` from its beginning at the device's rate, looping; whatever played before stops.
    // Returns false (and plays nothing) when libxmp cannot start it.
    bool play(XmSong& song);
    // Stops `song` if it is the one playing; anything else is left alone.
    void stop(const XmSong& song);
    void stopAll();
    bool isPlaying(const XmSong& song) const;

    void mixInto(std::int32_t* accum, int frames) override;

    // libxmp's player volume, in percent of the song's own level: the songs are written to fill
    // their range, and in the game they sit 2 dB under it, leaving the effects room on top.
    static constexpr int kMusicVolume = 80;

private:
    XmSong* current_ = nullptr;         // read by the audio thread; changed under the device lock
    std::vector<std::int16_t> scratch_; // libxmp renders here before it is added to the mix
};

} // namespace tw::platform
