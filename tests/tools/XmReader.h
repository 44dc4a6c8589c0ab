// SPDX-License-Identifier: MIT
// A small XM reader for the tests, written apart from the writer: it reads what a player reads
// (skipping by the stored header sizes) and undoes the pattern packing and sample deltas.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "XmWriter.h"

namespace xmtest {

struct ReadModule {
    std::string id, name, tracker;
    int marker = 0, version = 0, headerSize = 0;
    tw::xm::Module module;
    std::vector<int> instrumentHeaderSizes;
};

class Bytes {
public:
    explicit Bytes(const std::vector<std::uint8_t>& b) : b_(b) {}
    std::uint32_t u8() {
        if (pos_ >= b_.size()) throw std::runtime_error("read past the end at " + std::to_string(pos_));
        return b_[pos_++];
    }
    std::uint32_t u16() {
        const auto lo = u8();
        return lo | u8() << 8;
    }
    std::uint32_t u32() {
        const auto lo = u16();
        return lo | u16() << 16;
    }
    std::string text(std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(u8()));
        return s.substr(0, s.find('\0'));
    }
    std::size_t pos() const { return pos_; }
    void seek(std::size_t p) { pos_ = p; }
    bool atEnd() const { return pos_ == b_.size(); }

private:
    const std::vector<std::uint8_t>& b_;
    std::size_t pos_ = 0;
};

inline ReadModule readXm(const std::vector<std::uint8_t>& bytes) {
    Bytes in(bytes);
    ReadModule r;
    auto& m = r.module;
    r.id = in.text(17);
    r.name = m.name = in.text(20);
    r.marker = static_cast<int>(in.u8());
    r.tracker = m.tracker = in.text(20);
    r.version = static_cast<int>(in.u16());
    const std::size_t headerStart = in.pos();
    r.headerSize = static_cast<int>(in.u32());
    const auto length = in.u16();
    m.restart = static_cast<std::uint16_t>(in.u16());
    m.channels = static_cast<int>(in.u16());
    const auto patterns = in.u16(), instruments = in.u16();
    m.linearFrequencies = (in.u16() & 1) != 0;
    m.speed = static_cast<std::uint16_t>(in.u16());
    m.bpm = static_cast<std::uint16_t>(in.u16());
    for (std::uint32_t i = 0; i < 256; ++i) {
        const auto p = in.u8();
        if (i < length) m.order.push_back(static_cast<std::uint8_t>(p));
    }
    in.seek(headerStart + static_cast<std::size_t>(r.headerSize));

    for (std::uint32_t p = 0; p < patterns; ++p) {
        const std::size_t start = in.pos();
        const auto headerLength = in.u32();
        if (in.u8() != 0) throw std::runtime_error("unknown packing");
        tw::xm::Pattern pattern;
        pattern.rows = static_cast<int>(in.u16());
        const auto packedSize = in.u16();
        in.seek(start + headerLength);
        const std::size_t end = in.pos() + packedSize;
        while (in.pos() < end) {
            tw::xm::Cell c;
            const auto first = in.u8();
            const std::uint32_t mask = (first & 0x80) ? first & 0x1F : 0x1F;
            if (!(first & 0x80))
                c.note = static_cast<std::uint8_t>(first);
            else if (mask & 0x01)
                c.note = static_cast<std::uint8_t>(in.u8());
            if (mask & 0x02) c.instrument = static_cast<std::uint8_t>(in.u8());
            if (mask & 0x04) c.volume = static_cast<std::uint8_t>(in.u8());
            if (mask & 0x08) c.effect = static_cast<std::uint8_t>(in.u8());
            if (mask & 0x10) c.parameter = static_cast<std::uint8_t>(in.u8());
            pattern.cells.push_back(c);
        }
        if (in.pos() != end) throw std::runtime_error("pattern data overruns its size");
        m.patterns.push_back(pattern);
    }

    for (std::uint32_t i = 0; i < instruments; ++i) {
        const std::size_t start = in.pos();
        tw::xm::Instrument ins;
        const auto size = in.u32();
        r.instrumentHeaderSizes.push_back(static_cast<int>(size));
        ins.name = in.text(22);
        in.u8(); // type
        const auto samples = in.u16();
        std::uint32_t sampleHeaderSize = 40;
        if (samples > 0) {
            sampleHeaderSize = in.u32();
            for (auto& s : ins.noteSample) s = static_cast<std::uint8_t>(in.u8());
            tw::xm::Envelope* envs[] = {&ins.volumeEnvelope, &ins.panningEnvelope};
            std::vector<std::pair<std::uint16_t, std::uint16_t>> points[2];
            for (auto& list : points)
                for (int k = 0; k < 12; ++k) {
                    const auto x = in.u16();
                    list.emplace_back(static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(in.u16()));
                }
            const auto volCount = in.u8(), panCount = in.u8();
            points[0].resize(volCount);
            points[1].resize(panCount);
            int sustainLoop[2][3];
            for (auto& e : sustainLoop)
                for (int& v : e) v = static_cast<int>(in.u8());
            const std::uint32_t flags[2] = {in.u8(), in.u8()};
            for (int e = 0; e < 2; ++e) {
                envs[e]->points = points[e];
                envs[e]->sustain = (flags[e] & 2) ? sustainLoop[e][0] : -1;
                envs[e]->loopStart = (flags[e] & 4) ? sustainLoop[e][1] : -1;
                envs[e]->loopEnd = (flags[e] & 4) ? sustainLoop[e][2] : -1;
                if (!(flags[e] & 1) && !envs[e]->points.empty())
                    throw std::runtime_error("envelope points without the on flag");
            }
            ins.vibratoType = static_cast<std::uint8_t>(in.u8());
            ins.vibratoSweep = static_cast<std::uint8_t>(in.u8());
            ins.vibratoDepth = static_cast<std::uint8_t>(in.u8());
            ins.vibratoRate = static_cast<std::uint8_t>(in.u8());
            ins.fadeout = static_cast<std::uint16_t>(in.u16());
        }
        in.seek(start + size);
        std::vector<std::uint32_t> byteLengths;
        for (std::uint32_t s = 0; s < samples; ++s) {
            const std::size_t sampleStart = in.pos();
            tw::xm::Sample smp;
            byteLengths.push_back(in.u32());
            const auto loopStart = in.u32(), loopLength = in.u32();
            smp.volume = static_cast<std::uint8_t>(in.u8());
            smp.finetune = static_cast<std::int8_t>(in.u8());
            const auto type = in.u8();
            smp.panning = static_cast<std::uint8_t>(in.u8());
            smp.relativeNote = static_cast<std::int8_t>(in.u8());
            in.u8();
            smp.name = in.text(22);
            smp.sixteenBit = (type & 0x10) != 0;
            smp.loop = static_cast<tw::xm::Loop>(type & 3);
            const std::uint32_t unit = smp.sixteenBit ? 2 : 1;
            smp.loopStart = smp.loop == tw::xm::Loop::None ? 0 : loopStart / unit;
            smp.loopLength = smp.loop == tw::xm::Loop::None ? 0 : loopLength / unit;
            ins.samples.push_back(smp);
            in.seek(sampleStart + sampleHeaderSize);
        }
        for (std::uint32_t s = 0; s < samples; ++s) {
            auto& smp = ins.samples[s];
            if (smp.sixteenBit) {
                std::uint16_t value = 0;
                for (std::uint32_t k = 0; k < byteLengths[s] / 2; ++k) {
                    value = static_cast<std::uint16_t>(value + in.u16());
                    smp.data.push_back(static_cast<std::int16_t>(value));
                }
            } else {
                std::uint8_t value = 0;
                for (std::uint32_t k = 0; k < byteLengths[s]; ++k) {
                    value = static_cast<std::uint8_t>(value + in.u8());
                    smp.data.push_back(static_cast<std::int16_t>(static_cast<std::int8_t>(value) * 256));
                }
            }
        }
        m.instruments.push_back(ins);
    }
    if (!in.atEnd()) throw std::runtime_error("bytes after the last instrument");
    return r;
}

// Seconds the order list takes once through (the songs change neither speed nor tempo).
inline double songSeconds(const tw::xm::Module& m) {
    double rows = 0;
    for (auto p : m.order) rows += m.patterns[p].rows;
    return rows * m.speed * 2.5 / m.bpm;
}

} // namespace xmtest
