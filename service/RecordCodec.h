// SPDX-License-Identifier: MIT
// Reads a submitted result: the "inf" symbols back into the record's text, and the record's seven
// fields, each checked. Anything that the game's encoder would not have produced is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::scores {

// The longest inf a sane record gives (a 254-character token, ten-character name and country);
// anything longer is refused before it is decoded.
inline constexpr std::size_t MaxInfLength = 1024;

struct Submission {
    std::string name;
    std::uint16_t score = 0;
    char key = 0;
    std::string token;
    std::string country;
};

// The record's text, or nothing when inf is empty, too long, not whole groups of eight symbols or
// holds a character outside the symbol table.
std::optional<std::string> DecodeInf(std::string_view inf);

// The fields of "type=0|name=..|score=..|key=.|p=..|add=..|z=0..", in exactly that order, each once;
// the error says what is wrong.
struct ParsedRecord {
    std::optional<Submission> submission;
    std::string error;
};
ParsedRecord ParseRecord(std::string_view record);

} // namespace tw::scores
