// SPDX-License-Identifier: MIT
// Reading and writing RIFF WAVE bytes; the layout is described in Wave.h.
#include "sound/Wave.h"

#include "core/ByteStream.h"
#include "core/DataFile.h"
#include "core/FileErrors.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kCapacityStep = 8096;

std::uint32_t fourCC(const char (&id)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(id[0])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(id[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(id[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(id[3])) << 24);
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

[[noreturn]] void readError() { throw EReadError("Stream read error"); }

} // namespace

void TWave::SetData(std::span<const std::uint8_t> data) {
    std::size_t capacity = (data.size() + kCapacityStep - 1) / kCapacityStep * kCapacityStep;
    std::vector<std::uint8_t> block;
    block.reserve(capacity);
    block.assign(data.begin(), data.end());
    data_ = std::move(block);
    size_ = data.size();
}

void TWave::Clear() {
    format_.clear();
    data_.clear();
    size_ = 0;
}

void TWave::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 12 || le32(bytes.data()) != fourCC("RIFF") || le32(bytes.data() + 8) != fourCC("WAVE"))
        throw EWaveStreamError("Wave is invalid");

    std::span<const std::uint8_t> format;
    std::size_t dataAt = 0;
    std::uint64_t dataSize = 0;
    bool haveData = false;

    std::size_t pos = 12;
    while (true) {
        std::uint8_t header[8] = {};
        if (pos < bytes.size()) std::memcpy(header, bytes.data() + pos, std::min<std::size_t>(8, bytes.size() - pos));
        std::uint32_t id = le32(header);
        std::uint64_t size = le32(header + 4);
        if (id == 0) break;
        std::uint64_t body = static_cast<std::uint64_t>(pos) + 8;
        if (id == fourCC("fmt ")) {
            if (body + size > bytes.size()) readError();
            format = bytes.subspan(static_cast<std::size_t>(body), static_cast<std::size_t>(size));
        } else if (id == fourCC("data")) {
            haveData = true;
            dataAt = static_cast<std::size_t>(std::min<std::uint64_t>(body, bytes.size()));
            dataSize = size;
        }
        std::uint64_t next = body + size;
        if (next >= bytes.size()) break; // stepped past the end: the next header reads as zeros
        pos = static_cast<std::size_t>(next);
        if ((size & 1) != 0 && bytes[pos] == 0) ++pos;
    }
    if (haveData && dataAt + dataSize > bytes.size()) readError();

    // Only now, when nothing can fail, does the wave change.
    format_.assign(format.begin(), format.end());
    SetData(haveData ? bytes.subspan(dataAt, static_cast<std::size_t>(dataSize)) : std::span<const std::uint8_t>{});
}

std::vector<std::uint8_t> TWave::SaveToBytes() const {
    ByteWriter out;
    auto id = [&](const char(&s)[5]) { out.u32(fourCC(s)); };
    id("RIFF");
    out.u32(static_cast<std::uint32_t>(4 + 8 + format_.size() + 8 + size_));
    id("WAVE");
    id("fmt ");
    out.u32(static_cast<std::uint32_t>(format_.size()));
    out.bytes(format_);
    id("data");
    out.u32(static_cast<std::uint32_t>(size_));
    out.bytes(Data());
    return out.take();
}

void TWave::LoadFromFile(const std::string& path) {
    const std::vector<std::uint8_t> bytes = ReadDataFile(path);
    try {
        LoadFromBytes(bytes);
    } catch (const EReadError& e) {
        throw EReadError(DamagedFileMessage(path, e.what()));
    } catch (const EWaveStreamError& e) {
        throw EWaveStreamError(DamagedFileMessage(path, e.what()));
    }
}

void TWave::SaveToFile(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw EReadError("Cannot create file \"" + path + "\". " + std::strerror(errno));
    auto bytes = SaveToBytes();
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw EReadError("Cannot write file \"" + path + "\"");
}

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
// The rest of the extensible sub-format GUID after its first two bytes (the plain format tag).
constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string hex16(std::uint16_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) s += digits[(v >> shift) & 15];
    return s;
}

} // namespace

std::optional<PcmFormat> parsePcmFormat(std::span<const std::uint8_t> f, std::string* why) {
    auto fail = [&](std::string text) -> std::optional<PcmFormat> {
        if (why) *why = std::move(text);
        return std::nullopt;
    };
    if (f.empty()) return fail("the wave has no format");
    if (f.size() < 16) return fail("its format block of " + std::to_string(f.size()) + " bytes is too short");
    std::uint16_t tag = le16(f.data());
    if (tag == kTagExtensible) {
        // The real format is the sub-format GUID (at offset 24), which starts with the plain tag.
        if (f.size() < 40)
            return fail("its extensible format block of " + std::to_string(f.size()) + " bytes is too short");
        tag = le16(f.data() + 24);
        if (!std::equal(std::begin(kGuidTail), std::end(kGuidTail), f.data() + 26) ||
            (tag != kTagPcm && tag != kTagFloat))
            return fail("its extensible sub-format is neither PCM nor floating point");
    } else if (tag != kTagPcm && tag != kTagFloat) {
        return fail("format tag " + hex16(tag) + " is neither PCM nor floating point");
    }
    PcmFormat p;
    p.isFloat = tag == kTagFloat;
    p.channels = le16(f.data() + 2);
    p.samplesPerSec = static_cast<int>(std::min<std::uint32_t>(le32(f.data() + 4), 1u << 30));
    p.blockAlign = le16(f.data() + 12);
    const int bits = le16(f.data() + 14);
    if (p.channels < 1 || p.channels > kMaxChannels)
        return fail(std::to_string(p.channels) + " channels cannot be played (1 to " + std::to_string(kMaxChannels) +
                    ")");
    if (p.blockAlign % p.channels != 0 || p.blockAlign == 0)
        return fail("block align " + std::to_string(p.blockAlign) + " does not fit " + std::to_string(p.channels) +
                    " channels");
    // Integer samples narrower than their container (20 bits in 3 bytes) sit in its high bits.
    p.bitsPerSample = p.blockAlign / p.channels * 8;
    const bool sizeOk = p.isFloat ? bits == p.bitsPerSample && (bits == 32 || bits == 64)
                                  : bits >= 1 && bits <= p.bitsPerSample && p.bitsPerSample <= 32;
    if (!sizeOk)
        return fail(std::to_string(bits) + "-bit " + (p.isFloat ? "floating point " : "") + "samples in " +
                    std::to_string(p.bitsPerSample / 8) + "-byte containers cannot be played");
    if (p.samplesPerSec < 100 || p.samplesPerSec > 200000)
        return fail("a rate of " + std::to_string(p.samplesPerSec) + " Hz cannot be played (100 to 200000)");
    return p;
}

PcmFormat playablePcmFormat(std::span<const std::uint8_t> formatBlock) {
    std::string why;
    auto p = parsePcmFormat(formatBlock, &why);
    if (!p) throw EWaveFormatError("Wave cannot be played: " + why);
    return *p;
}

std::vector<std::uint8_t> makePcmFormat(int channels, int bitsPerSample, int samplesPerSec) {
    ByteWriter out;
    int blockAlign = channels * bitsPerSample / 8;
    out.u16(1);
    out.u16(static_cast<std::uint16_t>(channels));
    out.u32(static_cast<std::uint32_t>(samplesPerSec));
    out.u32(static_cast<std::uint32_t>(samplesPerSec * blockAlign));
    out.u16(static_cast<std::uint16_t>(blockAlign));
    out.u16(static_cast<std::uint16_t>(bitsPerSample));
    return out.take();
}
