#pragma once

#include <array>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <SDL.h>
#include <SDL_ttf.h>

#include "gfx/Font.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// Holds SDL_ttf while it lives; SDL_ttf counts its users.
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

// The console font over SDL_ttf. The face is looked up through fontconfig; the glyphs of printable ASCII
// and Latin-1 are rendered at once, any other character when it is first shown, each only once. Each text
// drawn becomes a texture in its colour that is kept until the text goes out of use, so an unchanged console
// costs one copy per line and frame. Only text flag 0 is supported: left and top aligned, clipped to the
// rectangle, lines broken only at '\n'.
class SdlFont : public Font {
public:
    // How many drawn texts keep their textures: more than a full console shows at once.
    static constexpr std::size_t CachedTexts = 128;

    // Opens the face at the largest size whose line height does not exceed `height` and renders the
    // glyphs. Throws std::runtime_error when the face cannot be had.
    SdlFont(const std::string& face, std::uint32_t height, std::uint32_t style, Ref::Ptr<SdlDevice> device);
    ~SdlFont() override;

    SdlFont(const SdlFont&) = delete;
    SdlFont& operator=(const SdlFont&) = delete;

    // Takes the current renderer; the texts drawn for an earlier one are forgotten (they went with it).
    bool Reset() override;
    // Textures survive anything but the loss of their renderer, so nothing is dropped here.
    void Invalidate() override;
    // Whether text can be drawn: the font was reset for the renderer in use.
    bool Begin() override;
    void End() override;
    void MeasureText(ScreenRect& rect, std::uint32_t flags, const std::string& text, std::uint32_t start,
                     std::uint32_t count) override;
    void DrawText(const ScreenRect& rect, const Color& color, std::uint32_t flags, const std::string& text,
                  std::uint32_t start, std::uint32_t count) override;

    // The font file fontconfig chose.
    const std::string& GetFontFile() const { return fontFile; }
    // The height of one line of text in pixels.
    int GetLineHeight() const { return lineHeight; }

private:
    struct Glyph {
        std::size_t offset = 0; // where the glyph's coverage starts, rows of `width` bytes
        int y = 0;
        int width = 0;
        int height = 0;
        int offsetX = 0; // where the cell starts relative to the pen
        int advance = 0; // how far the pen moves
        bool present = false;
    };

    // A drawn text in one colour (the alpha is applied per draw).
    struct CachedText {
        std::string text;
        Uint32 rgb = 0;
        SDL_Texture* texture = nullptr; // null for text that shows nothing
        int left = 0;                   // where the texture starts relative to the rectangle's left
        int width = 0;
        int height = 0;
        std::uint64_t lastUse = 0;
    };

    void OpenFace(const std::string& file, int faceIndex);
    Glyph RenderGlyph(char32_t codePoint);
    const Glyph& GlyphOf(char32_t codePoint);
    CachedText* FindText(std::string_view text, Uint32 rgb);
    CachedText* MakeText(std::string_view text, Uint32 rgb);
    void ForgetTexts();
    bool IsReset() const { return device->Owns(resetGeneration); }

    Ref::Ptr<SdlDevice> device;
    std::string fontFile;
    int lineHeight = 0;
    // SDL_ttf stays open while the font lives: characters beyond Latin-1 are rendered when first shown.
    TtfUse ttf;
    TTF_Font* ttfFont = nullptr;
    std::array<Glyph, 256> latin1{};
    std::unordered_map<char32_t, Glyph> others;
    // Every glyph's coverage (0 to 255), one after another.
    std::vector<std::uint8_t> coverage;
    std::vector<CachedText> texts;
    std::uint64_t useCount = 0;
    // The pixels of a text being made into a texture; kept to be reused.
    std::vector<Uint32> scratch;
    std::uint32_t resetGeneration = 0;
};

} // namespace Halvo::Gfx
