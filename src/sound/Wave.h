// SPDX-License-Identifier: MIT
// TWave: the bytes of one RIFF WAVE sound (format block and sample data) with its reader and writer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// The RIFF WAVE bytes, in file order (little-endian, offsets from the start of the block):
//
//   "RIFF", u32 size (not used when reading), "WAVE"
//   chunks: 4-byte id, u32 size, body
//     "fmt "  the body is the format block, kept unchanged (format tag, channels, rate, ...)
//     "data"  the sample data
//     other   stepped over
//
// Reading: each chunk header is read into 8 zeroed bytes, so running out of bytes reads as id 0,
// which ends the list. A later chunk of the same id replaces an earlier one. A zero byte after an
// odd-sized chunk is its RIFF pad byte and is skipped. The data body must be there in full.
// Writing: "fmt " then "data", nothing else; the RIFF size is the block length - 8.

// "Wave is invalid": the block does not start with a RIFF WAVE header.
class EWaveStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TWave {
public:
    TWave() = default;
    TWave(const TWave&) = default;
    TWave& operator=(const TWave&) = default; // copies both blocks

    // Replaces format and data. Throws EWaveStreamError "Wave is invalid" or
    // EReadError "Stream read error" (a data or format body that the block does not hold);
    // on failure the wave keeps its previous contents.
    void LoadFromBytes(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> SaveToBytes() const;

    // EFOpenError "Cannot open file "%s". %s", EReadError "Cannot read file "%s". %s", or what
    // LoadFromBytes throws, its text after "Cannot load file "%s". ".
    void LoadFromFile(const std::string& path);
    void SaveToFile(const std::string& path) const;

    std::span<const std::uint8_t> Format() const { return format_; }
    std::span<const std::uint8_t> Data() const { return {data_.data(), size_}; }
    std::size_t FormatSize() const { return format_.size(); }
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

    void SetFormat(std::span<const std::uint8_t> format) { format_.assign(format.begin(), format.end()); }
    void SetData(std::span<const std::uint8_t> data);
    void Clear();

private:
    std::vector<std::uint8_t> format_;
    std::vector<std::uint8_t> data_; // capacity grows in steps of kCapacityStep
    std::size_t size_ = 0;
};

// "... cannot be played": a format block the sound device cannot convert (a compressed format,
// a sample size or rate it does not know). The text says what is wrong, for the player.
class EWaveFormatError : public EWaveStreamError {
public:
    using EWaveStreamError::EWaveStreamError;
};

// The sample layouts a format block can describe and the sound device converts at load: integer
// PCM of 1 to 4 bytes a sample (8-bit unsigned, wider signed, a narrower valid width kept in the
// high bits), 32- and 64-bit floating point, any number of channels up to kMaxChannels, plain or
// extensible format blocks.
struct PcmFormat {
    int channels = 0;
    int bitsPerSample = 0; // the container: 8, 16, 24 or 32 for integers, 32 or 64 for floats
    int samplesPerSec = 0;
    int blockAlign = 0; // bytes per frame
    bool isFloat = false;
};
constexpr int kMaxChannels = 64;
// nullopt for a format the device cannot convert; `why` then gets the reason.
std::optional<PcmFormat> parsePcmFormat(std::span<const std::uint8_t> formatBlock, std::string* why = nullptr);
// As parsePcmFormat, but throws EWaveFormatError with the reason.
PcmFormat playablePcmFormat(std::span<const std::uint8_t> formatBlock);
// A plain PCM format block (16 bytes) for the given layout.
std::vector<std::uint8_t> makePcmFormat(int channels, int bitsPerSample, int samplesPerSec);
