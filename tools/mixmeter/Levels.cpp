// SPDX-License-Identifier: MIT
// Measuring 16-bit audio (see Levels.h), and reading it from a WAV or a raw recording.
#include "Levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace tw::levels {

Stats measure(std::span<const std::int16_t> interleaved, int channels) {
    Stats s;
    if (channels < 1) return s;
    double sumSquares = 0.0;
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    for (std::size_t f = 0; f < frames; ++f) {
        bool clipped = false;
        for (int c = 0; c < channels; ++c) {
            const int v = std::abs(
                static_cast<int>(interleaved[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)]));
            s.peak = std::max(s.peak, static_cast<double>(v));
            sumSquares += static_cast<double>(v) * v;
            if (v >= kClipLevel) {
                ++s.clippedSamples;
                clipped = true;
            }
        }
        if (clipped) ++s.clippedFrames;
    }
    s.samples = frames * static_cast<std::size_t>(channels);
    s.rms = s.samples ? std::sqrt(sumSquares / static_cast<double>(s.samples)) : 0.0;
    return s;
}

double dbfs(double value) {
    if (value <= 0.0) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(value / 32768.0);
}

std::vector<Window> windows(std::span<const std::int16_t> interleaved, int channels, int rate, double seconds) {
    std::vector<Window> out;
    const auto frames = static_cast<std::size_t>(std::max(1.0, std::round(seconds * rate)));
    const std::size_t width = frames * static_cast<std::size_t>(channels);
    for (std::size_t start = 0; start + width <= interleaved.size(); start += width)
        out.push_back({static_cast<double>(start / static_cast<std::size_t>(channels)) / rate,
                       measure(interleaved.subspan(start, width), channels)});
    return out;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(values.size()));
    const auto index = static_cast<std::size_t>(std::max(1.0, rank)) - 1;
    return values[std::min(index, values.size() - 1)];
}

namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return v;
}

std::vector<std::int16_t> samplesOf(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t size) {
    std::vector<std::int16_t> out(size / 2);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::int16_t>(le(bytes, from + 2 * i, 2));
    return out;
}

} // namespace

Audio readAudio(const std::string& path, int rawChannels, int rawRate) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Audio audio;
    const bool wav = bytes.size() >= 12 && std::equal(bytes.begin(), bytes.begin() + 4, "RIFF") &&
                     std::equal(bytes.begin() + 8, bytes.begin() + 12, "WAVE");
    if (!wav) {
        audio.channels = rawChannels;
        audio.rate = rawRate;
        audio.samples = samplesOf(bytes, 0, bytes.size());
        return audio;
    }
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                             bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
        const std::size_t size = le(bytes, at + 4, 4);
        const std::size_t body = at + 8;
        if (body + size > bytes.size()) throw std::runtime_error(path + ": the " + id + " chunk is cut short");
        if (id == "fmt " && size >= 16) {
            if (le(bytes, body, 2) != 1 || le(bytes, body + 14, 2) != 16)
                throw std::runtime_error(path + ": only 16-bit PCM WAV files are measured");
            audio.channels = static_cast<int>(le(bytes, body + 2, 2));
            audio.rate = static_cast<int>(le(bytes, body + 4, 4));
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) throw std::runtime_error(path + ": no format before the data");
            audio.samples = samplesOf(bytes, body, size);
            return audio;
        }
        at = body + size + (size & 1);
    }
    throw std::runtime_error(path + ": no data chunk");
}

} // namespace tw::levels
