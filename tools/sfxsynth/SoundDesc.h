// SPDX-License-Identifier: MIT
// A sound effect described as layers of oscillators with envelopes, sweeps and filters; the
// reader of its text form (one keyword line at a time) and the renderer to float samples.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "Synth.h"

namespace tw::synth {

class SynthError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that moves from `from` to `to` over a span, geometrically or linearly.
struct Sweep {
    double from = 0.0;
    double to = 0.0;
    bool exponential = true;
    double at(double fraction) const;
};

struct FilterSetting {
    Filter::Mode mode = Filter::Mode::Low;
    Sweep cutoff;
    double q = 0.707;
};

struct Layer {
    Wave wave = Wave::Sine;
    double start = 0.0;
    double length = 0.0; // 0: until the end of the sound
    Sweep frequency{440.0, 440.0, true};
    double noteStep = 0.0;  // seconds per note when the layer plays a melody
    std::vector<int> notes; // semitones above C-0; -1 is a rest
    double bend = 0.0;      // semitones of glide over each note (or the layer)
    Envelope envelope;
    double gain = 1.0;
    double duty = 0.5;
    double vibratoRate = 0.0, vibratoDepth = 0.0; // Hz, semitones
    double tremoloRate = 0.0, tremoloDepth = 0.0; // Hz, 0..1
    std::vector<FilterSetting> filters;
};

struct SoundDesc {
    int sampleRate = 44100;
    double length = 0.0; // 0: the end of the longest layer
    std::uint32_t seed = 1;
    double peak = 0.8; // the loudest sample after normalising, 0..1
    double echoDelay = 0.0, echoFeedback = 0.0, echoMix = 0.0;
    int maxPlaying = 0; // copies the game may play at once (0: no limit); goes to the manifest
    std::vector<Layer> layers;
};

// Reads the text form a line at a time. Keywords before the first "layer" set the whole sound.
class SoundReader {
public:
    explicit SoundReader(SoundDesc& desc) : desc_(desc) {}
    // Returns false when the keyword is not one of a sound's; throws SynthError on a bad value.
    bool accept(const std::vector<std::string>& words);

private:
    SoundDesc& desc_;
};

// Splits a line into words, dropping a "#" comment.
std::vector<std::string> splitWords(const std::string& line);

// Reads a whole description; errors name the source and line.
SoundDesc parseSound(const std::string& text, const std::string& sourceName);

// Renders to mono samples in [-peak, peak]; the same description always gives the same samples.
std::vector<float> renderSound(const SoundDesc& desc);

// 16-bit PCM mono RIFF WAVE holding exactly a "fmt " chunk and a "data" chunk.
std::vector<std::uint8_t> encodeWav(const std::vector<float>& samples, int sampleRate);
std::int16_t toPcm16(double sample);

} // namespace tw::synth
