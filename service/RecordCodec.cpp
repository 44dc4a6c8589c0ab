// SPDX-License-Identifier: MIT
// The inverse of the game's record encoding, and the strict reading of the record.
#include "RecordCodec.h"

#include <array>
#include <vector>

namespace tw::scores {

namespace {

constexpr std::string_view Symbols = "QWERTYUPASDFGHKLZXCVBNM234567890";

bool IsTypable(char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool AllTypable(std::string_view text) {
    for (char c : text)
        if (!IsTypable(c)) return false;
    return true;
}

bool IsTokenChar(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::vector<std::string_view> SplitFields(std::string_view record) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t bar = record.find('|');
        fields.push_back(record.substr(0, bar));
        if (bar == std::string_view::npos) return fields;
        record.remove_prefix(bar + 1);
    }
}

} // namespace

std::optional<std::string> DecodeInf(std::string_view inf) {
    // Eight symbols are forty bits, five characters: the game's records always fill whole groups.
    if (inf.empty() || inf.size() > MaxInfLength || inf.size() % 8 != 0) return std::nullopt;
    std::string text;
    text.reserve(inf.size() / 8 * 5);
    for (std::size_t group = 0; group < inf.size(); group += 8) {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            const std::size_t value = Symbols.find(inf[group + i]);
            if (value == std::string_view::npos) return std::nullopt;
            bits = (bits << 5) | value;
        }
        for (int byte = 4; byte >= 0; --byte) text.push_back(static_cast<char>((bits >> (8 * byte)) & 0xFFU));
    }
    return text;
}

ParsedRecord ParseRecord(std::string_view record) {
    static constexpr std::array<std::string_view, 7> Names = {"type=", "name=", "score=", "key=", "p=", "add=", "z="};
    const auto fields = SplitFields(record);
    if (fields.size() != Names.size())
        return {std::nullopt, "the record has " + std::to_string(fields.size()) + " fields, not 7"};
    std::array<std::string_view, 7> values;
    for (std::size_t i = 0; i < Names.size(); ++i) {
        if (fields[i].substr(0, Names[i].size()) != Names[i])
            return {std::nullopt, "field " + std::to_string(i + 1) + " is not " + std::string(Names[i])};
        values[i] = fields[i].substr(Names[i].size());
    }
    const auto [type, name, score, key, token, country, padding] = values;

    if (type != "0") return {std::nullopt, "unknown type"};
    if (name.size() > 10 || !AllTypable(name)) return {std::nullopt, "bad name"};
    // Decimal with no sign and no leading zeros, as the game writes it.
    if (score.empty() || score.size() > 5 || (score.size() > 1 && score[0] == '0')) return {std::nullopt, "bad score"};
    std::uint32_t value = 0;
    for (char c : score) {
        if (c < '0' || c > '9') return {std::nullopt, "bad score"};
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > 65535) return {std::nullopt, "score out of range"};
    if (key.size() != 1 || key[0] < 'A' || key[0] > 'Z') return {std::nullopt, "bad key"};
    if (token.empty() || token.size() > 254) return {std::nullopt, "bad token"};
    for (char c : token)
        if (!IsTokenChar(c)) return {std::nullopt, "bad token"};
    if (country.size() > 10 || !AllTypable(country)) return {std::nullopt, "bad country"};
    // At most four "0" that make the length a multiple of 5: then they are also the fewest that do.
    if (padding.size() > 4 || padding.find_first_not_of('0') != std::string_view::npos || record.size() % 5 != 0)
        return {std::nullopt, "bad padding"};

    Submission submission;
    submission.name = std::string(name);
    submission.score = static_cast<std::uint16_t>(value);
    submission.key = key[0];
    submission.token = std::string(token);
    submission.country = std::string(country);
    return {submission, {}};
}

} // namespace tw::scores
