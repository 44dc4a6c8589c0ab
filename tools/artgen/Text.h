// SPDX-License-Identifier: MIT
// Text for pictures, drawn with the game's own canvas (the "Arial" family, bold for titles) so the
// pictures use the same letters as the texts the game writes over them.
#pragma once

#include "Raster.h"

#include <string_view>

namespace art {

struct Font {
    int points = 16; // at 96 dots per inch, as the game sizes its texts
    bool bold = false;
};

// The text's coverage as a white image of its cell (TextWidth x TextHeight).
Image textMask(std::string_view text, Font font);
int textWidth(std::string_view text, Font font);
int textHeight(Font font);

struct TextLook {
    Paint fill = solid(hex(0xFFFFFF));
    Color outline = Color{0, 0, 0, 0}; // alpha 0: none
    float outlineWidth = 2;
    Color shadow = Color{0, 0, 0, 0}; // alpha 0: none
    int shadowOffset = 2;
    Color glow = Color{0, 0, 0, 0}; // alpha 0: none
    float glowRadius = 6;
};

// Top-left of the text's cell at (x, y), like the game's TextOut.
void drawText(Image& dst, int x, int y, std::string_view text, Font font, const TextLook& look);
// Centred on x.
void drawTextCentred(Image& dst, int cx, int y, std::string_view text, Font font, const TextLook& look);

} // namespace art
