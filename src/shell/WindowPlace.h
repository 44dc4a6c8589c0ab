// SPDX-License-Identifier: MIT
// Where the window opens: the size and place it had when the last run ended, kept in a small file of
// its own in the player's folder (never in "config.dat"), or on a first run the largest whole
// multiple of the picture that fits the screen comfortably, centred.
#pragma once

#include "platform/Window.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

inline constexpr char WindowPlaceFileName[] = "window.txt";

// The file's text: "x y width height" and a newline.
std::string FormatWindowPlace(const tw::platform::WindowPlacement& placement);
// Nothing when the text is not one such line with a size the window can have.
std::optional<tw::platform::WindowPlacement> ParseWindowPlace(std::string_view text);
// Nothing when the file is missing, unreadable or damaged: the window then opens as on a first run.
std::optional<tw::platform::WindowPlacement> ReadWindowPlace(const std::filesystem::path& file);
// Written through a temporary file; a failure costs only the remembered place and is not reported.
void WriteWindowPlace(const std::filesystem::path& file, const tw::platform::WindowPlacement& placement);

// The largest whole multiple of 800 x 600 that leaves a tenth of the usable area free each way
// (room for the window's frame and the desktop's panels); at least 1.
int StartScale(int usableWidth, int usableHeight);
// The placement a new window opens with: the remembered one when it still lies on a display, else
// StartScale's size centred in the usable area.
tw::platform::WindowPlacement StartPlacement(const tw::platform::ViewRect& usable,
                                             const std::optional<tw::platform::WindowPlacement>& remembered,
                                             bool rememberedOnDisplay);
