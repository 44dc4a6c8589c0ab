// SPDX-License-Identifier: MIT
// Levels of interleaved signed 16-bit audio: peak, RMS and clipped samples of the whole, and the
// same per short window, so a recording's loudness can be followed over time.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tw::levels {

// A sample at either end of the 16-bit range: the sum was cut there.
constexpr int kClipLevel = 32767;

struct Stats {
    double peak = 0.0; // largest |sample|, on the 16-bit scale
    double rms = 0.0;  // over every sample of every channel
    std::uint64_t samples = 0;
    std::uint64_t clippedSamples = 0; // |sample| >= kClipLevel
    std::uint64_t clippedFrames = 0;  // frames holding at least one clipped sample
};

Stats measure(std::span<const std::int16_t> interleaved, int channels);

// 20 log10(value / 32768); -inf for 0.
double dbfs(double value);

struct Window {
    double start = 0.0; // seconds
    Stats stats;
};
// Consecutive windows of `seconds`; a short last window is dropped.
std::vector<Window> windows(std::span<const std::int16_t> interleaved, int channels, int rate, double seconds);

// The value below which `fraction` of the values lie (nearest rank); 0 for none.
double percentile(std::vector<double> values, double fraction);

struct Audio {
    std::vector<std::int16_t> samples; // interleaved
    int channels = 2;
    int rate = 44100;
};
// A 16-bit PCM WAV file (its own channels and rate), or else raw interleaved 16-bit little-endian
// samples with the given layout, which is what SDL's disk audio driver writes. Throws
// std::runtime_error naming the file when it cannot be read.
Audio readAudio(const std::string& path, int rawChannels, int rawRate);

} // namespace tw::levels
