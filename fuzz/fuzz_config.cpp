// Fuzzes the reader of "config.dat". Any bytes must read without a crash; a record that reads must
// write back to the same bytes, except that length bytes above 10 come back as 10 and flags come back
// as on or off.
#include "shell/Config.h"

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
    for (std::size_t n = 0; n < static_cast<std::size_t>(HighScoreCount); ++n) clamp(18 + n * 14);
    if (EncodeConfigFile(settings) != expected) __builtin_trap();

    // The texts a damaged file gives are never longer than a short text can hold.
    if (settings.Country.Text().size() > TShortText::MaxLength) __builtin_trap();
    for (const auto& e : settings.HighScores)
        if (e.Name.Text().size() > TShortText::MaxLength) __builtin_trap();
    return 0;
}
