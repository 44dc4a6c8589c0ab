// SPDX-License-Identifier: MIT
// The in-window message: layout, drawing and the modal wait for its answer.
#include "platform/WindowMessage.h"

#include "platform/Font.h"
#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <memory>
#include <set>

namespace tw::platform {

namespace {

constexpr int PanelWidth = 560;
constexpr int Padding = 20;
constexpr int ButtonWidth = 100;
constexpr int ButtonHeight = 34;
constexpr std::uint32_t PanelColour = 0x102848;
constexpr std::uint32_t FrameColour = 0xC8D8E8;
constexpr std::uint32_t ButtonColour = 0x305C88;
constexpr std::uint32_t TextColour = 0xFFFFFF;

struct Canvas {
    std::vector<std::uint32_t>& pixels;
    int width, height;

    void fill(int x, int y, int w, int h, std::uint32_t colour) {
        const int x0 = std::max(x, 0), y0 = std::max(y, 0);
        const int x1 = std::min(x + w, width), y1 = std::min(y + h, height);
        for (int py = y0; py < y1; ++py)
            for (int px = x0; px < x1; ++px) pixels[index(px, py)] = colour;
    }
    void frame(int x, int y, int w, int h, std::uint32_t colour) {
        fill(x, y, w, 2, colour);
        fill(x, y + h - 2, w, 2, colour);
        fill(x, y, 2, h, colour);
        fill(x + w - 2, y, 2, h, colour);
    }
    void text(const Font& font, const std::string& line, int x, int y) {
        const TextMask mask = font.render(line);
        for (int my = 0; my < mask.height; ++my) {
            for (int mx = 0; mx < mask.width; ++mx) {
                const int px = x + mx, py = y + my;
                if (px < 0 || py < 0 || px >= width || py >= height) continue;
                const std::uint32_t a = mask.coverage[static_cast<std::size_t>(my * mask.width + mx)];
                if (a == 0) continue;
                std::uint32_t& p = pixels[index(px, py)];
                p = blend(p, TextColour, a);
            }
        }
    }
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    static std::uint32_t blend(std::uint32_t under, std::uint32_t over, std::uint32_t alpha) {
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const std::uint32_t u = (under >> shift) & 0xFF, o = (over >> shift) & 0xFF;
            out |= ((u * (255 - alpha) + o * alpha) / 255) << shift;
        }
        return out;
    }
};

bool answersMessage(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_ESCAPE; }

} // namespace

std::vector<std::string> wrapMessageText(const Font& font, const std::string& text, int maxWidth) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string paragraph = text.substr(start, end - start);
        std::string line;
        std::size_t pos = 0;
        while (pos < paragraph.size()) {
            const std::size_t space = std::min(paragraph.find(' ', pos), paragraph.size());
            std::string word = paragraph.substr(pos, space - pos);
            pos = space + 1;
            const std::string joined = line.empty() ? word : line + ' ' + word;
            if (font.textWidth(joined) <= maxWidth) {
                line = joined;
                continue;
            }
            if (!line.empty()) lines.push_back(line);
            // A word wider than a line (a long file name) is cut where it no longer fits.
            while (font.textWidth(word) > maxWidth && word.size() > 1) {
                std::size_t fits = 1;
                while (fits < word.size() && font.textWidth(word.substr(0, fits + 1)) <= maxWidth) ++fits;
                lines.push_back(word.substr(0, fits));
                word.erase(0, fits);
            }
            line = word;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::uint32_t> composeMessagePicture(const std::vector<std::uint32_t>& under, int width, int height,
                                                 const std::string& text, const Font& font) {
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<std::uint32_t> pixels(size, 0);
    // The game's picture stays recognisable beneath, at half its brightness.
    if (under.size() == size)
        for (std::size_t i = 0; i < size; ++i) pixels[i] = (under[i] >> 1) & 0x7F7F7F;
    Canvas canvas{pixels, width, height};

    const int panelWidth = std::min(PanelWidth, width);
    const int lineHeight = std::max(font.lineHeight(), 1);
    std::vector<std::string> lines = wrapMessageText(font, text, panelWidth - 2 * Padding);
    const int maxLines = std::max(1, (height - 3 * Padding - ButtonHeight) / lineHeight);
    if (static_cast<int>(lines.size()) > maxLines) lines.resize(static_cast<std::size_t>(maxLines));
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;
    const int panelHeight = textHeight + ButtonHeight + 3 * Padding;
    const int x = (width - panelWidth) / 2, y = (height - panelHeight) / 2;

    canvas.fill(x, y, panelWidth, panelHeight, PanelColour);
    canvas.frame(x, y, panelWidth, panelHeight, FrameColour);
    for (std::size_t i = 0; i < lines.size(); ++i)
        canvas.text(font, lines[i], x + Padding, y + Padding + static_cast<int>(i) * lineHeight);
    const int bx = x + (panelWidth - ButtonWidth) / 2, by = y + 2 * Padding + textHeight;
    canvas.fill(bx, by, ButtonWidth, ButtonHeight, ButtonColour);
    canvas.frame(bx, by, ButtonWidth, ButtonHeight, FrameColour);
    canvas.text(font, "OK", bx + (ButtonWidth - font.textWidth("OK")) / 2, by + (ButtonHeight - lineHeight) / 2);
    return pixels;
}

bool showMessageInWindow(Window& window, const std::string& text) {
    std::unique_ptr<Font> font;
    try {
        font = std::make_unique<Font>("Arial", 21, fontBold);
    } catch (const FontError&) {
        return false;
    }
    const std::vector<std::uint32_t> under = window.shownPicture();
    const int width = under.empty() ? Window::ClientWidth : window.shownWidth();
    const int height = under.empty() ? Window::ClientHeight : window.shownHeight();
    const std::vector<std::uint32_t> picture = composeMessagePicture(under, width, height, text, *font);
    auto show = [&](const std::vector<std::uint32_t>& pixels) {
        window.invalidatePicture();
        window.present(pixels.data(), width, height, width);
    };
    show(picture);

    // Only a key pressed and released while the message shows answers it: the key-up of the key that
    // led to the message belongs to the game.
    std::set<SDL_Keycode> pressed;
    bool leftPressed = false;
    std::vector<SDL_Event> putBack;
    for (bool answered = false; !answered;) {
        SDL_Event e;
        if (SDL_WaitEvent(&e) == 0) break; // the event queue failed: never wait for good
        switch (e.type) {
        case SDL_QUIT:
            putBack.push_back(e);
            answered = true;
            break;
        case SDL_KEYDOWN: pressed.insert(e.key.keysym.sym); break;
        case SDL_KEYUP:
            if (pressed.erase(e.key.keysym.sym) == 0)
                putBack.push_back(e);
            else if (answersMessage(e.key.keysym.sym))
                answered = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) leftPressed = true;
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) break;
            if (leftPressed)
                answered = true;
            else
                putBack.push_back(e);
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                putBack.push_back(e);
                answered = true;
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
            case SDL_WINDOWEVENT_FOCUS_LOST:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_MINIMIZED: putBack.push_back(e); break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SIZE_CHANGED: show(picture); break;
            default: break;
            }
            break;
        default: break; // typing and pointer moves meant for the message
        }
    }

    // The game's picture comes back at once, also where no new frame follows soon (a still menu).
    if (under.empty())
        window.invalidatePicture();
    else
        show(under);
    for (SDL_Event& e : putBack) SDL_PushEvent(&e);
    return true;
}

} // namespace tw::platform
