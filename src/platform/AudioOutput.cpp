// SPDX-License-Identifier: MIT
// The one SDL audio device and the mixing callback that sums every registered source into it.
#include "platform/AudioOutput.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <limits>

namespace tw::platform {

namespace {
// libxmp and our own resampling accept rates in this range; outside it we let SDL convert.
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 48000;
} // namespace

void saturateToInt16(const std::int32_t* accum, std::int16_t* out, int samples) {
    constexpr std::int32_t lo = std::numeric_limits<std::int16_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int16_t>::max();
    for (int i = 0; i < samples; ++i) out[i] = static_cast<std::int16_t>(std::clamp(accum[i], lo, hi));
}

AudioOutput& AudioOutput::instance() {
    static AudioOutput output;
    return output;
}

AudioOutput::AudioOutput() : accum_(static_cast<std::size_t>(kBufferFrames * kChannels)) {
    // Sources register and unregister often (music, voices); reserve so the list rarely grows.
    sources_.reserve(64);
}

AudioOutput::~AudioOutput() { close(); }

bool AudioOutput::open() {
    if (renderOnly_) {
        if (!renderOnlyOpen_) limiter_.reset(rate_);
        renderOnlyOpen_ = true;
        return true;
    }
    if (device_ != 0) return true;
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        sdlAudioStarted_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = kDefaultRate;
    want.format = AUDIO_S16SYS;
    want.channels = kChannels;
    want.samples = kBufferFrames;
    want.callback = &AudioOutput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id != 0 && (have.freq < kMinRate || have.freq > kMaxRate)) {
        // A rate the song renderer cannot produce: ask for 44100 and let SDL convert instead.
        SDL_CloseAudioDevice(id);
        id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (id == 0) {
        if (sdlAudioStarted_) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            sdlAudioStarted_ = false;
        }
        return false;
    }
    // The accumulator must hold a whole callback buffer, so the callback never allocates.
    const std::size_t needed = static_cast<std::size_t>(std::max<int>(have.samples, kBufferFrames)) * kChannels;
    if (accum_.size() < needed) accum_.resize(needed);
    rate_ = have.freq;
    limiter_.reset(rate_);
    device_ = id;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioOutput::close() {
    // SDL_Quit at the end of the program may already have closed the device and the subsystem.
    const bool audioAlive = SDL_WasInit(SDL_INIT_AUDIO) != 0;
    if (device_ != 0 && audioAlive) SDL_CloseAudioDevice(device_);
    device_ = 0;
    if (sdlAudioStarted_ && audioAlive) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdlAudioStarted_ = false;
    renderOnlyOpen_ = false;
    rate_ = kDefaultRate;
    // A closed output forgets the frames still in the limiter's delay.
    limiter_.reset(rate_);
}

void AudioOutput::setRenderOnly(bool renderOnly) {
    close();
    renderOnly_ = renderOnly;
}

bool AudioOutput::isOpen() const { return device_ != 0 || renderOnlyOpen_; }

int AudioOutput::sampleRate() const { return rate_; }

AudioOutput::Lock::Lock() : device_(AudioOutput::instance().device_) {
    if (device_ != 0) SDL_LockAudioDevice(device_);
}

AudioOutput::Lock::~Lock() {
    if (device_ != 0) SDL_UnlockAudioDevice(device_);
}

void AudioOutput::addSource(AudioSource* source) {
    if (source == nullptr) return;
    Lock lock;
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void AudioOutput::removeSource(AudioSource* source) {
    Lock lock;
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void AudioOutput::mixChunked(std::int16_t* out, int frames) {
    const int chunk = static_cast<int>(accum_.size()) / kChannels;
    while (frames > 0) {
        const int n = std::min(frames, chunk);
        const std::size_t samples = static_cast<std::size_t>(n) * kChannels;
        std::memset(accum_.data(), 0, samples * sizeof(std::int32_t));
        for (AudioSource* source : sources_) source->mixInto(accum_.data(), n);
        limiter_.process(accum_.data(), out, n);
        out += samples;
        frames -= n;
    }
}

void AudioOutput::render(std::int16_t* out, int frames) {
    if (out == nullptr || frames <= 0) return;
    // Shares the accumulator with the callback, so it holds the device lock while mixing.
    Lock lock;
    mixChunked(out, frames);
}

void AudioOutput::callback(void* self, std::uint8_t* stream, int bytes) {
    // SDL holds the device lock while this runs; addSource/removeSource wait for it.
    auto* output = static_cast<AudioOutput*>(self);
    const int frames = bytes / static_cast<int>(kChannels * sizeof(std::int16_t));
    output->mixChunked(reinterpret_cast<std::int16_t*>(stream), frames);
}

} // namespace tw::platform
