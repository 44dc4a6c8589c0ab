// SPDX-License-Identifier: MIT
// The text score of a song: instruments made by our own synthesis, tracks of note rows,
// patterns that put tracks on channels, and the order list with its loop point.
#pragma once

#include <string>

#include "XmWriter.h"

namespace tw::song {

class ScoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a score and renders its instruments; errors name the source and line.
tw::xm::Module buildSong(const std::string& text, const std::string& sourceName);

} // namespace tw::song
