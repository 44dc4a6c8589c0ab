// SPDX-License-Identifier: MIT
// Building blocks of the game's sound synthesis (see Synth.h).
#include "Synth.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tw::synth {

int parseNoteName(const std::string& text) {
    if (text.size() < 2 || text.size() > 3) return -1;
    static const int kSteps[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') return -1;
    int semitone = kSteps[letter - 'A'];
    std::size_t pos = 1;
    if (text.size() == 3) {
        if (text[1] == '#')
            semitone += 1;
        else if (text[1] == 'b')
            semitone -= 1;
        else if (text[1] != '-')
            return -1;
        pos = 2;
    }
    if (!std::isdigit(static_cast<unsigned char>(text[pos]))) return -1;
    const int octave = text[pos] - '0';
    const int note = octave * 12 + semitone;
    return note < 0 ? -1 : note;
}

double noteFrequency(int semitonesAboveC0) { return 440.0 * std::pow(2.0, (semitonesAboveC0 - 57) / 12.0); }

double Noise::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
}

bool parseWave(const std::string& name, Wave& out) {
    if (name == "sine")
        out = Wave::Sine;
    else if (name == "square")
        out = Wave::Square;
    else if (name == "saw")
        out = Wave::Saw;
    else if (name == "triangle")
        out = Wave::Triangle;
    else if (name == "noise")
        out = Wave::Noise;
    else
        return false;
    return true;
}

namespace {

// Smooths the jump of a saw or square edge over one sample on each side (polynomial band-limited
// step), which takes away most of the harsh aliasing of naive edges at high pitches.
double edgeCorrection(double t, double dt) {
    if (dt <= 0.0) return 0.0;
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

} // namespace

double Oscillator::step(double frequency, double sampleRate) {
    const double before = phase_;
    const double dt = std::min(frequency / sampleRate, 0.5);
    phase_ += frequency / sampleRate;
    phase_ -= std::floor(phase_);
    switch (wave_) {
    case Wave::Sine: return std::sin(2.0 * kPi * before);
    case Wave::Square: {
        const double falling = before + 1.0 - duty_;
        return (before < duty_ ? 1.0 : -1.0) + edgeCorrection(before, dt) -
               edgeCorrection(falling - std::floor(falling), dt);
    }
    case Wave::Saw: return 2.0 * before - 1.0 - edgeCorrection(before, dt);
    case Wave::Triangle: return before < 0.5 ? 4.0 * before - 1.0 : 3.0 - 4.0 * before;
    case Wave::Noise:
        // Frequency 0 (or at least the sample rate) is white noise; lower rates hold each value.
        if (frequency <= 0.0 || frequency >= sampleRate || phase_ < before) held_ = noise_.next();
        return held_;
    }
    return 0.0;
}

double Envelope::at(double t) const {
    if (points_.empty()) return 1.0;
    if (t <= points_.front().first) return points_.front().second;
    for (std::size_t i = 1; i < points_.size(); ++i) {
        const auto& [t1, l1] = points_[i];
        if (t < t1) {
            const auto& [t0, l0] = points_[i - 1];
            return t1 > t0 ? l0 + (l1 - l0) * (t - t0) / (t1 - t0) : l1;
        }
    }
    return points_.back().second;
}

double Filter::step(double in, double cutoff, double q, double sampleRate) {
    const double fc = std::clamp(cutoff, 10.0, sampleRate * 0.49);
    const double g = std::tan(kPi * fc / sampleRate);
    const double k = 1.0 / std::max(q, 0.1);
    const double a1 = 1.0 / (1.0 + g * (g + k));
    const double a2 = g * a1;
    const double a3 = g * a2;
    const double v3 = in - ic2_;
    const double v1 = a1 * ic1_ + a2 * v3;
    const double v2 = ic2_ + a2 * ic1_ + a3 * v3;
    ic1_ = 2.0 * v1 - ic1_;
    ic2_ = 2.0 * v2 - ic2_;
    switch (mode_) {
    case Mode::Low: return v2;
    case Mode::Band: return v1;
    case Mode::High: return in - k * v1 - v2;
    }
    return v2;
}

} // namespace tw::synth
