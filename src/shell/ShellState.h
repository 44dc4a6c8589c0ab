// The screen states and the shell's module-level variables: which screen shows, what the menus have
// selected, the dialogs' saved states, and the settings the shell reads before the configuration file
// has its say. One instance each; a test starts from a fresh one with `Shell = ShellState{}`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The global screen state. 0 until the main window has been created.
enum TGameState : std::uint8_t {
    gsNone = 0,
    gsMenu = 1,
    gsPlaying = 2,
    gsExitQuery = 3,
    gsHeroDying = 4,
    gsLevelIntro = 5,
    gsGameOver = 6,
    gsPaused = 7,
    gsNameEntry = 8,
    gsSendQuery = 9,
    gsSending = 10,
    gsSendFailed = 11,
    gsNextLevel = 12,
};

// The menu screen or dialog that items, keys and clicks refer to.
enum TMenuScreen : std::uint8_t {
    msMain = 1,
    msOptions = 2,
    msScores = 3,
    msHelp = 4,
    msExitQuery = 5,
    msClearScores = 6,
    msBossKey = 7,
    msNameEntry = 8,
    msSendQuery = 9,
};

struct ShellState {
    std::uint8_t GameState = gsNone;
    std::uint8_t MenuScreen = msMain;
    std::uint8_t MenuSelection = 0;
    std::uint8_t MainSelection = 0;
    std::uint8_t MainColumnHover = 0;
    std::uint8_t ItemHovered = 0;
    std::uint8_t SavedGameState = 0;
    std::uint8_t SavedMenuScreen = 0;
    std::uint8_t StateBeforePause = 0;
    std::uint8_t BlinkCounter = 0;
    std::uint8_t TextEditing = 0;
    std::uint8_t KeyLatch = 0;
    std::uint8_t CloseConfirmed = 0;
    std::uint8_t HelpPage = 1;
    std::uint32_t SongHandle = 0;
    std::string BossKeyName;
    std::int32_t StateTimer = 0;
    std::int32_t MousePushLeft = 0;
    std::int32_t MousePushRight = 0;
    std::int32_t MousePushUp = 0;
    std::int32_t MousePushDown = 0;
    std::uint8_t MouseFireHeld = 0;
    std::uint8_t MouseNetHeld = 0;
};

extern ShellState Shell;

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

// The settings and the table kept in "config.dat", with the values a new file gets. The
// configuration reader overwrites them at start; until it runs these defaults apply.
struct SettingsState {
    std::uint8_t Windowed = 1;
    std::uint8_t MusicOn = 1;
    std::uint8_t SoundOn = 1;
    std::uint8_t Reserved3 = 0;   // kept as read
    std::uint16_t BossKey = 0x7B; // F12
    TShortText Country;
    std::uint8_t Reserved17 = 0;  // kept as read
    THighScores HighScores = DefaultHighScores();
    // The result of the game just over: the typed name and, just before insertion, the score.
    // Never saved.
    THighScoreEntry NewEntry;
};

extern SettingsState Settings;

// True in the states in which a game is under way and the hero can act or is shown.
constexpr bool IsRunningGameState(std::uint8_t state)
{
    return state == gsPlaying || state == gsHeroDying || state == gsLevelIntro;
}
