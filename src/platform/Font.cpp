// SPDX-License-Identifier: MIT
// Font lookup through fontconfig and text rasterisation through SDL_ttf.
#include "platform/Font.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <string>

namespace tw::platform {
namespace {

TTF_Font* ttf(void* f) { return static_cast<TTF_Font*>(f); }

void ensureTtf() {
    if (TTF_WasInit() == 0 && TTF_Init() != 0)
        throw FontError(std::string("Cannot start the font renderer: ") + TTF_GetError());
}

} // namespace

std::string findFontFile(const std::string& family, bool bold, bool italic) {
    if (FcInit() == FcFalse) throw FontError("Cannot start fontconfig");
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    std::string file;
    if (match != nullptr) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    if (file.empty()) throw FontError("No font found for \"" + family + "\"");
    return file;
}

Font::Font(const std::string& family, int pixelHeight, unsigned style) {
    ensureTtf();
    bool bold = (style & fontBold) != 0, italic = (style & fontItalic) != 0;
    file_ = findFontFile(family, bold, italic);
    TTF_Font* f = TTF_OpenFont(file_.c_str(), pixelHeight < 1 ? 1 : pixelHeight);
    if (f == nullptr) throw FontError("Cannot open font " + file_ + ": " + TTF_GetError());
    int wanted = 0;
    if ((style & fontUnderline) != 0) wanted |= TTF_STYLE_UNDERLINE;
    if ((style & fontStrikeOut) != 0) wanted |= TTF_STYLE_STRIKETHROUGH;
    // A face that is not bold or italic itself gets the style drawn by the renderer.
    const char* styleName = TTF_FontFaceStyleName(f);
    std::string faceName = styleName != nullptr ? styleName : "";
    if (bold && faceName.find("Bold") == std::string::npos) wanted |= TTF_STYLE_BOLD;
    if (italic && faceName.find("Italic") == std::string::npos && faceName.find("Oblique") == std::string::npos)
        wanted |= TTF_STYLE_ITALIC;
    TTF_SetFontStyle(f, wanted);
    font_ = f;
}

Font::~Font() {
    if (font_ != nullptr) TTF_CloseFont(ttf(font_));
}

int Font::textWidth(std::string_view text) const {
    if (text.empty()) return 0;
    std::string s(text);
    int w = 0, h = 0;
    if (TTF_SizeUTF8(ttf(font_), s.c_str(), &w, &h) != 0) return 0;
    return w;
}

int Font::lineHeight() const { return TTF_FontHeight(ttf(font_)); }
int Font::ascent() const { return TTF_FontAscent(ttf(font_)); }

TextMask Font::render(std::string_view text) const {
    TextMask mask;
    if (text.empty()) return mask;
    std::string s(text);
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(ttf(font_), s.c_str(), SDL_Color{255, 255, 255, 255});
    if (rendered == nullptr) return mask;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    if (argb == nullptr) return mask;
    mask.width = argb->w;
    mask.height = argb->h;
    mask.coverage.resize(static_cast<std::size_t>(argb->w) * static_cast<std::size_t>(argb->h));
    SDL_LockSurface(argb);
    for (int y = 0; y < argb->h; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(argb->pixels) +
                                                                 static_cast<std::ptrdiff_t>(y) * argb->pitch);
        std::uint8_t* dst = mask.coverage.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(argb->w);
        for (int x = 0; x < argb->w; ++x) dst[x] = static_cast<std::uint8_t>(src[x] >> 24);
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return mask;
}

} // namespace tw::platform
