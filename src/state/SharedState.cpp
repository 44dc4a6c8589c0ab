// SPDX-License-Identifier: MIT
// The one instance of the shared state, short texts and the table of a new settings file.
#include "state/Settings.h"
#include "state/ShellState.h"

#include <algorithm>

ShellState Shell;
SettingsState Settings;

void ResetSharedState() {
    Shell = ShellState{};
    Settings = SettingsState{};
}

std::string TShortText::Text() const {
    const std::size_t n = std::min<std::size_t>(Length, MaxLength);
    return std::string(reinterpret_cast<const char*>(Chars.data()), n);
}

void TShortText::SetText(std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), MaxLength);
    for (std::size_t i = 0; i < n; ++i) Chars[i] = static_cast<std::uint8_t>(text[i]);
    Length = static_cast<std::uint8_t>(n);
}

bool TShortText::Append(char c) {
    if (Length >= MaxLength) return false;
    Chars[Length] = static_cast<std::uint8_t>(c);
    ++Length;
    return true;
}

bool TShortText::DeleteLast() {
    if (Length == 0) return false;
    --Length;
    return true;
}

THighScores DefaultHighScores() {
    THighScores table{};
    for (int place = 1; place <= HighScoreCount; ++place) {
        THighScoreEntry& e = table[static_cast<std::size_t>(place - 1)];
        e.Name.SetText("Anonymous");
        e.Score = static_cast<std::uint16_t>((11 - place) * 100);
    }
    return table;
}
