// SPDX-License-Identifier: MIT
// Bounds-checked little-endian reading and writing of byte buffers.
#include "core/ByteStream.h"

namespace {
[[noreturn]] void readError() { throw EReadError("Stream read error"); }
} // namespace

std::uint8_t ByteReader::u8() {
    if (remaining() < 1) readError();
    return bytes_[pos_++];
}

std::uint16_t ByteReader::u16() {
    auto b = bytes(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ByteReader::u32() {
    auto b = bytes(4);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint8_t ByteReader::peek() const {
    if (remaining() < 1) readError();
    return bytes_[pos_];
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    if (remaining() < n) readError();
    auto view = bytes_.subspan(pos_, n);
    pos_ += n;
    return view;
}

std::string ByteReader::shortString() {
    std::size_t n = u8();
    auto b = bytes(n);
    return std::string(b.begin(), b.end());
}

void ByteWriter::u16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void ByteWriter::shortString(const std::string& s) {
    if (s.size() > 255) throw std::length_error("Text too long for a short string: " + s.substr(0, 32) + "...");
    u8(static_cast<std::uint8_t>(s.size()));
    out_.insert(out_.end(), s.begin(), s.end());
}

void ByteWriter::patchU32(std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) out_.at(at + i) = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF);
}
