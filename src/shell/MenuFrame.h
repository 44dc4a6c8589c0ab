// SPDX-License-Identifier: MIT
// The menu frame loop's texts: the options screen's country, boss key and selection frame, the local
// high-score table, and the exit, clear-scores and boss-key dialogs. The game frame loop draws the
// same dialogs with the same style.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "graphics/Canvas.h"

constexpr TColor MenuTextColor = RGB(153, 204, 255); // light blue
constexpr TColor MenuAnswerColor = RGB(255, 0, 0);   // the highlighted answer of a dialog
constexpr int MenuFontSize = 16;

// Clear brush, normal style, solid pen, "Arial" 16 in light blue.
void SetMenuTextStyle(TDirectDrawSurfaceCanvas& canvas);

// The text cursor shows in the second half of every 32 frames.
constexpr bool TextCursorShown(std::uint8_t blinkCounter) { return (blinkCounter & 16) != 0; }

// Small letters of the game's Western code page made capitals; everything else unchanged.
std::string UpperCaseText(std::string_view text);

// The texts of one screen, drawn over its sprites. Screens without texts draw nothing. The options
// screen advances the cursor's blink counter while its country field is being edited.
void DrawMenuScreenTexts(TDirectDrawSurfaceCanvas& canvas, std::uint8_t screen);

void DrawOptionsTexts(TDirectDrawSurfaceCanvas& canvas);
void DrawHighScoreTable(TDirectDrawSurfaceCanvas& canvas);
// The table's rows: place n's text at y = HighScoreRowTop + HighScoreRowHeight * n.
constexpr int HighScoreRowTop = 190;
constexpr int HighScoreRowHeight = 25;
constexpr int HighScoreRowLeft = 40;
constexpr int HighScoreRowRight = 520;
// The place whose row holds the point, 1 to 10, or 0 for none.
std::size_t HighScoreRowAt(int x, int y);
void DrawExitQuery(TDirectDrawSurfaceCanvas& canvas);
void DrawClearScoresQuery(TDirectDrawSurfaceCanvas& canvas);
void DrawBossKeyQuery(TDirectDrawSurfaceCanvas& canvas);
