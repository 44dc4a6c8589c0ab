// SPDX-License-Identifier: MIT
// The one audio device of the game and the mixing of everything that makes sound into it.
// Sources (the music player, the sound-effect voices) add into a 32-bit accumulator; the sum passes
// the mix's limiter on its way to 16 bits, so it never clips. Without a device everything stays silent.
#pragma once

#include "platform/MixLimiter.h"

#include <cstdint>
#include <vector>

namespace tw::platform {

class AudioSource {
public:
    virtual ~AudioSource() = default;
    // Called on the audio thread: ADD `frames` interleaved stereo frames into accum.
    // Must not allocate, block or throw.
    virtual void mixInto(std::int32_t* accum, int frames) = 0;
};

class AudioOutput {
public:
    static AudioOutput& instance();

    // Opens the one SDL audio device (signed 16-bit stereo, the device's own rate).
    // False, and silence, when there is no device.
    bool open();
    // While set, open() opens no SDL device but succeeds at the default rate, and the mix moves on
    // only through render(): a game recorded frame by frame, with nothing mixing behind its back.
    // Setting it closes a device that is open.
    void setRenderOnly(bool renderOnly);
    void close();
    bool isOpen() const;
    // The device's rate; 44100 while closed.
    int sampleRate() const;

    // Both take the device lock; a source is never called after removeSource returns.
    void addSource(AudioSource* source);
    void removeSource(AudioSource* source);

    // Exactly what the device callback does: zero an accumulator, let every source add into it,
    // limit the sum to 16 bits. Works without a device, for tests and benchmarks.
    void render(std::int16_t* out, int frames);
    // How often the limiter has acted since the program started (see MixLimiter): how often the
    // levels of the sources were not enough on their own.
    std::uint64_t limiterActions() const { return limiter_.actions(); }
    std::uint64_t limitedFrames() const { return limiter_.limitedFrames(); }

    // Holds the device lock for a short critical section shared with the callback. It locks the
    // device open at construction (none: nothing to lock); never close() the device while holding it.
    class Lock {
    public:
        Lock();
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        std::uint32_t device_;
    };

    static constexpr int kChannels = 2;
    static constexpr int kDefaultRate = 44100;
    static constexpr int kBufferFrames = 1024;

    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

private:
    AudioOutput();
    ~AudioOutput();
    // Mixes in accumulator-sized pieces; the caller holds the device lock.
    void mixChunked(std::int16_t* out, int frames);
    static void callback(void* self, std::uint8_t* stream, int bytes);

    std::uint32_t device_ = 0;
    int rate_ = kDefaultRate;
    bool sdlAudioStarted_ = false;
    bool renderOnly_ = false;
    bool renderOnlyOpen_ = false;
    std::vector<AudioSource*> sources_;
    std::vector<std::int32_t> accum_;
    MixLimiter limiter_;
};

// The sum of all sources cut to the 16-bit range, never wrapped (a mix without the limiter).
void saturateToInt16(const std::int32_t* accum, std::int16_t* out, int samples);

} // namespace tw::platform
