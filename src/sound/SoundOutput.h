// SPDX-License-Identifier: MIT
// Where the sound device's mixer is heard: the game's audio device, or, in tests, an output that
// only mixes when asked to (so nothing plays on by itself between two checks).
#pragma once

#include "platform/AudioOutput.h"

class TSoundOutput {
public:
    virtual ~TSoundOutput() = default;
    virtual bool Open() = 0; // false: there is no sound device
    virtual int SampleRate() const = 0;
    virtual void Attach(tw::platform::AudioSource* source) = 0;
    virtual void Detach(tw::platform::AudioSource* source) = 0;
};

// The game's one audio device (shared with the music).
TSoundOutput& SystemSoundOutput();

// An output that is never opened as a device: the sources are mixed only through `Render`, the
// same sum as the device's callback, cut to 16 bits without its limiter and its delay, so a test
// sees every voice's samples exactly. `Available` false makes it a missing device.
class TManualSoundOutput : public TSoundOutput {
public:
    explicit TManualSoundOutput(bool available = true, int rate = 44100) : available_(available), rate_(rate) {}
    ~TManualSoundOutput() override;
    bool Open() override { return available_; }
    int SampleRate() const override { return rate_; }
    void Attach(tw::platform::AudioSource* source) override;
    void Detach(tw::platform::AudioSource* source) override;
    // Mixes `frames` stereo frames of every attached source, saturated to 16 bits.
    void Render(std::int16_t* out, int frames);
    int AttachedCount() const { return static_cast<int>(sources_.size()); }

private:
    bool available_;
    int rate_;
    std::vector<tw::platform::AudioSource*> sources_;
};
