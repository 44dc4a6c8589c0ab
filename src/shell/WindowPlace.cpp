// SPDX-License-Identifier: MIT
// The remembered window place: its file, and the size and place a new window opens with.
#include "shell/WindowPlace.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>

using tw::platform::ViewRect;
using tw::platform::Window;
using tw::platform::WindowPlacement;

namespace {

// Larger than any screen, smaller than anything that could overflow the arithmetic on it.
constexpr int LargestSide = 16384;

bool ReadInt(std::string_view& text, int& out) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    text.remove_prefix(at);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (ec != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

} // namespace

std::string FormatWindowPlace(const WindowPlacement& p) {
    return std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.width) + " " +
           std::to_string(p.height) + "\n";
}

std::optional<WindowPlacement> ParseWindowPlace(std::string_view text) {
    WindowPlacement p;
    if (!ReadInt(text, p.x) || !ReadInt(text, p.y) || !ReadInt(text, p.width) || !ReadInt(text, p.height))
        return std::nullopt;
    if (text != "\n" && !text.empty()) return std::nullopt;
    if (p.width < Window::MinimumWidth || p.height < Window::MinimumHeight || p.width > LargestSide ||
        p.height > LargestSide || p.x < -LargestSide || p.x > LargestSide || p.y < -LargestSide || p.y > LargestSide)
        return std::nullopt;
    return p;
}

std::optional<WindowPlacement> ReadWindowPlace(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    // A line is a few dozen bytes; anything much longer is not this file.
    std::string text(128, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (!in.eof()) return std::nullopt;
    return ParseWindowPlace(text);
}

void WriteWindowPlace(const std::filesystem::path& file, const WindowPlacement& placement) {
    std::filesystem::path temporary = file;
    temporary += ".new-" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << FormatWindowPlace(placement);
        out.flush();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, file, ec);
    if (ec) std::filesystem::remove(temporary, ec);
}

int StartScale(int usableWidth, int usableHeight) {
    const int byWidth = usableWidth * 9 / 10 / Window::ClientWidth;
    const int byHeight = usableHeight * 9 / 10 / Window::ClientHeight;
    const int scale = byWidth < byHeight ? byWidth : byHeight;
    return scale < 1 ? 1 : scale;
}

WindowPlacement StartPlacement(const ViewRect& usable, const std::optional<WindowPlacement>& remembered,
                               bool rememberedOnDisplay) {
    if (remembered && rememberedOnDisplay) return *remembered;
    const int scale = StartScale(usable.width, usable.height);
    WindowPlacement p;
    p.width = Window::ClientWidth * scale;
    p.height = Window::ClientHeight * scale;
    p.x = usable.x + (usable.width - p.width) / 2;
    p.y = usable.y + (usable.height - p.height) / 2;
    return p;
}
