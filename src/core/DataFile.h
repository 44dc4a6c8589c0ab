// SPDX-License-Identifier: MIT
// Reading the game's data files whole, with errors that name the file and say what is wrong: the
// loaders of picture and wave collections share it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file's bytes. Throws EFOpenError "Cannot open file "%s". %s" when it cannot be opened or is
// not a regular file (a directory, a pipe, a device), and EReadError "Cannot read file "%s". %s"
// when reading fails part-way.
std::vector<std::uint8_t> ReadDataFile(const std::string& path);

// The message of an error met in a file's contents (truncated, damaged): "Cannot load file "%s". "
// followed by the reader's own text.
std::string DamagedFileMessage(const std::string& path, const std::string& error);
