// SPDX-License-Identifier: MIT
// The record of a result, its bit and symbol encoding, and the token of the version answer.
#include "online/ResultEncoding.h"

#include <array>

namespace tw::online {

namespace {

// Entry v is v in base 2, most significant bit first.
const std::array<std::array<char, 8>, 256>& BitTable() {
    static const auto table = [] {
        std::array<std::array<char, 8>, 256> t{};
        for (unsigned v = 0; v < 256; ++v)
            for (unsigned i = 0; i < 8; ++i) t[v][i] = ((v >> (7 - i)) & 1U) != 0 ? '1' : '0';
        return t;
    }();
    return table;
}

bool IsTypable(char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string TextToBits(std::string_view text) {
    std::string bits;
    bits.reserve(text.size() * 8);
    // Indexed by the unsigned byte: a name from a damaged settings file may hold bytes above 127.
    for (char c : text) {
        const auto& entry = BitTable()[static_cast<unsigned char>(c)];
        bits.append(entry.data(), entry.size());
    }
    return bits;
}

std::string BitsToSymbols(std::string_view bits) {
    const std::size_t padding = (5 - bits.size() % 5) % 5;
    std::string padded(padding, '0');
    padded.append(bits);

    std::string symbols;
    symbols.reserve(padded.size() / 5);
    for (std::size_t group = 0; group < padded.size(); group += 5) {
        std::size_t value = 0;
        for (std::size_t i = 0; i < 5; ++i) value = value * 2 + (padded[group + i] != '0' ? 1U : 0U);
        symbols.push_back(SymbolTable[value]);
    }
    return symbols;
}

std::string TypableOnly(std::string_view text) {
    std::string kept;
    for (char c : text)
        if (IsTypable(c)) kept.push_back(c);
    return kept;
}

std::string ResultRecord(std::string_view name, std::uint16_t score, std::string_view token, std::string_view country) {
    std::string record = "type=0";
    record += "|name=" + TypableOnly(name);
    record += "|score=" + std::to_string(score);
    record += "|key=";
    record += ClientKey;
    record += "|p=";
    record += token;
    record += "|add=" + TypableOnly(country);
    record += "|z=";
    while (record.size() % 5 != 0) record += '0';
    return record;
}

std::optional<std::string> TokenFromAnswer(std::string_view answer) {
    std::string_view rest = answer;
    std::string_view field;
    for (int pass = 0; pass < 5; ++pass) {
        const std::size_t bar = rest.find('|');
        if (bar == std::string_view::npos) {
            field = {};
            continue;
        }
        field = rest.substr(0, bar);
        rest.remove_prefix(bar + 1);
    }
    if (field.size() > MaxTokenLength) return std::nullopt;
    return std::string(field);
}

} // namespace tw::online
