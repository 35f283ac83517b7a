#include "gfx/sdl/SdlFont.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include "console/System.h"
#include "gfx/sdl/SdlFormats.h"

namespace Halvo::Gfx {

namespace {

constexpr std::uint32_t Replacement = '?';

struct FontMatch {
    std::string file;
    int faceIndex = 0;
    bool monospaced = false;
};

// What fontconfig offers for a font name; it always offers something when any font is installed.
FontMatch MatchFont(const std::string& name) {
    FontMatch found;
    if (!FcInit()) {
        return found;
    }
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
    if (!pattern) {
        return found;
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) {
        return found;
    }
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        found.file = reinterpret_cast<const char*>(file);
    }
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) {
        found.faceIndex = index;
    }
    int spacing = FC_PROPORTIONAL;
    FcPatternGetInteger(match, FC_SPACING, 0, &spacing);
    // Dual-width faces are monospaced in the Latin range the console uses.
    found.monospaced = spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL;
    FcPatternDestroy(match);
    return found;
}

// The console lays text out in columns: a face that is not monospaced gives way to the system's
// monospaced one.
FontMatch FindConsoleFont(const std::string& face) {
    FontMatch match = MatchFont(face);
    if (!match.file.empty() && match.monospaced) {
        return match;
    }
    FontMatch fallback = MatchFont("monospace");
    return fallback.file.empty() ? match : fallback;
}

// Holds SDL_ttf for a scope; it counts its users.
class TtfUse {
public:
    TtfUse() : started(TTF_Init() == 0) {}
    ~TtfUse() {
        if (started) {
            TTF_Quit();
        }
    }
    TtfUse(const TtfUse&) = delete;
    TtfUse& operator=(const TtfUse&) = delete;
    bool started;
};

[[noreturn]] void ThrowTtfError(const char* what) {
    throw std::runtime_error(std::string(what) + " -- " + TTF_GetError());
}

// Calls visit(code point) for each character of text[start, start + count): bytes are decoded as
// UTF-8; code points beyond Latin-1 and malformed sequences come out as one replacement each.
template <class Visit>
void ForEachCharacter(const std::string& text, std::uint32_t start, std::uint32_t count, Visit&& visit) {
    const std::size_t begin = std::min<std::size_t>(start, text.size());
    const std::size_t end = count >= text.size() - begin ? text.size() : begin + count;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = begin;
    while (i < end) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            visit(static_cast<std::uint32_t>(lead));
            ++i;
            continue;
        }
        std::size_t length = (lead & 0xE0) == 0xC0   ? 2
                             : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4
                                                     : 1;
        bool wellFormed = length > 1 && i + length <= end;
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            wellFormed = (bytes[i + k] & 0xC0) == 0x80;
        }
        if (!wellFormed) {
            visit(Replacement);
            ++i;
            continue;
        }
        std::uint32_t codePoint = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            codePoint = codePoint << 6 | (bytes[i + k] & 0x3F);
        }
        visit(codePoint);
        i += length;
    }
}

// Clips a copy of `source` to `target` at `destination` to the rectangle; false when nothing is left.
bool ClipCopy(SDL_Rect& source, SDL_Rect& destination, const ScreenRect& clip) {
    const int left = std::max(destination.x, clip.left);
    const int top = std::max(destination.y, clip.top);
    const int right = std::min(destination.x + destination.w, clip.right);
    const int bottom = std::min(destination.y + destination.h, clip.bottom);
    if (left >= right || top >= bottom) {
        return false;
    }
    source.x += left - destination.x;
    source.y += top - destination.y;
    source.w = right - left;
    source.h = bottom - top;
    destination = {left, top, right - left, bottom - top};
    return true;
}

} // namespace

SdlFont::SdlFont(const std::string& face, std::uint32_t height, std::uint32_t style,
                 Ref::Ptr<SdlDevice> device)
    : Font(face, height, style), device(std::move(device)) {
    const FontMatch match = FindConsoleFont(face);
    if (match.file.empty()) {
        throw std::runtime_error("Could not create font.");
    }
    fontFile = match.file;
    BuildAtlas(match.file, match.faceIndex);
}

SdlFont::~SdlFont() {
    if (HasTexture()) {
        SDL_DestroyTexture(texture);
    }
    SDL_FreeSurface(atlas);
}

void SdlFont::BuildAtlas(const std::string& file, int faceIndex) {
    TtfUse ttf;
    if (!ttf.started) {
        ThrowTtfError("Could not create TTF_Font object.");
    }
    const int wanted = static_cast<int>(std::min<std::uint32_t>(height, 4096));
    int size = std::max(wanted, 1);
    TTF_Font* font = TTF_OpenFontIndex(file.c_str(), size, faceIndex);
    if (!font) {
        ThrowTtfError("Could not create TTF_Font object.");
    }
    int fontStyle = TTF_STYLE_NORMAL;
    if (style & 1) {
        fontStyle |= TTF_STYLE_BOLD;
    }
    if (style & 2) {
        fontStyle |= TTF_STYLE_ITALIC;
    }
    TTF_SetFontStyle(font, fontStyle);
    // A point is a pixel at SDL_ttf's 72 dpi, and a line is a little taller than a point size: start at
    // the requested height and come down until a line fits.
    while (size > 1 && TTF_FontHeight(font) > wanted) {
        TTF_SetFontSize(font, --size);
    }
    lineHeight = TTF_FontHeight(font);

    struct Rendered {
        std::uint32_t codePoint;
        SDL_Surface* surface;
    };
    std::vector<Rendered> rendered;
    const SDL_Color white{255, 255, 255, 255};
    for (std::uint32_t codePoint = 0x20; codePoint < 0x100; ++codePoint) {
        if ((codePoint >= 0x7F && codePoint < 0xA0) || !TTF_GlyphIsProvided32(font, codePoint)) {
            continue;
        }
        int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
        if (TTF_GlyphMetrics32(font, codePoint, &minX, &maxX, &minY, &maxY, &advance) != 0) {
            continue;
        }
        Glyph& glyph = glyphs[codePoint];
        glyph.present = true;
        glyph.advance = advance;
        // SDL_ttf starts its surface at the pen, or further left for a glyph that reaches back past it.
        glyph.offsetX = std::min(minX, 0);
        glyph.visible = maxX > minX && maxY > minY;
        if (glyph.visible) {
            SDL_Surface* surface = TTF_RenderGlyph32_Blended(font, codePoint, white);
            if (surface) {
                rendered.push_back({codePoint, surface});
            } else {
                glyph.visible = false;
            }
        }
    }
    TTF_CloseFont(font);

    // Shelf packing: glyphs left to right in rows as tall as the tallest glyph.
    constexpr int AtlasWidth = 1024;
    int x = 0, y = 0, rowHeight = 0;
    for (const Rendered& item : rendered) {
        Glyph& glyph = glyphs[item.codePoint];
        const int w = std::min(item.surface->w, AtlasWidth);
        if (x + w > AtlasWidth) {
            x = 0;
            y += rowHeight;
            rowHeight = 0;
        }
        glyph.source = {x, y, w, item.surface->h};
        x += w;
        rowHeight = std::max(rowHeight, item.surface->h);
    }
    atlas = SDL_CreateRGBSurfaceWithFormat(0, AtlasWidth, std::max(y + rowHeight, 1), 32,
                                           SDL_PIXELFORMAT_ARGB8888);
    bool copied = atlas != nullptr;
    for (const Rendered& item : rendered) {
        if (copied) {
            SDL_Rect target = glyphs[item.codePoint].source;
            // Copy coverage and colour as they are: the atlas starts transparent.
            SDL_SetSurfaceBlendMode(item.surface, SDL_BLENDMODE_NONE);
            copied = SDL_BlitSurface(item.surface, nullptr, atlas, &target) == 0;
        }
        SDL_FreeSurface(item.surface);
    }
    if (!copied) {
        SDL_FreeSurface(atlas);
        atlas = nullptr;
        throw std::runtime_error(std::string("Could not create TTF_Font object. -- ") + SDL_GetError());
    }
}

bool SdlFont::Reset() {
    if (HasTexture()) {
        return true;
    }
    texture = SDL_CreateTextureFromSurface(device->renderer, atlas);
    if (!texture) {
        Console::ReportError("Halvo::Gfx::SdlFont::Reset", __LINE__)
            << "Could not create texture object. -- " << SDL_GetError() << std::endl;
        return false;
    }
    textureGeneration = device->generation;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    return true;
}

void SdlFont::Invalidate() {
    if (!HasTexture()) {
        texture = nullptr;
    }
}

bool SdlFont::Begin() {
    return HasTexture();
}

void SdlFont::End() {}

const SdlFont::Glyph& SdlFont::GlyphOf(std::uint32_t codePoint) const {
    if (codePoint == '\t') {
        codePoint = ' ';
    }
    if (codePoint < glyphs.size() && glyphs[codePoint].present) {
        return glyphs[codePoint];
    }
    return glyphs[Replacement];
}

void SdlFont::MeasureText(ScreenRect& rect, std::uint32_t, const std::string& text, std::uint32_t start,
                          std::uint32_t count) {
    int width = 0;
    int lineWidth = 0;
    int lines = 1;
    ForEachCharacter(text, start, count, [&](std::uint32_t codePoint) {
        if (codePoint == '\n') {
            width = std::max(width, lineWidth);
            lineWidth = 0;
            ++lines;
        } else {
            lineWidth += GlyphOf(codePoint).advance;
        }
    });
    width = std::max(width, lineWidth);
    rect.right = rect.left + width;
    rect.bottom = rect.top + lines * lineHeight;
}

void SdlFont::DrawText(const ScreenRect& rect, const Color& color, std::uint32_t, const std::string& text,
                       std::uint32_t start, std::uint32_t count) {
    if (!HasTexture()) {
        return;
    }
    SDL_SetTextureColorMod(texture, ColorByte(color.red), ColorByte(color.green), ColorByte(color.blue));
    SDL_SetTextureAlphaMod(texture, ColorByte(color.alpha));
    int penX = rect.left;
    int penY = rect.top;
    ForEachCharacter(text, start, count, [&](std::uint32_t codePoint) {
        if (codePoint == '\n') {
            penX = rect.left;
            penY += lineHeight;
            return;
        }
        const Glyph& glyph = GlyphOf(codePoint);
        if (glyph.visible && penX < rect.right && penY < rect.bottom) {
            SDL_Rect source = glyph.source;
            SDL_Rect destination{penX + glyph.offsetX, penY, source.w, source.h};
            if (ClipCopy(source, destination, rect)) {
                SDL_RenderCopy(device->renderer, texture, &source, &destination);
            }
        }
        penX += glyph.advance;
    });
}

} // namespace Halvo::Gfx
