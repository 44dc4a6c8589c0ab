// SPDX-License-Identifier: MIT
// The error of a data file that cannot be opened, created or written, shared by every loader and
// writer of the game's files.
#pragma once

#include <stdexcept>

// "Cannot open file "%s". %s", "Cannot create file "%s". %s", "Cannot write file "%s". %s"
class EFOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
