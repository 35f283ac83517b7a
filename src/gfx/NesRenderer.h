#pragma once

#include <cstddef>
#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Gfx {

// One 8-pixel row of a background tile or a sprite, as the PPU fetched it.
struct TileRecord {
    // Screen x of the row's leftmost pixel; background rows run from -7 (fine scroll) up to 264.
    std::int32_t x;
    // The scanline the row belongs to.
    std::uint32_t y;
    // Background: palette number in bits 0-1 (higher bits are don't-care). Sprites: the OAM attribute
    // byte (bits 0-1 palette, bit 5 behind the background, bit 6 horizontal flip).
    std::uint32_t attribute;
    // Low bit plane in bits 0-7, high bit plane in bits 8-15; bits 7 and 15 are the leftmost pixel
    // before any flip.
    std::uint32_t pattern;
};

// What the PPU draws through during a rendered frame. Per visible line it calls DrawTile (DrawTiles for
// several neighbours at once) or DrawBackdrop for the 34 background rows left to right, then ClearLeftColumn
// when the left 8 background pixels are hidden, then DrawSprite for the line's sprite rows in OAM order
// (highest priority first).
class NesRenderer : public Ref::Object {
public:
    // Paints pixels 0-7 of the scanline with the clear colour.
    virtual void ClearLeftColumn(std::uint32_t scanline) = 0;
    // A row with background rendering off: the backdrop colour.
    virtual void DrawBackdrop(const TileRecord& record) = 0;
    virtual void DrawTile(const TileRecord& record) = 0;
    // `count` rows of one line, as DrawTile would draw them one by one: one call for a line's worth.
    virtual void DrawTiles(const TileRecord* records, std::size_t count) = 0;
    virtual void DrawSprite(const TileRecord& record) = 0;
    // A whole line as 256 NES colours (0-63), left to right: the exact timing model's output, which
    // decides every pixel itself.
    virtual void DrawColours(std::uint32_t scanline, const std::uint8_t* colours) = 0;
};

} // namespace Halvo::Gfx
