// SPDX-License-Identifier: MIT
// Conversion of wave data to the device layout, and the voices and their mixing.
#include "sound/SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr std::uint64_t kOne = 1ull << 32;

// One sample of any accepted layout, on the 16-bit scale.
std::int32_t sampleAt(const std::uint8_t* p, const PcmFormat& f) {
    if (f.isFloat) {
        double v = 0;
        if (f.bitsPerSample == 32) {
            std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                              (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            float x;
            std::memcpy(&x, &u, sizeof x);
            v = x;
        } else {
            std::uint64_t u = 0;
            for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
            std::memcpy(&v, &u, sizeof v);
        }
        if (!(v == v)) return 0; // NaN
        return static_cast<std::int32_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
    }
    switch (f.bitsPerSample) {
    case 8: return (p[0] - 128) * 256;
    case 16: return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    case 24: return static_cast<std::int16_t>(p[1] | (p[2] << 8)); // the low byte is below the 16-bit scale
    default: return static_cast<std::int16_t>(p[2] | (p[3] << 8));
    }
}

// 10^(hundredths of dB / 2000) as a 16.16 gain; -10000 (-100 dB) and below is silence.
std::int32_t attenuation(int hundredthsDb) {
    if (hundredthsDb <= -10000) return 0;
    if (hundredthsDb >= 0) return 65536;
    return static_cast<std::int32_t>(std::lround(65536.0 * std::pow(10.0, hundredthsDb / 2000.0)));
}

} // namespace

std::shared_ptr<const SampleData> convertToDevice(const PcmFormat& format, std::span<const std::uint8_t> bytes,
                                                  int deviceRate) {
    auto out = std::make_shared<SampleData>();
    out->source = format;
    out->deviceRate = deviceRate;
    const std::size_t inFrames = bytes.size() / static_cast<std::size_t>(format.blockAlign);
    if (inFrames == 0) return out;

    // The wave's frames as 16-bit stereo at its own rate. Beyond two channels, every further one
    // goes to both sides at half weight and the sum is scaled back: nothing is lost and nothing clips.
    const std::size_t width = static_cast<std::size_t>(format.bitsPerSample / 8);
    const std::size_t channels = static_cast<std::size_t>(format.channels);
    std::vector<std::int16_t> stereo(inFrames * 2);
    for (std::size_t i = 0; i < inFrames; ++i) {
        const std::uint8_t* frame = bytes.data() + i * static_cast<std::size_t>(format.blockAlign);
        std::int32_t l = sampleAt(frame, format);
        std::int32_t r = channels >= 2 ? sampleAt(frame + width, format) : l;
        if (channels > 2) {
            std::int64_t rest = 0;
            for (std::size_t c = 2; c < channels; ++c) rest += sampleAt(frame + c * width, format);
            const auto n = static_cast<std::int64_t>(channels);
            l = static_cast<std::int32_t>((2 * std::int64_t{l} + rest) / n);
            r = static_cast<std::int32_t>((2 * std::int64_t{r} + rest) / n);
        }
        stereo[2 * i] = static_cast<std::int16_t>(l);
        stereo[2 * i + 1] = static_cast<std::int16_t>(r);
    }
    if (format.samplesPerSec == deviceRate) {
        out->frames = std::move(stereo);
        out->frameCount = static_cast<std::uint32_t>(inFrames);
        return out;
    }

    // Linear interpolation onto the device's rate; the step is in 32.32 source frames.
    const std::uint64_t outFrames =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(inFrames) * static_cast<std::uint64_t>(deviceRate) /
                                       static_cast<std::uint64_t>(format.samplesPerSec));
    const std::uint64_t step =
        (static_cast<std::uint64_t>(format.samplesPerSec) << 32) / static_cast<std::uint64_t>(deviceRate);
    out->frames.resize(static_cast<std::size_t>(outFrames) * 2);
    std::uint64_t pos = 0;
    for (std::size_t j = 0; j < outFrames; ++j, pos += step) {
        std::size_t i = static_cast<std::size_t>(pos >> 32);
        std::size_t k = std::min(i + 1, inFrames - 1);
        i = std::min(i, inFrames - 1);
        std::int64_t frac = static_cast<std::int64_t>((pos >> 16) & 0xFFFF);
        for (std::size_t c = 0; c < 2; ++c) {
            std::int64_t a = stereo[2 * i + c], b = stereo[2 * k + c];
            out->frames[2 * j + c] = static_cast<std::int16_t>(a + (((b - a) * frac) >> 16));
        }
    }
    out->frameCount = static_cast<std::uint32_t>(outFrames);
    return out;
}

SoundVoice::SoundVoice(SoundMixer& mixer, std::shared_ptr<const SampleData> data)
    : mixer_(mixer), data_(std::move(data)) {
    samples_ = data_->frames.data();
    length_ = static_cast<std::uint64_t>(data_->frameCount) << 32;
    std::lock_guard guard(mixer_.lock_);
    mixer_.link(*this);
}

SoundVoice::~SoundVoice() {
    std::lock_guard guard(mixer_.lock_);
    mixer_.unlink(*this);
}

void SoundVoice::Play(bool loop) {
    std::lock_guard guard(mixer_.lock_);
    looping_ = loop;
    playing_ = data_->frameCount > 0;
}

void SoundVoice::Stop() {
    std::lock_guard guard(mixer_.lock_);
    playing_ = false;
}

bool SoundVoice::Playing() const {
    std::lock_guard guard(mixer_.lock_);
    return playing_;
}

bool SoundVoice::Looping() const {
    std::lock_guard guard(mixer_.lock_);
    return playing_ && looping_;
}

void SoundVoice::SetPosition(std::uint32_t bytes) {
    const auto& src = data_->source;
    // Source frames to device frames, in 32.32 fixed point.
    double frame = static_cast<double>(bytes / static_cast<std::uint32_t>(src.blockAlign));
    auto pos = static_cast<std::uint64_t>(std::llround(frame * data_->deviceRate / src.samplesPerSec * 4294967296.0));
    std::lock_guard guard(mixer_.lock_);
    pos_ = std::min(pos, length_);
}

std::uint32_t SoundVoice::Position() const {
    std::uint64_t pos;
    {
        std::lock_guard guard(mixer_.lock_);
        pos = pos_;
    }
    const auto& src = data_->source;
    double frame = static_cast<double>(pos) / 4294967296.0 * src.samplesPerSec / data_->deviceRate;
    return static_cast<std::uint32_t>(std::llround(frame)) * static_cast<std::uint32_t>(src.blockAlign);
}

void SoundVoice::SetFrequency(int hz) {
    if (hz != 0) hz = std::clamp(hz, 100, 200000);
    // The samples are already at the device rate; a frequency is a speed relative to the wave's own.
    std::uint64_t step =
        hz == 0 ? kOne
                : (static_cast<std::uint64_t>(hz) << 32) / static_cast<std::uint64_t>(data_->source.samplesPerSec);
    std::lock_guard guard(mixer_.lock_);
    frequency_ = hz;
    step_ = step;
}

int SoundVoice::Frequency() const {
    std::lock_guard guard(mixer_.lock_);
    return frequency_ == 0 ? data_->source.samplesPerSec : frequency_;
}

void SoundVoice::SetPan(int pan) {
    std::lock_guard guard(mixer_.lock_);
    pan_ = std::clamp(pan, -10000, 10000);
    updateGains();
}

int SoundVoice::Pan() const {
    std::lock_guard guard(mixer_.lock_);
    return pan_;
}

void SoundVoice::SetVolume(int volume) {
    std::lock_guard guard(mixer_.lock_);
    volume_ = std::clamp(volume, -10000, 0);
    updateGains();
}

int SoundVoice::Volume() const {
    std::lock_guard guard(mixer_.lock_);
    return volume_;
}

std::int32_t SoundVoice::GainLeft() const {
    std::lock_guard guard(mixer_.lock_);
    return gainL_;
}

std::int32_t SoundVoice::GainRight() const {
    std::lock_guard guard(mixer_.lock_);
    return gainR_;
}

void SoundVoice::updateGains() {
    // Panning to one side attenuates the other channel by the pan's decibels.
    gainL_ = attenuation(volume_ - std::max(pan_, 0));
    gainR_ = attenuation(volume_ + std::min(pan_, 0));
}

bool SoundVoice::sameSoundAs(const SoundVoice& other) const {
    return mixedThisPass_ && samples_ == other.samples_ && passStart_ == other.pos_ && step_ == other.step_ &&
           gainL_ == other.gainL_ && gainR_ == other.gainR_ && looping_ == other.looping_;
}

void SoundVoice::mix(std::int32_t* accum, int frames, bool audible) {
    const std::int32_t gl = audible ? gainL_ : 0, gr = audible ? gainR_ : 0;
    std::uint64_t pos = pos_;
    const std::uint64_t step = step_;
    int i = 0;
    while (i < frames) {
        if (pos >= length_) {
            if (!looping_) {
                playing_ = false;
                pos = 0;
                break;
            }
            pos %= length_;
        }
        if (step == kOne) {
            // The common case: one sample per frame, no interpolation.
            std::uint64_t index = pos >> 32;
            int n = static_cast<int>(
                std::min<std::uint64_t>(static_cast<std::uint64_t>(frames - i), (length_ >> 32) - index));
            const std::int16_t* s = samples_ + 2 * index;
            std::int32_t* a = accum + 2 * i;
            for (int k = 0; k < n; ++k) {
                a[2 * k] += (s[2 * k] * gl) >> 16;
                a[2 * k + 1] += (s[2 * k + 1] * gr) >> 16;
            }
            i += n;
            pos += static_cast<std::uint64_t>(n) << 32;
        } else {
            std::uint64_t index = pos >> 32;
            std::uint64_t last = (length_ >> 32) - 1;
            std::uint64_t nextIndex = index < last ? index + 1 : (looping_ ? 0 : last);
            std::int32_t frac = static_cast<std::int32_t>((pos >> 16) & 0xFFFF);
            for (std::size_t c = 0; c < 2; ++c) {
                std::int32_t a = samples_[2 * index + c], b = samples_[2 * nextIndex + c];
                std::int32_t s = a + (((b - a) * frac) >> 16);
                accum[2 * i + static_cast<int>(c)] += (s * (c == 0 ? gl : gr)) >> 16;
            }
            ++i;
            pos += step;
        }
    }
    // A voice that reached its end exactly with this buffer is done now, not one buffer later.
    if (pos >= length_) {
        if (looping_) {
            pos %= length_;
        } else {
            playing_ = false;
            pos = 0;
        }
    }
    pos_ = pos;
}

// The voices are gone by now: the sound device drops its buffers' voices before its mixer.
SoundMixer::~SoundMixer() = default;

int SoundMixer::VoiceCount() const {
    std::lock_guard guard(lock_);
    return voices_;
}

int SoundMixer::PlayingCount() const {
    std::lock_guard guard(lock_);
    int n = 0;
    for (const SoundVoice* v = head_; v; v = v->next_) n += v->playing_ ? 1 : 0;
    return n;
}

void SoundMixer::link(SoundVoice& v) {
    v.prev_ = nullptr;
    v.next_ = head_;
    if (head_) head_->prev_ = &v;
    head_ = &v;
    ++voices_;
}

void SoundMixer::unlink(SoundVoice& v) {
    if (v.prev_)
        v.prev_->next_ = v.next_;
    else if (head_ == &v)
        head_ = v.next_;
    else
        return; // not linked
    if (v.next_) v.next_->prev_ = v.prev_;
    v.prev_ = v.next_ = nullptr;
    --voices_;
}

void SoundMixer::mixInto(std::int32_t* accum, int frames) {
    std::lock_guard guard(lock_);
    for (SoundVoice* v = head_; v; v = v->next_) v->mixedThisPass_ = false;
    for (SoundVoice* v = head_; v; v = v->next_) {
        if (!v->playing_) continue;
        bool heard = false;
        for (const SoundVoice* u = head_; u != v && !heard; u = u->next_) heard = u->sameSoundAs(*v);
        v->passStart_ = v->pos_;
        v->mixedThisPass_ = true;
        v->mix(accum, frames, !heard);
    }
}
