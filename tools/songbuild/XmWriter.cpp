// SPDX-License-Identifier: MIT
// Writer of Extended Modules (see XmWriter.h for the layout).
#include "XmWriter.h"

#include <cmath>

namespace tw::xm {

namespace {

class Out {
public:
    void u8(std::uint32_t v) { bytes.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) {
        u8(v & 0xFFu);
        u8((v >> 8) & 0xFFu);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFFu);
        u16(v >> 16);
    }
    // Fixed-size text field, padded with zeros; longer names are cut.
    void text(const std::string& s, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : 0u);
    }
    void append(const std::vector<std::uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
    std::vector<std::uint8_t> bytes;
};

void check(bool ok, const std::string& what) {
    if (!ok) throw XmError(what);
}

void writeEnvelopePoints(Out& out, const Envelope& env) {
    for (std::size_t i = 0; i < 12; ++i) {
        out.u16(i < env.points.size() ? env.points[i].first : 0u);
        out.u16(i < env.points.size() ? env.points[i].second : 0u);
    }
}

std::uint8_t envelopeFlags(const Envelope& env) {
    if (env.points.empty()) return 0;
    std::uint8_t flags = 1;
    if (env.sustain >= 0) flags |= 2;
    if (env.loopStart >= 0 && env.loopEnd >= env.loopStart) flags |= 4;
    return flags;
}

std::uint32_t bytesPerFrame(const Sample& s) { return s.sixteenBit ? 2u : 1u; }

void validateEnvelope(const Envelope& env, const std::string& where) {
    check(env.points.size() <= 12, where + ": an envelope holds at most 12 points");
    for (std::size_t i = 0; i < env.points.size(); ++i) {
        check(env.points[i].second <= 64, where + ": envelope values go up to 64");
        check(i == 0 || env.points[i].first > env.points[i - 1].first, where + ": envelope ticks must rise");
    }
    const auto count = static_cast<int>(env.points.size());
    check(env.sustain < count && env.loopStart < count && env.loopEnd < count, where + ": envelope point out of range");
}

} // namespace

void validate(const Module& m) {
    check(m.channels >= 1 && m.channels <= 32, "channel count must be 1 to 32");
    check(!m.order.empty() && m.order.size() <= 256, "the order list must hold 1 to 256 entries");
    check(m.restart < m.order.size(), "the restart position must lie inside the order list");
    check(!m.patterns.empty() && m.patterns.size() <= 256, "a module holds 1 to 256 patterns");
    check(m.instruments.size() <= 128, "a module holds at most 128 instruments");
    check(m.speed >= 1 && m.speed <= 31, "speed must be 1 to 31 ticks per row");
    check(m.bpm >= 32 && m.bpm <= 255, "BPM must be 32 to 255");
    for (auto p : m.order) check(p < m.patterns.size(), "the order list names a missing pattern");
    for (std::size_t i = 0; i < m.patterns.size(); ++i) {
        const auto& p = m.patterns[i];
        const std::string where = "pattern " + std::to_string(i);
        check(p.rows >= 1 && p.rows <= 256, where + ": rows must be 1 to 256");
        check(p.cells.size() == static_cast<std::size_t>(p.rows * m.channels),
              where + ": cell count differs from rows × channels");
        for (const auto& c : p.cells) {
            check(c.note <= kKeyOff, where + ": note out of range");
            check(c.instrument <= m.instruments.size(), where + ": unknown instrument");
        }
    }
    for (std::size_t i = 0; i < m.instruments.size(); ++i) {
        const auto& ins = m.instruments[i];
        const std::string where = "instrument " + std::to_string(i + 1);
        check(ins.samples.size() <= 16, where + ": at most 16 samples");
        for (auto s : ins.noteSample)
            check(ins.samples.empty() || s < ins.samples.size(), where + ": note map names a missing sample");
        check(ins.fadeout <= 0xFFF, where + ": fadeout goes up to 4095");
        validateEnvelope(ins.volumeEnvelope, where);
        validateEnvelope(ins.panningEnvelope, where);
        for (const auto& s : ins.samples) {
            check(s.volume <= 64, where + ": sample volume goes up to 64");
            check(s.loop == Loop::None || (s.loopLength > 0 && s.loopStart + s.loopLength <= s.data.size()),
                  where + ": the sample loop must lie inside the sample");
            check(s.data.size() * 2 < 0x7FFFFFFFu, where + ": sample too long");
        }
    }
}

std::vector<std::uint8_t> packPattern(const Pattern& pattern, int channels) {
    std::vector<std::uint8_t> out;
    for (int row = 0; row < pattern.rows; ++row) {
        for (int ch = 0; ch < channels; ++ch) {
            const Cell& c = pattern.cells[static_cast<std::size_t>(row * channels + ch)];
            std::uint8_t mask = 0;
            if (c.note) mask |= 0x01;
            if (c.instrument) mask |= 0x02;
            if (c.volume) mask |= 0x04;
            if (c.effect) mask |= 0x08;
            if (c.parameter) mask |= 0x10;
            // A full cell is shorter unpacked; anything else gets the mask byte.
            if (mask != 0x1F) out.push_back(static_cast<std::uint8_t>(0x80 | mask));
            if (mask & 0x01) out.push_back(c.note);
            if (mask & 0x02) out.push_back(c.instrument);
            if (mask & 0x04) out.push_back(c.volume);
            if (mask & 0x08) out.push_back(c.effect);
            if (mask & 0x10) out.push_back(c.parameter);
        }
    }
    return out;
}

std::vector<std::uint8_t> deltaEncode(const Sample& sample) {
    std::vector<std::uint8_t> out;
    if (sample.sixteenBit) {
        std::uint16_t previous = 0;
        for (std::int16_t v : sample.data) {
            const auto current = static_cast<std::uint16_t>(v);
            const auto delta = static_cast<std::uint16_t>(current - previous); // wraps, as the format expects
            out.push_back(static_cast<std::uint8_t>(delta & 0xFFu));
            out.push_back(static_cast<std::uint8_t>(delta >> 8));
            previous = current;
        }
    } else {
        std::uint8_t previous = 0;
        for (std::int16_t v : sample.data) {
            const auto current = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
            out.push_back(static_cast<std::uint8_t>(current - previous));
            previous = current;
        }
    }
    return out;
}

std::pair<std::int8_t, std::int8_t> tuningFor(double rate, int note) {
    // A note plays at 8363 Hz × 2^((note − 49 + relative + finetune/128) / 12).
    const double semitones = 12.0 * std::log2(rate / 8363.0) - (note - 49);
    const double relative = std::round(semitones);
    const double finetune = std::round((semitones - relative) * 128.0);
    if (relative < -96 || relative > 96) throw XmError("sample rate too far from the note it must play");
    return {static_cast<std::int8_t>(relative), static_cast<std::int8_t>(std::min(finetune, 127.0))};
}

std::vector<std::uint8_t> writeXm(const Module& m) {
    validate(m);
    Out out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20);
    out.u8(0x1A);
    out.text(m.tracker, 20);
    out.u16(0x0104);
    out.u32(276);
    out.u16(static_cast<std::uint32_t>(m.order.size()));
    out.u16(m.restart);
    out.u16(static_cast<std::uint32_t>(m.channels));
    out.u16(static_cast<std::uint32_t>(m.patterns.size()));
    out.u16(static_cast<std::uint32_t>(m.instruments.size()));
    out.u16(m.linearFrequencies ? 1u : 0u);
    out.u16(m.speed);
    out.u16(m.bpm);
    for (std::size_t i = 0; i < 256; ++i) out.u8(i < m.order.size() ? m.order[i] : 0u);

    for (const auto& p : m.patterns) {
        const auto packed = packPattern(p, m.channels);
        check(packed.size() <= 0xFFFF, "a packed pattern is larger than 65535 bytes");
        out.u32(9);
        out.u8(0);
        out.u16(static_cast<std::uint32_t>(p.rows));
        out.u16(static_cast<std::uint32_t>(packed.size()));
        out.append(packed);
    }

    for (const auto& ins : m.instruments) {
        out.u32(ins.samples.empty() ? 29u : 263u);
        out.text(ins.name, 22);
        out.u8(0);
        out.u16(static_cast<std::uint32_t>(ins.samples.size()));
        if (ins.samples.empty()) continue;
        out.u32(40);
        for (auto s : ins.noteSample) out.u8(s);
        writeEnvelopePoints(out, ins.volumeEnvelope);
        writeEnvelopePoints(out, ins.panningEnvelope);
        out.u8(static_cast<std::uint32_t>(ins.volumeEnvelope.points.size()));
        out.u8(static_cast<std::uint32_t>(ins.panningEnvelope.points.size()));
        for (const Envelope* env : {&ins.volumeEnvelope, &ins.panningEnvelope}) {
            out.u8(static_cast<std::uint32_t>(std::max(env->sustain, 0)));
            out.u8(static_cast<std::uint32_t>(std::max(env->loopStart, 0)));
            out.u8(static_cast<std::uint32_t>(std::max(env->loopEnd, 0)));
        }
        out.u8(envelopeFlags(ins.volumeEnvelope));
        out.u8(envelopeFlags(ins.panningEnvelope));
        out.u8(ins.vibratoType);
        out.u8(ins.vibratoSweep);
        out.u8(ins.vibratoDepth);
        out.u8(ins.vibratoRate);
        out.u16(ins.fadeout);
        out.text("", 22); // reserved
        for (const auto& s : ins.samples) {
            const std::uint32_t unit = bytesPerFrame(s);
            const bool looped = s.loop != Loop::None;
            out.u32(static_cast<std::uint32_t>(s.data.size()) * unit);
            out.u32(looped ? s.loopStart * unit : 0u);
            out.u32(looped ? s.loopLength * unit : 0u);
            out.u8(s.volume);
            out.u8(static_cast<std::uint8_t>(s.finetune));
            out.u8(static_cast<std::uint32_t>(s.loop) | (s.sixteenBit ? 0x10u : 0u));
            out.u8(s.panning);
            out.u8(static_cast<std::uint8_t>(s.relativeNote));
            out.u8(0);
            out.text(s.name, 22);
        }
        for (const auto& s : ins.samples) out.append(deltaEncode(s));
    }
    return out.bytes;
}

} // namespace tw::xm
