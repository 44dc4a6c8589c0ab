// SPDX-License-Identifier: MIT
// An Extended Module (XM, version 0x0104) in memory and its writer.
//
// The file, in order (all numbers little-endian):
//   header     "Extended Module: ", name[20], 0x1A, tracker name[20], version 0x0104,
//              header size 276 (counted from that field), song length, restart position,
//              channels, patterns, instruments, flags (1 = linear frequencies), speed, BPM,
//              order table[256]
//   patterns   header length 9, packing 0, rows, packed size; then per row and channel one cell:
//              a byte with bit 7 set says which of note/instrument/volume/effect/parameter
//              follow (bits 0-4), any other byte is a note followed by all four fields
//   instruments header size 263, name[22], type 0, sample count; with samples: sample-header
//              size 40, note-to-sample map[96], volume and panning envelopes (12 points of
//              tick, value), their point counts, sustain/loop points and flags, auto-vibrato,
//              fadeout, reserved; then the sample headers (length, loop start, loop length in
//              bytes, volume, finetune, type, panning, relative note, name[22]) and the
//              samples' data, each stored as differences from the previous sample
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tw::xm {

class XmError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr std::uint8_t kKeyOff = 97;

struct Cell {
    std::uint8_t note = 0;       // 1..96 (1 = C-0), 97 = key off, 0 = none
    std::uint8_t instrument = 0; // 1-based, 0 = none
    std::uint8_t volume = 0;     // volume column: 0x10..0x50 sets volume 0..64
    std::uint8_t effect = 0;
    std::uint8_t parameter = 0;
    bool operator==(const Cell&) const = default;
};

struct Pattern {
    int rows = 64;
    std::vector<Cell> cells; // rows × channels, row by row
};

struct Envelope {
    std::vector<std::pair<std::uint16_t, std::uint16_t>> points; // tick, value 0..64
    int sustain = -1;                                            // point index, -1 = none
    int loopStart = -1, loopEnd = -1;
};

enum class Loop : std::uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
    std::string name;
    std::vector<std::int16_t> data; // stored as 8 bits (the high byte) when sixteenBit is false
    bool sixteenBit = true;
    Loop loop = Loop::None;
    std::uint32_t loopStart = 0, loopLength = 0; // in sample frames
    std::uint8_t volume = 64;
    std::int8_t finetune = 0; // 1/128 semitone
    std::uint8_t panning = 128;
    std::int8_t relativeNote = 0;
};

struct Instrument {
    std::string name;
    std::vector<Sample> samples;
    std::array<std::uint8_t, 96> noteSample{}; // which sample each note plays
    Envelope volumeEnvelope, panningEnvelope;
    std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
    std::uint16_t fadeout = 0;
};

struct Module {
    std::string name;
    std::string tracker = "Tide Warden songs";
    int channels = 8;
    std::uint16_t speed = 6; // ticks per row
    std::uint16_t bpm = 125;
    bool linearFrequencies = true;
    std::vector<std::uint8_t> order;
    std::uint16_t restart = 0;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// Throws XmError naming the first thing that an XM file cannot hold.
void validate(const Module& module);
std::vector<std::uint8_t> writeXm(const Module& module);

// The two encodings the format is built from, exposed for their tests.
std::vector<std::uint8_t> packPattern(const Pattern& pattern, int channels);
std::vector<std::uint8_t> deltaEncode(const Sample& sample);

// Relative note and finetune that make `note` (1..96) play a sample at `rate` Hz.
std::pair<std::int8_t, std::int8_t> tuningFor(double rate, int note);

} // namespace tw::xm
