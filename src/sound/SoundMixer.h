// SPDX-License-Identifier: MIT
// The sound-effect mixer: voices that play shared, immutable sample data (already in the device's
// format) with their own position, frequency, pan and volume, summed into the audio device as one
// source. This is what stands in for the platform's sound buffers.
#pragma once

#include "platform/AudioOutput.h"
#include "sound/Wave.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

// Samples converted once, at load, to interleaved signed 16-bit stereo at the device's rate.
// Shared by a buffer and all its duplicates; never changed after it is made.
struct SampleData {
    std::vector<std::int16_t> frames; // 2 values per frame
    std::uint32_t frameCount = 0;
    PcmFormat source; // the wave's own layout, for positions and frequency
    int deviceRate = 0;
};

// Converts PCM bytes of `format` to the device layout: 8-bit is re-centred and scaled, wider
// integers keep their top 16 bits, floats are clipped to -1..1 and scaled; mono is copied to both
// channels and more channels are mixed down; the rate is changed by linear interpolation. A partial
// last frame is dropped.
std::shared_ptr<const SampleData> convertToDevice(const PcmFormat& format, std::span<const std::uint8_t> bytes,
                                                  int deviceRate);

class SoundMixer;

// One playing position over a SampleData. All methods are for the game thread and take the
// mixer's lock only briefly; the audio thread reads the voice under the same lock.
class SoundVoice {
public:
    SoundVoice(SoundMixer& mixer, std::shared_ptr<const SampleData> data);
    ~SoundVoice();
    SoundVoice(const SoundVoice&) = delete;
    SoundVoice& operator=(const SoundVoice&) = delete;

    const std::shared_ptr<const SampleData>& Data() const { return data_; }

    void Play(bool loop);
    void Stop();
    bool Playing() const;
    bool Looping() const;
    // In bytes of the wave's own format, as the game counts them.
    void SetPosition(std::uint32_t bytes);
    std::uint32_t Position() const;
    // 0 is the wave's own rate; otherwise hertz, kept within 100..200000.
    void SetFrequency(int hz);
    int Frequency() const;
    // Hundredths of a decibel: pan -10000 (left only) .. 10000 (right only), volume -10000 .. 0.
    void SetPan(int pan);
    int Pan() const;
    void SetVolume(int volume);
    int Volume() const;
    // Gains applied to the left and right channel, 65536 being unchanged.
    std::int32_t GainLeft() const;
    std::int32_t GainRight() const;

private:
    friend class SoundMixer;
    void updateGains(); // under the lock
    // Audio thread, under the lock. A voice that is not `audible` moves on without adding anything.
    void mix(std::int32_t* accum, int frames, bool audible);
    // Whether this voice, which has just been mixed, sounded exactly what `other` is about to.
    bool sameSoundAs(const SoundVoice& other) const;

    SoundMixer& mixer_;
    std::shared_ptr<const SampleData> data_; // owned here, on the game thread
    // What the audio thread reads:
    const std::int16_t* samples_ = nullptr;
    std::uint64_t length_ = 0; // frameCount in 32.32 fixed point
    std::uint64_t pos_ = 0;    // 32.32 fixed point, in device frames
    std::uint64_t step_ = 1ull << 32;
    std::int32_t gainL_ = 65536, gainR_ = 65536;
    bool playing_ = false, looping_ = false;
    int frequency_ = 0, pan_ = 0, volume_ = 0;
    SoundVoice* prev_ = nullptr; // the mixer's list of voices
    SoundVoice* next_ = nullptr;
    // Where the voice stood when the current mixing pass took it (audio thread).
    bool mixedThisPass_ = false;
    std::uint64_t passStart_ = 0;
};

class SoundMixer : public tw::platform::AudioSource {
public:
    explicit SoundMixer(int deviceRate) : deviceRate_(deviceRate) {}
    ~SoundMixer() override;
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    int DeviceRate() const { return deviceRate_; }
    int VoiceCount() const;
    // Voices sounding now: how many effects overlap in the mix.
    int PlayingCount() const;

    // Audio thread: adds every playing voice. No allocation; the lock is shared only with the short
    // setters of SoundVoice. Voices that play the same samples from the same place at the same
    // rate and gains (two copies of one sound started in the same frame) are heard once: they are
    // one sound, which summed would only be twice as loud.
    void mixInto(std::int32_t* accum, int frames) override;

private:
    friend class SoundVoice;
    void link(SoundVoice& v);
    void unlink(SoundVoice& v);

    int deviceRate_;
    mutable std::mutex lock_;
    SoundVoice* head_ = nullptr;
    int voices_ = 0;
};
