// SPDX-License-Identifier: MIT
// Reader and renderer of sound descriptions (see SoundDesc.h).
#include "SoundDesc.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

namespace tw::synth {

namespace {

double number(const std::string& word) {
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(word, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != word.size() || !std::isfinite(value)) throw SynthError("not a number: '" + word + "'");
    return value;
}

// A frequency is written in Hz or as a note name.
double frequency(const std::string& word) {
    const int note = parseNoteName(word);
    if (note >= 0) return noteFrequency(note);
    const double hz = number(word);
    if (hz < 0.0) throw SynthError("negative frequency: '" + word + "'");
    return hz;
}

void need(const std::vector<std::string>& words, std::size_t count) {
    if (words.size() < count) throw SynthError("'" + words[0] + "' needs " + std::to_string(count - 1) + " value(s)");
}

// "a", "a -> b", "a -> b lin"; returns the index after the sweep.
std::size_t readSweep(const std::vector<std::string>& words, std::size_t i, Sweep& sweep, bool isFrequency) {
    auto value = [&](const std::string& w) { return isFrequency ? frequency(w) : number(w); };
    if (i >= words.size()) throw SynthError("'" + words[0] + "' needs a value");
    sweep.from = sweep.to = value(words[i++]);
    if (i < words.size() && words[i] == "->") {
        if (i + 1 >= words.size()) throw SynthError("'->' needs an end value");
        sweep.to = value(words[i + 1]);
        i += 2;
        if (i < words.size() && (words[i] == "lin" || words[i] == "exp")) sweep.exponential = words[i++] == "exp";
    }
    if (sweep.exponential && (sweep.from <= 0.0 || sweep.to <= 0.0)) sweep.exponential = false;
    return i;
}

Envelope readEnvelope(const std::vector<std::string>& words) {
    std::vector<std::pair<double, double>> points;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const auto colon = words[i].find(':');
        if (colon == std::string::npos) throw SynthError("envelope point needs time:level, got '" + words[i] + "'");
        const double t = number(words[i].substr(0, colon));
        const double level = number(words[i].substr(colon + 1));
        if (!points.empty() && t < points.back().first) throw SynthError("envelope times must not go back");
        points.emplace_back(t, level);
    }
    if (points.empty()) throw SynthError("'env' needs points");
    return Envelope(std::move(points));
}

} // namespace

double Sweep::at(double fraction) const {
    const double f = std::clamp(fraction, 0.0, 1.0);
    if (exponential) return from * std::pow(to / from, f);
    return from + (to - from) * f;
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    // A comment starts with "#" at the start of a word; "F#4" is a note.
    std::size_t end = 0;
    while ((end = line.find('#', end)) != std::string::npos && end > 0 &&
           !std::isspace(static_cast<unsigned char>(line[end - 1])))
        ++end;
    std::istringstream in(line.substr(0, end));
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool SoundReader::accept(const std::vector<std::string>& words) {
    const std::string& key = words.at(0);
    if (key == "layer") {
        desc_.layers.emplace_back();
        return true;
    }
    if (desc_.layers.empty()) {
        if (key == "rate") {
            need(words, 2);
            const double rate = number(words[1]);
            if (rate < 4000 || rate > 96000) throw SynthError("sample rate out of range: " + words[1]);
            desc_.sampleRate = static_cast<int>(rate);
        } else if (key == "length") {
            need(words, 2);
            desc_.length = number(words[1]);
        } else if (key == "seed") {
            need(words, 2);
            desc_.seed = static_cast<std::uint32_t>(number(words[1]));
        } else if (key == "peak") {
            need(words, 2);
            desc_.peak = std::clamp(number(words[1]), 0.0, 1.0);
        } else if (key == "maxplaying") {
            need(words, 2);
            desc_.maxPlaying = static_cast<int>(std::clamp(number(words[1]), 0.0, 64.0));
        } else if (key == "echo") {
            need(words, 4);
            desc_.echoDelay = number(words[1]);
            desc_.echoFeedback = std::clamp(number(words[2]), 0.0, 0.95);
            desc_.echoMix = number(words[3]);
        } else {
            return false;
        }
        return true;
    }
    Layer& layer = desc_.layers.back();
    if (key == "wave") {
        need(words, 2);
        if (!parseWave(words[1], layer.wave)) throw SynthError("unknown wave '" + words[1] + "'");
    } else if (key == "start") {
        need(words, 2);
        layer.start = number(words[1]);
    } else if (key == "length") {
        need(words, 2);
        layer.length = number(words[1]);
    } else if (key == "freq") {
        readSweep(words, 1, layer.frequency, true);
    } else if (key == "notes") {
        need(words, 3);
        layer.noteStep = number(words[1]);
        if (layer.noteStep <= 0.0) throw SynthError("note step must be positive");
        layer.notes.clear();
        for (std::size_t i = 2; i < words.size(); ++i) {
            const int note = words[i] == "." ? -1 : parseNoteName(words[i]);
            if (note < 0 && words[i] != ".") throw SynthError("unknown note '" + words[i] + "'");
            layer.notes.push_back(note);
        }
    } else if (key == "bend") {
        need(words, 2);
        layer.bend = number(words[1]);
    } else if (key == "env") {
        layer.envelope = readEnvelope(words);
    } else if (key == "gain") {
        need(words, 2);
        layer.gain = number(words[1]);
    } else if (key == "duty") {
        need(words, 2);
        layer.duty = std::clamp(number(words[1]), 0.01, 0.99);
    } else if (key == "vibrato" || key == "tremolo") {
        need(words, 3);
        (key == "vibrato" ? layer.vibratoRate : layer.tremoloRate) = number(words[1]);
        (key == "vibrato" ? layer.vibratoDepth : layer.tremoloDepth) = number(words[2]);
    } else if (key == "lowpass" || key == "highpass" || key == "bandpass") {
        FilterSetting setting;
        setting.mode = key == "lowpass"    ? Filter::Mode::Low
                       : key == "highpass" ? Filter::Mode::High
                                           : Filter::Mode::Band;
        std::size_t i = readSweep(words, 1, setting.cutoff, true);
        if (i < words.size() && words[i] == "q") {
            need(words, i + 2);
            setting.q = number(words[i + 1]);
            i += 2;
        }
        if (i != words.size()) throw SynthError("unexpected '" + words[i] + "' after filter");
        layer.filters.push_back(setting);
    } else {
        return false;
    }
    return true;
}

SoundDesc parseSound(const std::string& text, const std::string& sourceName) {
    SoundDesc desc;
    SoundReader reader(desc);
    std::istringstream in(text);
    int lineNumber = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const auto words = splitWords(line);
        if (words.empty()) continue;
        try {
            if (!reader.accept(words)) throw SynthError("unknown keyword '" + words[0] + "'");
        } catch (const SynthError& e) {
            throw SynthError(sourceName + ":" + std::to_string(lineNumber) + ": " + e.what());
        }
    }
    if (desc.layers.empty()) throw SynthError(sourceName + ": no layer");
    return desc;
}

namespace {

double layerLength(const Layer& layer) {
    if (layer.length > 0.0) return layer.length;
    if (!layer.notes.empty()) return layer.noteStep * static_cast<double>(layer.notes.size());
    return layer.envelope.empty() ? 0.0 : layer.envelope.endTime();
}

void renderLayer(const Layer& layer, int index, const SoundDesc& desc, std::vector<double>& mix) {
    const double rate = desc.sampleRate;
    const auto first = static_cast<std::size_t>(std::lround(layer.start * rate));
    if (first >= mix.size()) return;
    const double ownLength = layerLength(layer);
    const std::size_t count =
        ownLength > 0.0 ? std::min(mix.size() - first, static_cast<std::size_t>(std::lround(ownLength * rate)))
                        : mix.size() - first;
    const double span = static_cast<double>(count) / rate;
    Oscillator osc(layer.wave, desc.seed * 7919u + static_cast<std::uint32_t>(index) * 104729u + 1u, layer.duty);
    std::vector<Filter> filters;
    for (const auto& f : layer.filters) filters.emplace_back(f.mode);
    const double guard = 0.0015 * rate; // short fades at the edges keep a layer from clicking
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        double local = t, localSpan = span, hz = 0.0;
        if (!layer.notes.empty()) {
            const auto n = std::min(layer.notes.size() - 1, static_cast<std::size_t>(t / layer.noteStep));
            local = t - static_cast<double>(n) * layer.noteStep;
            localSpan = layer.noteStep;
            hz = layer.notes[n] < 0 ? 0.0 : noteFrequency(layer.notes[n]);
        } else {
            hz = layer.frequency.at(span > 0.0 ? t / span : 0.0);
        }
        const bool silent = !layer.notes.empty() && hz == 0.0;
        if (layer.bend != 0.0) hz *= std::pow(2.0, layer.bend * local / localSpan / 12.0);
        if (layer.vibratoDepth != 0.0)
            hz *= std::pow(2.0, layer.vibratoDepth * std::sin(2.0 * kPi * layer.vibratoRate * t) / 12.0);
        double s = silent ? 0.0 : osc.step(hz, rate);
        for (std::size_t f = 0; f < filters.size(); ++f) {
            const auto& setting = layer.filters[f];
            s = filters[f].step(s, setting.cutoff.at(span > 0.0 ? t / span : 0.0), setting.q, rate);
        }
        double level = layer.gain * layer.envelope.at(local);
        if (layer.tremoloDepth != 0.0)
            level *= 1.0 - layer.tremoloDepth * 0.5 * (1.0 - std::cos(2.0 * kPi * layer.tremoloRate * t));
        const double edge = std::min(static_cast<double>(i), static_cast<double>(count - 1 - i));
        if (edge < guard) level *= edge / guard;
        mix[first + i] += s * level;
    }
}

} // namespace

std::vector<float> renderSound(const SoundDesc& desc) {
    double total = desc.length;
    if (total <= 0.0)
        for (const auto& layer : desc.layers) total = std::max(total, layer.start + layerLength(layer));
    if (total <= 0.0) throw SynthError("the sound has no length");
    if (total > 30.0) throw SynthError("the sound is longer than 30 seconds");
    std::vector<double> mix(static_cast<std::size_t>(std::lround(total * desc.sampleRate)), 0.0);
    for (std::size_t i = 0; i < desc.layers.size(); ++i) renderLayer(desc.layers[i], static_cast<int>(i), desc, mix);

    if (desc.echoDelay > 0.0 && desc.echoMix > 0.0) {
        const auto delay = static_cast<std::size_t>(std::lround(desc.echoDelay * desc.sampleRate));
        std::vector<double> wet(mix.size(), 0.0);
        for (std::size_t i = delay; i < mix.size() && delay > 0; ++i)
            wet[i] = mix[i - delay] + desc.echoFeedback * wet[i - delay];
        for (std::size_t i = 0; i < mix.size(); ++i) mix[i] += desc.echoMix * wet[i];
    }
    // The last few milliseconds fade out, so a sound cut by its length ends without a click.
    const std::size_t tail = std::min(mix.size(), static_cast<std::size_t>(0.004 * desc.sampleRate));
    for (std::size_t i = 0; i < tail; ++i)
        mix[mix.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(tail);

    double loudest = 0.0;
    for (double s : mix) loudest = std::max(loudest, std::fabs(s));
    const double scale = loudest > 0.0 ? desc.peak / loudest : 0.0;
    std::vector<float> out(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i) out[i] = static_cast<float>(mix[i] * scale);
    return out;
}

std::int16_t toPcm16(double sample) {
    return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0));
}

std::vector<std::uint8_t> encodeWav(const std::vector<float>& samples, int sampleRate) {
    std::vector<std::uint8_t> out;
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.reserve(44 + dataBytes);
    auto u16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(t[i]));
    };
    const auto rate = static_cast<std::uint32_t>(sampleRate);
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2); // bytes per second
    u16(2);        // block align
    u16(16);       // bits per sample
    tag("data");
    u32(dataBytes);
    for (float s : samples) u16(static_cast<std::uint16_t>(toPcm16(s)));
    return out;
}

} // namespace tw::synth
