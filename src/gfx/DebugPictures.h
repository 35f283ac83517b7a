#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Halvo::Nes {
class Ppu;
}

namespace Halvo::Gfx {

// A picture for a debugger's viewer: 0xRRGGBB pixels, row by row.
struct DebugPicture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;

    void Resize(std::uint32_t newWidth, std::uint32_t newHeight, std::uint32_t fill = 0) {
        width = newWidth;
        height = newHeight;
        pixels.assign(static_cast<std::size_t>(width) * height, fill);
    }
    std::uint32_t& At(std::uint32_t x, std::uint32_t y) {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
    std::uint32_t At(std::uint32_t x, std::uint32_t y) const {
        return pixels[static_cast<std::size_t>(y) * width + x];
    }
};

// What the PPU holds, drawn as the viewers show it, in the classic colours:
// the two pattern tables side by side (256 x 128), their 2-bit pixels in one of the eight palettes
// (0-3 the background's, 4-7 the sprites');
void DrawPatternTables(const Nes::Ppu& ppu, std::uint32_t palette, DebugPicture& out);
// the four name tables as the PPU's memory holds them, 2 x 2 (512 x 480), with the 256 x 240 window
// the scroll registers put on the screen outlined (wrapping round the edges);
void DrawNameTables(const Nes::Ppu& ppu, DebugPicture& out, bool outlineScroll = true);
// the 64 sprites of OAM in 8 rows of 8, each in a 16 x 24 cell (8 x 16 sprites use all of it),
// flipped as they show; transparent pixels grey;
void DrawSprites(const Nes::Ppu& ppu, DebugPicture& out);
// the 32 palette entries as 16 x 16 swatches, background on the first row, sprites on the second.
void DrawPalette(const Nes::Ppu& ppu, DebugPicture& out);
// The event view: the frame as the PPU's time lays it out, a dot to a pixel (341 x the frame's lines),
// the picture's 256 x 240 drawn from the name tables at the frame's scroll (the background only) and the
// blanking dark; each event a 3 x 3 mark of its colour where (line, dot) it happened.
struct EventMark {
    std::int32_t line = 0;
    std::int32_t dot = 0;
    std::uint32_t colour = 0;
};
void DrawEvents(const Nes::Ppu& ppu, const std::vector<EventMark>& marks, DebugPicture& out);
// Memory as a grid of 32 bytes a row, each byte a 6 x 6 cell of its value's grey; bytes changed since
// `previous` was taken are red. `previous` then holds the present bytes.
void DrawMemory(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& previous,
                DebugPicture& out);

} // namespace Halvo::Gfx
