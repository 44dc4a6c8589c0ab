// SPDX-License-Identifier: MIT
// Rendering of a song's instruments into XM samples (see Instruments.h).
#include "Instruments.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tw::song {

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kLoopFrames = 32768; // long enough for a slow chorus, one loop of whole cycles

std::vector<std::int16_t> toPcm(const std::vector<double>& mix, double peak) {
    double loudest = 0.0;
    for (double s : mix) loudest = std::max(loudest, std::fabs(s));
    const double scale = loudest > 0.0 ? peak / loudest : 0.0;
    std::vector<std::int16_t> out(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i) out[i] = tw::synth::toPcm16(mix[i] * scale);
    return out;
}

} // namespace

bool presetHarmonics(const std::string& name, std::vector<double>& out) {
    out.clear();
    if (name == "sine") {
        out = {1.0};
    } else if (name == "organ") {
        out = {1.0, 0.6, 0.0, 0.35, 0.0, 0.2, 0.0, 0.12};
    } else if (name == "hollow") {
        out = {1.0, 0.0, 0.45, 0.0, 0.2, 0.0, 0.1};
    } else if (name == "triangle" || name == "square" || name == "saw") {
        for (int h = 1; h <= 48; ++h) {
            const double k = h;
            if (name == "saw")
                out.push_back(1.0 / k);
            else if (h % 2 == 0)
                out.push_back(0.0);
            else if (name == "square")
                out.push_back(1.0 / k);
            else
                out.push_back((h % 4 == 1 ? 1.0 : -1.0) / (k * k));
        }
    } else {
        return false;
    }
    return true;
}

tw::xm::Sample renderTone(const ToneRecipe& recipe, int baseNote) {
    const double baseHz = tw::synth::noteFrequency(baseNote);
    const double frames = static_cast<double>(kLoopFrames);
    // Every partial completes a whole number of cycles in the loop, so the loop has no seam.
    const double cycles = std::max(1.0, std::round(baseHz * frames / kRate));
    std::vector<double> mix(kLoopFrames, 0.0);
    tw::synth::Noise phases(recipe.seed);
    const int voices = std::max(1, recipe.voices);
    for (int v = 0; v < voices; ++v) {
        const double cents = voices > 1 ? recipe.spreadCents * (2.0 * v / (voices - 1) - 1.0) : 0.0;
        const double voiceCycles = std::round(cycles * std::pow(2.0, cents / 1200.0));
        for (std::size_t h = 1; h <= recipe.harmonics.size(); ++h) {
            const double partial = voiceCycles * static_cast<double>(h);
            // Leave headroom for playing a couple of octaves above the base note.
            if (partial * kRate / frames > kRate / 4.0) break;
            double amp = recipe.harmonics[h - 1];
            if (recipe.rolloff > 0.0)
                amp /= std::sqrt(1.0 + std::pow(baseHz * static_cast<double>(h) / recipe.rolloff, 2.0));
            if (amp == 0.0) continue;
            const double phase = v == 0 ? 0.0 : tw::synth::kPi * phases.next();
            for (std::size_t i = 0; i < kLoopFrames; ++i)
                mix[i] += amp * std::sin(2.0 * tw::synth::kPi * partial * static_cast<double>(i) / frames + phase);
        }
    }
    tw::xm::Sample sample;
    sample.data = toPcm(mix, 0.9);
    sample.loop = tw::xm::Loop::Forward;
    sample.loopStart = 0;
    sample.loopLength = static_cast<std::uint32_t>(kLoopFrames);
    // The rendered pitch is cycles × rate / frames; play it so that the base note sounds true.
    const double actualHz = cycles * kRate / frames;
    const auto [relative, finetune] = tw::xm::tuningFor(kRate * baseHz / actualHz, baseNote + 1);
    sample.relativeNote = relative;
    sample.finetune = finetune;
    return sample;
}

tw::xm::Sample renderOneShot(const tw::synth::SoundDesc& desc, int baseNote) {
    const auto rendered = tw::synth::renderSound(desc);
    tw::xm::Sample sample;
    sample.data.reserve(rendered.size());
    for (float s : rendered) sample.data.push_back(tw::synth::toPcm16(s));
    const auto [relative, finetune] = tw::xm::tuningFor(desc.sampleRate, baseNote + 1);
    sample.relativeNote = relative;
    sample.finetune = finetune;
    return sample;
}

} // namespace tw::song
