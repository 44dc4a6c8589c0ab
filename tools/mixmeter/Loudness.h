// SPDX-License-Identifier: MIT
// Loudness as listeners hear it (EBU R 128, through libebur128): integrated, the loudest 400 ms
// and 3 s, and the true peak between samples, so effects and songs can be balanced by ear's measure.
#pragma once

#include <cstdint>
#include <span>

namespace tw::levels {

struct Loudness {
    double integrated = 0.0;   // LUFS, gated
    double momentaryMax = 0.0; // LUFS, loudest 400 ms window (stepped by 100 ms)
    double shortTermMax = 0.0; // LUFS, loudest 3 s window; -inf when shorter than 3 s
    double truePeak = 0.0;     // dBTP, over every channel
};

// A sound shorter than 400 ms is measured as if followed by silence up to 400 ms. Throws
// std::runtime_error when the library refuses the layout.
Loudness loudness(std::span<const std::int16_t> interleaved, int channels, int rate);

} // namespace tw::levels
