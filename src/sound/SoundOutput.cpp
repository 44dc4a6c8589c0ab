// SPDX-License-Identifier: MIT
// The system sound output over the audio device, and the manual output used without one.
#include "sound/SoundOutput.h"

#include <algorithm>

namespace {

class SystemOutput : public TSoundOutput {
public:
    bool Open() override { return tw::platform::AudioOutput::instance().open(); }
    int SampleRate() const override { return tw::platform::AudioOutput::instance().sampleRate(); }
    void Attach(tw::platform::AudioSource* source) override { tw::platform::AudioOutput::instance().addSource(source); }
    void Detach(tw::platform::AudioSource* source) override {
        tw::platform::AudioOutput::instance().removeSource(source);
    }
};

} // namespace

TSoundOutput& SystemSoundOutput() {
    static SystemOutput output;
    return output;
}

TManualSoundOutput::~TManualSoundOutput() = default;

void TManualSoundOutput::Attach(tw::platform::AudioSource* source) {
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void TManualSoundOutput::Detach(tw::platform::AudioSource* source) { std::erase(sources_, source); }

void TManualSoundOutput::Render(std::int16_t* out, int frames) {
    std::vector<std::int32_t> accum(static_cast<std::size_t>(frames) * 2, 0);
    for (auto* s : sources_) s->mixInto(accum.data(), frames);
    tw::platform::saturateToInt16(accum.data(), out, frames * 2);
}
