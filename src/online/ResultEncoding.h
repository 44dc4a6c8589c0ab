// SPDX-License-Identifier: MIT
// The text form of a result for the world high-score service: the record, its expansion into bit
// characters and the 32-symbol encoding, and the token read from the version answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::online {

// The one-letter key this client sends with every result.
inline constexpr char ClientKey = 'T';

// The 32 symbols of the encoding, symbol i standing for the five bits of i.
inline constexpr std::string_view SymbolTable = "QWERTYUPASDFGHKLZXCVBNM234567890";

// A token longer than this is no token of a sane service.
inline constexpr std::size_t MaxTokenLength = 254;

// Each byte becomes its eight bits, most significant first, as "0" and "1".
std::string TextToBits(std::string_view text);

// Groups of five bit characters (the front padded with "0") become one symbol each; any character
// other than "0" counts as a set bit.
std::string BitsToSymbols(std::string_view bits);

// Keeps only the characters the game lets a player type into a name or country (space, 0-9, A-Z,
// a-z), so an edited settings file cannot slip a "|" or "=" into the record.
std::string TypableOnly(std::string_view text);

// "type=0|name=...|score=...|key=T|p=...|add=...|z=" with "0" added up to a length that is a
// multiple of 5. Name and country are filtered by TypableOnly.
std::string ResultRecord(std::string_view name, std::uint16_t score, std::string_view token, std::string_view country);

// The fifth "|"-separated field of the version answer (the leading "OK" is the first); empty when
// fewer than five "|" follow. Nothing when the token is too long to be trusted.
std::optional<std::string> TokenFromAnswer(std::string_view answer);

// The value of the submission's "inf" parameter for a record.
inline std::string EncodeRecord(std::string_view record) { return BitsToSymbols(TextToBits(record)); }

} // namespace tw::online
