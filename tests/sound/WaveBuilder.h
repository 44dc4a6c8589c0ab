// SPDX-License-Identifier: MIT
// Builds RIFF WAVE byte blocks chunk by chunk, so a test can lay out exactly the damage it needs.
#pragma once

#include "sound/Wave.h"

#include <cstdint>
#include <string>
#include <vector>

class WaveBuilder {
public:
    explicit WaveBuilder(const std::string& riff = "RIFF", const std::string& wave = "WAVE") {
        id(riff);
        u32(0);
        id(wave);
    }
    WaveBuilder& chunk(const std::string& chunkId, const std::vector<std::uint8_t>& body, bool pad = false) {
        return chunkSized(chunkId, static_cast<std::uint32_t>(body.size()), body, pad);
    }
    // A chunk whose size field says `size` whatever the body holds.
    WaveBuilder& chunkSized(const std::string& chunkId, std::uint32_t size, const std::vector<std::uint8_t>& body,
                            bool pad = false) {
        id(chunkId);
        u32(size);
        bytes.insert(bytes.end(), body.begin(), body.end());
        if (pad) bytes.push_back(0);
        return *this;
    }
    WaveBuilder& raw(const std::vector<std::uint8_t>& b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    std::vector<std::uint8_t> bytes;

private:
    void id(const std::string& s) {
        for (std::size_t i = 0; i < 4; ++i) bytes.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
};

// 16-bit little-endian samples as bytes.
inline std::vector<std::uint8_t> pcm16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> out;
    for (auto s : samples) {
        auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

// A wave of `frames` frames of a constant 16-bit value.
inline TWave constantWave(int channels, int rate, int frames, std::int16_t value) {
    TWave w;
    w.SetFormat(makePcmFormat(channels, 16, rate));
    w.SetData(pcm16(std::vector<std::int16_t>(static_cast<std::size_t>(frames * channels), value)));
    return w;
}
