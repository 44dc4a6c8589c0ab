// SPDX-License-Identifier: MIT
// Renders a song's instruments into XM samples: looped additive tones (pads, bass, leads)
// and one-shot sounds made by the sound-effect synthesiser (drums, plucks, bells).
#pragma once

#include <cstdint>
#include <vector>

#include "SoundDesc.h"
#include "XmWriter.h"

namespace tw::song {

struct ToneRecipe {
    std::vector<double> harmonics{1.0}; // amplitude of partial 1, 2, 3, ...
    int voices = 1;                     // detuned copies for a chorus
    double spreadCents = 0.0;           // detune of the outermost voice
    double rolloff = 0.0;               // Hz where partials start to fall away, 0 = none
    std::uint32_t seed = 1;
};

// Harmonic amplitudes of the named waveforms: sine, triangle, square, saw, organ, hollow.
bool presetHarmonics(const std::string& name, std::vector<double>& out);

// One loop of a tone whose base note is `baseNote` (semitones above C-0), seamless and looped.
tw::xm::Sample renderTone(const ToneRecipe& recipe, int baseNote);

// A one-shot sample whose content sounds at `baseNote` when played at its own rate.
tw::xm::Sample renderOneShot(const tw::synth::SoundDesc& desc, int baseNote);

} // namespace tw::song
