// SPDX-License-Identifier: MIT
// A message shown by the game itself in its window: the last picture dimmed, a panel with the text and
// an OK button, answered with Enter, Esc or a left click. It needs no desktop dialog, so it works in
// full screen, without the X core fonts, and in builds where a forked desktop dialog could hang.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::platform {

class Font;
class Window;

// The text in lines no wider than maxWidth pixels: broken at line feeds, then between words. A word
// wider than a line is cut where it no longer fits.
std::vector<std::string> wrapMessageText(const Font& font, const std::string& text, int maxWidth);

// The message's picture over `under` (width x height, rows packed; black where empty).
std::vector<std::uint32_t> composeMessagePicture(const std::vector<std::uint32_t>& under, int width, int height,
                                                 const std::string& text, const Font& font);

// Shows the message and waits for the answer, then shows the window's picture again. Events it does
// not use (the key-up of a key pressed before it, focus changes, the close button, a quit signal) are
// put back for the game; the close button and a quit signal also answer it. False, with nothing
// shown, when no font can be had.
bool showMessageInWindow(Window& window, const std::string& text);

} // namespace tw::platform
