// SPDX-License-Identifier: MIT
// Writes tiny XM songs for the music tests: one pattern, one instrument with one looped,
// synthesised 8-bit sample, so every test makes the song it needs and ships no binary fixture.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tw::test {

struct XmSongSpec {
    std::uint8_t note = 49; // 1 = C-0 ... 96 = B-7; 49 is C-4
    int rows = 16;
    int samplePeriod = 32; // bytes per cycle of the synthesised wave
    bool square = true;    // square wave, else sawtooth
};

class XmWriter {
public:
    static std::vector<std::uint8_t> build(const XmSongSpec& params) {
        XmWriter w;
        w.text("Extended Module: ", 17);
        w.text("test song", 20);
        w.u8(0x1A);
        w.text("tide warden tests", 20);
        w.u16(0x0104);
        w.u32(276);   // header size, counted from this field
        w.u16(1);     // song length in orders
        w.u16(0);     // restart position
        w.u16(2);     // channels
        w.u16(1);     // patterns
        w.u16(1);     // instruments
        w.u16(1);     // linear frequency table
        w.u16(6);     // speed (ticks per row)
        w.u16(125);   // BPM
        w.zeros(256); // order table: pattern 0 only

        // Pattern 0: the note on channel 1 of row 0, every other cell empty (packed 0x80).
        std::vector<std::uint8_t> cells;
        for (int row = 0; row < params.rows; ++row) {
            if (row == 0) {
                cells.insert(cells.end(), {params.note, 1, 0, 0, 0});
            } else {
                cells.push_back(0x80);
            }
            cells.push_back(0x80);
        }
        w.u32(9);
        w.u8(0);
        w.u16(static_cast<std::uint16_t>(params.rows));
        w.u16(static_cast<std::uint16_t>(cells.size()));
        w.bytes(cells);

        // Instrument 1 with one sample and no envelopes.
        const std::size_t instrumentStart = w.out_.size();
        w.u32(263);
        w.text("tone", 22);
        w.u8(0);
        w.u16(1);               // samples
        w.u32(40);              // sample header size
        w.zeros(96);            // every note plays sample 0
        w.zeros(48 + 48);       // volume and panning envelope points
        w.zeros(2 + 6 + 2 + 4); // point counts, sustain and loop points, types, vibrato
        w.u16(0);               // fade-out
        w.zeros(263 - (w.out_.size() - instrumentStart));

        std::vector<std::uint8_t> wave;
        const int length = params.samplePeriod * 4;
        for (int i = 0; i < length; ++i) {
            const int phase = i % params.samplePeriod;
            const int value =
                params.square ? (phase < params.samplePeriod / 2 ? 90 : -90) : (phase * 180 / params.samplePeriod) - 90;
            wave.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(value)));
        }
        w.u32(static_cast<std::uint32_t>(length));
        w.u32(0);                                  // loop start
        w.u32(static_cast<std::uint32_t>(length)); // loop length: the tone holds
        w.u8(64);                                  // volume
        w.u8(0);                                   // finetune
        w.u8(1);                                   // forward loop, 8-bit
        w.u8(128);                                 // panning
        w.u8(0);                                   // relative note
        w.u8(0);
        w.text("wave", 22);
        // Sample data is stored as differences from the previous byte.
        std::uint8_t previous = 0;
        for (std::uint8_t value : wave) {
            w.u8(static_cast<std::uint8_t>(value - previous));
            previous = value;
        }
        return w.out_;
    }

    static void write(const std::string& path, const XmSongSpec& params = {}) {
        const auto data = build(params);
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }

private:
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v & 0xFF));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v & 0xFFFF));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
    void text(const std::string& s, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    }
    void bytes(const std::vector<std::uint8_t>& v) { out_.insert(out_.end(), v.begin(), v.end()); }

    std::vector<std::uint8_t> out_;
};

} // namespace tw::test
