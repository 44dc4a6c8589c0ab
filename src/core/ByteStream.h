// SPDX-License-Identifier: MIT
// Bounds-checked little-endian reading and writing of byte buffers, shared by the bitmap and the
// collection-file readers. Running out of bytes is the one error here: "Stream read error".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// Every failure of reading a collection stream or a picture payload ("Stream read error",
// "Invalid stream format", "Invalid property value", ...).
class EReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::int8_t i8() { return static_cast<std::int8_t>(u8()); }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::uint8_t peek() const; // throws when at the end
    // The next n bytes as a view into the buffer; nothing is copied, so a lying length costs nothing.
    std::span<const std::uint8_t> bytes(std::size_t n);
    void skip(std::size_t n) { bytes(n); }
    std::string shortString(); // 1 length byte, then the bytes

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

class ByteWriter {
public:
    void u8(std::uint8_t v) { out_.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
    void shortString(const std::string& s); // throws std::length_error past 255 bytes
    void patchU32(std::size_t at, std::uint32_t v);
    std::size_t size() const { return out_.size(); }
    const std::vector<std::uint8_t>& data() const { return out_; }
    std::vector<std::uint8_t> take() { return std::move(out_); }

private:
    std::vector<std::uint8_t> out_;
};
