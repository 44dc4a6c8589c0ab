// SPDX-License-Identifier: MIT
// Fuzzes the reader of "config.dat". Any bytes must read without a crash; a record that reads must
// write back to the same bytes, except that length bytes above 10 come back as 10, flags come back
// as on or off, a boss key no capture could store comes back as F12 and the table comes back sorted.
#include "shell/Config.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    SettingsState settings;
    const bool read = DecodeConfigFile(bytes, settings);
    if (read != (size >= ConfigRecordSize)) __builtin_trap();
    if (!read) return 0;

    TConfigRecord expected;
    for (std::size_t i = 0; i < ConfigRecordSize; ++i) expected[i] = data[i];
    auto clamp = [&](std::size_t offset) {
        if (expected[offset] > TShortText::MaxLength) expected[offset] = TShortText::MaxLength;
    };
    clamp(6);
    // A flag is on unless its file byte is 1 (off XOR 1); it is written as 0 (on) or 1 (off).
    for (std::size_t i = 0; i < 3; ++i) expected[i] = expected[i] == 1 ? 1 : 0;
    if (!CanBeBossKey(static_cast<std::uint16_t>(expected[4] | (expected[5] << 8)))) {
        expected[4] = static_cast<std::uint8_t>(DefaultBossKey & 0xFF);
        expected[5] = static_cast<std::uint8_t>(DefaultBossKey >> 8);
    }
    // The entries as they are in the file, put in order of their (complemented) scores.
    using Entry = std::array<std::uint8_t, 14>;
    std::array<Entry, HighScoreCount> entries;
    for (std::size_t n = 0; n < entries.size(); ++n) {
        clamp(18 + n * 14);
        std::copy_n(expected.begin() + static_cast<std::ptrdiff_t>(18 + n * 14), 14, entries[n].begin());
    }
    auto score = [](const Entry& e) { return static_cast<std::uint16_t>(~(e[12] | (e[13] << 8))); };
    std::stable_sort(entries.begin(), entries.end(),
                     [&](const Entry& a, const Entry& b) { return score(a) > score(b); });
    for (std::size_t n = 0; n < entries.size(); ++n)
        std::copy(entries[n].begin(), entries[n].end(), expected.begin() + static_cast<std::ptrdiff_t>(18 + n * 14));
    if (EncodeConfigFile(settings) != expected) __builtin_trap();

    // The texts a damaged file gives are never longer than a short text can hold.
    if (settings.Country.Text().size() > TShortText::MaxLength) __builtin_trap();
    for (const auto& e : settings.HighScores)
        if (e.Name.Text().size() > TShortText::MaxLength) __builtin_trap();
    for (std::size_t n = 1; n < settings.HighScores.size(); ++n)
        if (settings.HighScores[n - 1].Score < settings.HighScores[n].Score) __builtin_trap();
    return 0;
}
