#pragma once

#include <array>

#include <SDL.h>

#include "gfx/Font.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// The console font over SDL_ttf. The face is looked up through fontconfig; every glyph the console can
// show (printable ASCII and Latin-1) is rendered once into an atlas, and text is drawn as copies from
// the atlas, coloured per draw. Only text flag 0 is supported: left and top aligned, clipped to the
// rectangle, lines broken only at '\n'.
class SdlFont : public Font {
public:
    // Opens the face at the largest size whose line height does not exceed `height` and renders the
    // atlas. Throws std::runtime_error when the face or the atlas cannot be had.
    SdlFont(const std::string& face, std::uint32_t height, std::uint32_t style, Ref::Ptr<SdlDevice> device);
    ~SdlFont() override;

    SdlFont(const SdlFont&) = delete;
    SdlFont& operator=(const SdlFont&) = delete;

    // Makes the atlas texture if there is none (or the renderer it belonged to is gone).
    bool Reset() override;
    // Textures survive anything but the loss of their renderer: only a dead texture is forgotten.
    void Invalidate() override;
    // Whether text can be drawn now.
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
        SDL_Rect source{}; // the glyph's cell in the atlas
        int offsetX = 0;   // where the cell starts relative to the pen
        int advance = 0;   // how far the pen moves
        bool present = false;
        bool visible = false; // false for blanks, which need no copy
    };

    void BuildAtlas(const std::string& file, int faceIndex);
    const Glyph& GlyphOf(std::uint32_t codePoint) const;
    bool HasTexture() const { return texture && device->Owns(textureGeneration); }

    Ref::Ptr<SdlDevice> device;
    std::string fontFile;
    int lineHeight = 0;
    std::array<Glyph, 256> glyphs{};
    // Kept to make the texture again after the renderer was replaced.
    SDL_Surface* atlas = nullptr;
    SDL_Texture* texture = nullptr;
    std::uint32_t textureGeneration = 0;
};

} // namespace Halvo::Gfx
