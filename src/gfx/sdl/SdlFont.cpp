#include "gfx/sdl/SdlFont.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include "console/System.h"
#include "console/Utf8.h"
#include "gfx/sdl/SdlError.h"
#include "gfx/sdl/SdlFormats.h"

namespace Halvo::Gfx {

namespace {

constexpr std::uint32_t Replacement = '?';
// The largest text texture made, in either direction.
constexpr int MaxTextSize = 8192;

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

[[noreturn]] void ThrowTtfError(const char* what) {
    throw std::runtime_error(std::string(what) + " -- " + TTF_GetError());
}

// Calls visit(code point) for each character of the UTF-8 text.
template <class Visit>
void ForEachCharacter(std::string_view text, Visit&& visit) {
    for (std::size_t at = 0; at < text.size();) {
        visit(Console::DecodeUtf8(text, at));
    }
}

// Characters [start, start + count) of the text as the bytes they occupy.
std::string_view Select(const std::string& text, std::uint32_t start, std::uint32_t count) {
    const std::string_view rest = std::string_view(text).substr(Console::Utf8Offset(text, start));
    // No character is shorter than a byte: a count of at least the bytes left takes them all, without
    // decoding the text the console draws every frame.
    return count >= rest.size() ? rest : rest.substr(0, Console::Utf8Offset(rest, count));
}

// Clips a copy of `source` to `destination` against the rectangle; false when nothing is left.
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
    OpenFace(match.file, match.faceIndex);
    texts.reserve(CachedTexts);
}

SdlFont::~SdlFont() {
    ForgetTexts();
    if (ttfFont) {
        TTF_CloseFont(ttfFont);
    }
}

void SdlFont::OpenFace(const std::string& file, int faceIndex) {
    if (!ttf.started) {
        ThrowTtfError("Could not create TTF_Font object.");
    }
    const int wanted = static_cast<int>(std::min<std::uint32_t>(height, 4096));
    int size = std::max(wanted, 1);
    ttfFont = TTF_OpenFontIndex(file.c_str(), size, faceIndex);
    if (!ttfFont) {
        ThrowTtfError("Could not create TTF_Font object.");
    }
    int fontStyle = TTF_STYLE_NORMAL;
    if (style & 1) {
        fontStyle |= TTF_STYLE_BOLD;
    }
    if (style & 2) {
        fontStyle |= TTF_STYLE_ITALIC;
    }
    TTF_SetFontStyle(ttfFont, fontStyle);
    // A point is a pixel at SDL_ttf's 72 dpi, and a line is a little taller than the point size: start
    // at the requested height and come down until a line fits.
    while (size > 1 && TTF_FontHeight(ttfFont) > wanted) {
        TTF_SetFontSize(ttfFont, --size);
    }
    lineHeight = TTF_FontHeight(ttfFont);
    // The console's usual characters are ready before the first line is drawn.
    for (std::uint32_t codePoint = 0x20; codePoint < 0x100; ++codePoint) {
        if (codePoint < 0x7F || codePoint >= 0xA0) {
            latin1[codePoint] = RenderGlyph(codePoint);
        }
    }
}

SdlFont::Glyph SdlFont::RenderGlyph(char32_t codePoint) {
    Glyph glyph;
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (!TTF_GlyphIsProvided32(ttfFont, codePoint) ||
        TTF_GlyphMetrics32(ttfFont, codePoint, &minX, &maxX, &minY, &maxY, &advance) != 0) {
        return glyph;
    }
    glyph.present = true;
    glyph.advance = advance;
    // SDL_ttf starts its surface at the pen, or further left for a glyph that reaches back past it.
    glyph.offsetX = std::min(minX, 0);
    if (maxX <= minX || maxY <= minY) {
        return glyph; // a blank
    }
    SDL_Surface* surface = TTF_RenderGlyph32_Blended(ttfFont, codePoint, SDL_Color{255, 255, 255, 255});
    SDL_Surface* argb = surface ? SDL_ConvertSurfaceFormat(surface, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
    if (argb && SDL_LockSurface(argb) == 0) {
        // Only the coverage (alpha) is kept, row after row.
        glyph.offset = coverage.size();
        glyph.width = argb->w;
        glyph.height = argb->h;
        for (int y = 0; y < argb->h; ++y) {
            const auto* row = reinterpret_cast<const Uint32*>(static_cast<const std::uint8_t*>(argb->pixels) +
                                                              static_cast<std::ptrdiff_t>(y) * argb->pitch);
            for (int x = 0; x < argb->w; ++x) {
                coverage.push_back(static_cast<std::uint8_t>(row[x] >> 24));
            }
        }
        SDL_UnlockSurface(argb);
    }
    SDL_FreeSurface(argb);
    SDL_FreeSurface(surface);
    return glyph;
}

bool SdlFont::Reset() {
    if (!device->renderer) {
        return false;
    }
    if (!IsReset()) {
        // The textures of an earlier renderer went with it.
        for (CachedText& text : texts) {
            text.texture = nullptr;
        }
        texts.clear();
        resetGeneration = device->generation;
    }
    return true;
}

void SdlFont::Invalidate() {}

bool SdlFont::Begin() {
    return IsReset();
}

void SdlFont::End() {}

const SdlFont::Glyph& SdlFont::GlyphOf(char32_t codePoint) {
    if (codePoint == '\t') {
        codePoint = ' ';
    }
    if (codePoint < latin1.size()) {
        return latin1[codePoint].present ? latin1[codePoint] : latin1[Replacement];
    }
    // Other characters (typed file names, say) are rendered when first shown.
    auto found = others.find(codePoint);
    if (found == others.end()) {
        const Glyph glyph = codePoint == Console::MalformedCharacter ? Glyph{} : RenderGlyph(codePoint);
        found = others.emplace(codePoint, glyph).first;
    }
    return found->second.present ? found->second : latin1[Replacement];
}

void SdlFont::MeasureText(ScreenRect& rect, std::uint32_t, const std::string& text, std::uint32_t start,
                          std::uint32_t count) {
    int width = 0;
    int lineWidth = 0;
    int lines = 1;
    ForEachCharacter(Select(text, start, count), [&](char32_t codePoint) {
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
    if (!IsReset()) {
        return;
    }
    const Uint32 rgb = static_cast<Uint32>(ColorByte(color.red)) << 16 |
                       static_cast<Uint32>(ColorByte(color.green)) << 8 | ColorByte(color.blue);
    const std::string_view selected = Select(text, start, count);
    CachedText* drawn = FindText(selected, rgb);
    if (!drawn) {
        drawn = MakeText(selected, rgb);
    }
    if (!drawn || !drawn->texture) {
        return;
    }
    drawn->lastUse = ++useCount;
    SDL_Rect source{0, 0, drawn->width, drawn->height};
    SDL_Rect destination{rect.left + drawn->left, rect.top, drawn->width, drawn->height};
    if (ClipCopy(source, destination, rect)) {
        // The colour is in the texture; only the alpha changes while the console slides.
        SDL_SetTextureAlphaMod(drawn->texture, ColorByte(color.alpha));
        SDL_RenderCopy(device->renderer, drawn->texture, &source, &destination);
    }
}

SdlFont::CachedText* SdlFont::FindText(std::string_view text, Uint32 rgb) {
    for (CachedText& cached : texts) {
        if (cached.rgb == rgb && cached.text == text) {
            return &cached;
        }
    }
    return nullptr;
}

SdlFont::CachedText* SdlFont::MakeText(std::string_view text, Uint32 rgb) {
    // Lay the glyphs out once to learn the extent, including cells that reach past the pen.
    int left = 0, right = 0, bottom = 0;
    int penX = 0, penY = 0;
    ForEachCharacter(text, [&](char32_t codePoint) {
        if (codePoint == '\n') {
            penX = 0;
            penY += lineHeight;
            return;
        }
        const Glyph& glyph = GlyphOf(codePoint);
        if (glyph.width > 0) {
            left = std::min(left, penX + glyph.offsetX);
            right = std::max(right, penX + glyph.offsetX + glyph.width);
            bottom = std::max(bottom, penY + glyph.height);
        }
        penX += glyph.advance;
    });

    CachedText* slot = nullptr;
    if (texts.size() < CachedTexts) {
        slot = &texts.emplace_back();
    } else {
        slot = &*std::min_element(texts.begin(), texts.end(), [](const CachedText& a, const CachedText& b) {
            return a.lastUse < b.lastUse;
        });
        if (slot->texture) {
            SDL_DestroyTexture(slot->texture);
        }
        *slot = CachedText{};
    }
    slot->text.assign(text);
    slot->rgb = rgb;
    slot->left = left;
    // A text longer than a texture may be is cut where the renderer's limit lies, far past any screen.
    SDL_RendererInfo info{};
    const bool limited = SDL_GetRendererInfo(device->renderer, &info) == 0;
    const int maxWidth = limited && info.max_texture_width > 0 ? info.max_texture_width : MaxTextSize;
    const int maxHeight = limited && info.max_texture_height > 0 ? info.max_texture_height : MaxTextSize;
    slot->width = std::min({right - left, maxWidth, MaxTextSize});
    slot->height = std::min({bottom, maxHeight, MaxTextSize});
    slot->lastUse = ++useCount;
    if (slot->width <= 0 || slot->height <= 0) {
        return slot;
    }

    // Coverage adds up where neighbouring cells overlap; the colour is the same everywhere.
    scratch.assign(static_cast<std::size_t>(slot->width) * slot->height, rgb);
    penX = -left;
    penY = 0;
    ForEachCharacter(text, [&](char32_t codePoint) {
        if (codePoint == '\n') {
            penX = -left;
            penY += lineHeight;
            return;
        }
        const Glyph& glyph = GlyphOf(codePoint);
        const int cellX = penX + glyph.offsetX;
        const int rows = std::min(glyph.height, slot->height - penY);
        const int columns = std::min(glyph.width, slot->width - cellX);
        for (int y = 0; y < rows; ++y) {
            const std::uint8_t* in = &coverage[glyph.offset + static_cast<std::size_t>(y) * glyph.width];
            Uint32* out = &scratch[static_cast<std::size_t>(penY + y) * slot->width + cellX];
            for (int x = 0; x < columns; ++x) {
                const Uint32 alpha = std::min<Uint32>((out[x] >> 24) + in[x], 255);
                out[x] = alpha << 24 | rgb;
            }
        }
        penX += glyph.advance;
    });
    slot->texture = SDL_CreateTexture(device->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                      slot->width, slot->height);
    if (!slot->texture || SDL_UpdateTexture(slot->texture, nullptr, scratch.data(), slot->width * 4) != 0) {
        ReportSdlError("Halvo::Gfx::SdlFont::DrawText", __LINE__, "Could not create texture object.");
        if (slot->texture) {
            SDL_DestroyTexture(slot->texture);
            slot->texture = nullptr;
        }
        return slot;
    }
    SDL_SetTextureBlendMode(slot->texture, SDL_BLENDMODE_BLEND);
    return slot;
}

void SdlFont::ForgetTexts() {
    const bool alive = IsReset();
    for (CachedText& text : texts) {
        if (alive && text.texture) {
            SDL_DestroyTexture(text.texture);
        }
        text.texture = nullptr;
    }
    texts.clear();
}

} // namespace Halvo::Gfx
