// SPDX-License-Identifier: MIT
// "config.dat": the settings and the local high-score table as one 158-byte record with light
// scrambling, its defaults, reading it at start, writing it safely, and inserting a result.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

#include "state/Settings.h"

constexpr std::size_t ConfigRecordSize = 158;
using TConfigRecord = std::array<std::uint8_t, ConfigRecordSize>;

// A failed write of the settings file; the message names the file and the system's reason.
class EConfigWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Whether the options screen's capture can store this key as the boss key: a key the platform
// delivers, but none of the keys the menus or the game act on before the boss-key test (Enter,
// Esc, the arrows, P) and no modifier, which is held with other keys all the time.
bool CanBeBossKey(std::uint16_t key);

// The record in memory layout (unscrambled) and back. Unpacking reads a length byte above 10 as 10,
// a boss key the capture could never have stored as F12, sorts a table that is out of order (best
// first, equal scores as they were) and leaves NewEntry alone.
TConfigRecord PackConfigRecord(const SettingsState& settings);
void UnpackConfigRecord(const TConfigRecord& record, SettingsState& settings);
// Turns the memory form into the file form and the file form back into the memory form.
void ScrambleConfigRecord(TConfigRecord& record);

// Reads the first record of file data (file form). False when there are fewer than 158 bytes;
// settings is then untouched.
bool DecodeConfigFile(std::span<const std::uint8_t> bytes, SettingsState& settings);
// The file form of the settings.
TConfigRecord EncodeConfigFile(const SettingsState& settings);

// Writes the settings to file without ever leaving a damaged file behind: a temporary file in the
// same folder is written, flushed and renamed over it. A symbolic link is written through (its
// target is replaced). Where the folder refuses the temporary file, an existing file is rewritten in
// place instead. Anything but a regular file in its place is not written. Throws EConfigWriteError.
void WriteConfigFile(const std::filesystem::path& file, const SettingsState& settings);
// Removes the temporary files of saves that were killed before their rename ("config.dat.new-"
// and the saving process's id, beside the file a link leads to) whose process is gone. Those of
// a running process, another game saving at this moment, are left alone.
void RemoveStaleTempFiles(const std::filesystem::path& file);

// The game's own steps on `Settings` and "config.dat" in the current folder. A failed write shows
// the error in a message box and the game goes on; they return whether the file was written.
//
// LoadConfig reads the file; when it is missing, short, unreadable or not a regular file, the
// defaults are set and written instead. Both remove stale temporary files of killed saves.
bool LoadConfig();
bool SaveConfig();
// Every place back to "Anonymous" with 1000 down to 100; the settings stay.
void ResetHighScores();
// Puts NewEntry into the table below every entry with an equal or higher score; the lowest of the
// eleven drops out. Returns the place it took, 1 to 10, or 0 when it dropped out itself.
std::size_t InsertResult();
