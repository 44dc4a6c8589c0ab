// SPDX-License-Identifier: MIT
// Building blocks of the game's sound synthesis: note names, seeded noise, oscillators,
// breakpoint envelopes and a stable two-pole filter. Shared by the effect and song builders.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tw::synth {

constexpr double kPi = 3.14159265358979323846;

// Note names in tracker spelling: "C-4", "C4", "C#4", "Db4". C-4 is middle C (261.63 Hz) and
// tracker note 49. Returns the note as semitones above C-0 (C-0 = 0), or -1 when not a note.
int parseNoteName(const std::string& text);
double noteFrequency(int semitonesAboveC0); // equal temperament, A-4 = 440 Hz

// Seeded xorshift generator: the same seed gives the same noise on every build.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}
    double next(); // uniform in [-1, 1)
private:
    std::uint32_t state_;
};

enum class Wave { Sine, Square, Saw, Triangle, Noise };
bool parseWave(const std::string& name, Wave& out);

// One naive oscillator stepped sample by sample; frequency may change every sample.
class Oscillator {
public:
    Oscillator(Wave wave, std::uint32_t seed, double duty = 0.5) : wave_(wave), duty_(duty), noise_(seed) {}
    double step(double frequency, double sampleRate);

private:
    Wave wave_;
    double duty_;
    double phase_ = 0.0;
    double held_ = 0.0; // pitched noise keeps a value for one period
    Noise noise_;
};

// Piecewise-linear level over time; after the last point the last level holds.
class Envelope {
public:
    Envelope() = default;
    explicit Envelope(std::vector<std::pair<double, double>> points) : points_(std::move(points)) {}
    double at(double t) const;
    bool empty() const { return points_.empty(); }
    double endTime() const { return points_.empty() ? 0.0 : points_.back().first; }

private:
    std::vector<std::pair<double, double>> points_;
};

// Topology-preserving state-variable filter: stays stable for any cutoff below Nyquist.
class Filter {
public:
    enum class Mode { Low, High, Band };
    explicit Filter(Mode mode) : mode_(mode) {}
    double step(double in, double cutoff, double q, double sampleRate);

private:
    Mode mode_;
    double ic1_ = 0.0, ic2_ = 0.0;
};

} // namespace tw::synth
