// SPDX-License-Identifier: MIT
// The settings and the local high-score table kept in "config.dat", and the result being entered.
// Shell, game and online all read them. One instance.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// A text of at most ten 8-bit characters, stored as a length byte and ten character bytes. The
// bytes past the length mean nothing but are kept as they came.
struct TShortText {
    static constexpr std::uint8_t MaxLength = 10;
    std::uint8_t Length = 0;
    std::array<std::uint8_t, MaxLength> Chars{};

    std::string Text() const;
    // Keeps the first ten characters of text.
    void SetText(std::string_view text);
    // Adds one character at the end; false (and nothing changes) when the text is full.
    bool Append(char c);
    // Drops the last character; false when the text is empty.
    bool DeleteLast();
};

// One place of the high-score table, and the result being entered (NewEntry).
struct THighScoreEntry {
    TShortText Name;
    std::uint8_t Reserved = 0; // kept as read
    std::uint16_t Score = 0;
};

constexpr int HighScoreCount = 10;
using THighScores = std::array<THighScoreEntry, HighScoreCount>;

// The table of a new file: "Anonymous" at every place, 1000 at place 1 down to 100 at place 10.
THighScores DefaultHighScores();

// The boss key of a new settings file: F12, as the platform's virtual-key code.
inline constexpr std::uint16_t DefaultBossKey = 0x7B;

// The settings and the table kept in "config.dat", with the values a new file gets (the one place
// they are written). The
// configuration reader overwrites them at start; until it runs these defaults apply.
struct SettingsState {
    std::uint8_t Windowed = 1;
    std::uint8_t MusicOn = 1;
    std::uint8_t SoundOn = 1;
    std::uint8_t Reserved3 = 0; // kept as read
    std::uint16_t BossKey = DefaultBossKey;
    TShortText Country;
    std::uint8_t Reserved17 = 0; // kept as read
    THighScores HighScores = DefaultHighScores();
    // The result of the game just over: the typed name and, just before insertion, the score.
    // Never saved.
    THighScoreEntry NewEntry;
};

extern SettingsState Settings;
