#include "gfx/DebugPictures.h"

#include "gfx/NesColors.h"
#include "nes/Ppu.h"

namespace Halvo::Gfx {

namespace {

std::uint32_t Colour(std::uint8_t nesColour) {
    static const NesColourTable table = ClassicNesColours();
    return table[nesColour & 0x3F] & 0xFFFFFF;
}

// Entry `index` (0-31) of the palette; the sprites' entry 0 of each palette shows the backdrop.
std::uint8_t PaletteEntry(const Nes::Ppu& ppu, std::uint32_t index) {
    return ppu.palette[(index & 3) == 0 ? 0 : index & 31];
}

// The 2-bit pixel (column x, row y) of the tile at `address` in pattern memory.
std::uint32_t TilePixel(const Nes::Ppu& ppu, std::uint32_t address, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t low = ppu.ReadVram(address + y);
    const std::uint8_t high = ppu.ReadVram(address + y + 8);
    const std::uint32_t bit = 7 - x;
    return ((low >> bit) & 1) | (((high >> bit) & 1) << 1);
}

} // namespace

void DrawPatternTables(const Nes::Ppu& ppu, std::uint32_t palette, DebugPicture& out) {
    out.Resize(256, 128);
    const std::uint32_t base = (palette & 7) * 4;
    for (std::uint32_t tile = 0; tile < 512; ++tile) {
        const std::uint32_t left = (tile >> 8) * 128 + (tile & 15) * 8;
        const std::uint32_t top = ((tile >> 4) & 15) * 8;
        for (std::uint32_t y = 0; y < 8; ++y) {
            for (std::uint32_t x = 0; x < 8; ++x) {
                out.At(left + x, top + y) = Colour(PaletteEntry(ppu, base + TilePixel(ppu, tile * 16, x, y)));
            }
        }
    }
}

void DrawNameTables(const Nes::Ppu& ppu, DebugPicture& out, bool outlineScroll) {
    out.Resize(512, 480);
    for (std::uint32_t table = 0; table < 4; ++table) {
        const std::uint32_t start = 0x2000 + table * 0x400;
        for (std::uint32_t row = 0; row < 30; ++row) {
            for (std::uint32_t column = 0; column < 32; ++column) {
                const std::uint8_t tile = ppu.ReadVram(start + row * 32 + column);
                const std::uint8_t attribute = ppu.ReadVram(start + 0x3C0 + (row / 4) * 8 + column / 4);
                // Each attribute byte holds the palettes of four 16 x 16 areas.
                const std::uint32_t shift = ((row & 2) << 1) | (column & 2);
                const std::uint32_t palette = ((attribute >> shift) & 3) * 4;
                for (std::uint32_t y = 0; y < 8; ++y) {
                    for (std::uint32_t x = 0; x < 8; ++x) {
                        const std::uint32_t value = TilePixel(ppu, ppu.bgPatternBase + tile * 16u, x, y);
                        out.At((table & 1) * 256 + column * 8 + x, (table >> 1) * 240 + row * 8 + y) =
                            Colour(PaletteEntry(ppu, value ? palette + value : 0));
                    }
                }
            }
        }
    }
    if (!outlineScroll) {
        return;
    }
    // The scroll the frame starts from: t's name table, coarse and fine positions, and fine X.
    const std::uint32_t t = ppu.tempAddress;
    const std::uint32_t scrollX = ((t >> 10) & 1) * 256 + (t & 31) * 8 + ppu.fineX;
    const std::uint32_t scrollY = ((t >> 11) & 1) * 240 + ((t >> 5) & 31) * 8 + ((t >> 12) & 7);
    constexpr std::uint32_t Outline = 0xFF00FF;
    for (std::uint32_t i = 0; i < 256; ++i) {
        out.At((scrollX + i) % 512, scrollY % 480) = Outline;
        out.At((scrollX + i) % 512, (scrollY + 239) % 480) = Outline;
    }
    for (std::uint32_t i = 0; i < 240; ++i) {
        out.At(scrollX % 512, (scrollY + i) % 480) = Outline;
        out.At((scrollX + 255) % 512, (scrollY + i) % 480) = Outline;
    }
}

void DrawSprites(const Nes::Ppu& ppu, DebugPicture& out) {
    constexpr std::uint32_t Transparent = 0x404040;
    out.Resize(128, 192, 0x202020);
    const bool tall = ppu.spriteHeight == 16;
    for (std::uint32_t sprite = 0; sprite < 64; ++sprite) {
        const std::uint8_t tile = ppu.oam[sprite * 4 + 1];
        const std::uint8_t attributes = ppu.oam[sprite * 4 + 2];
        const std::uint32_t palette = 16 + (attributes & 3) * 4;
        const std::uint32_t height = tall ? 16 : 8;
        const std::uint32_t left = (sprite % 8) * 16 + 4;
        const std::uint32_t top = (sprite / 8) * 24 + 4;
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint32_t row = attributes & 0x80 ? height - 1 - y : y;
            // Tall sprites take their table from bit 0 of the tile number and cover two tiles.
            const std::uint32_t address = tall ? (tile & 1) * 0x1000u + (tile & 0xFEu) * 16u + (row & 8) * 2
                                               : ppu.spritePatternBase + tile * 16u;
            for (std::uint32_t x = 0; x < 8; ++x) {
                const std::uint32_t column = attributes & 0x40 ? 7 - x : x;
                const std::uint32_t value = TilePixel(ppu, address, column, row & 7);
                out.At(left + x, top + y) = value ? Colour(PaletteEntry(ppu, palette + value)) : Transparent;
            }
        }
    }
}

void DrawEvents(const Nes::Ppu& ppu, const std::vector<EventMark>& marks, DebugPicture& out) {
    DebugPicture tables;
    DrawNameTables(ppu, tables, false);
    const std::uint32_t lines = ppu.linesPerFrame > 0 ? static_cast<std::uint32_t>(ppu.linesPerFrame) : 262;
    out.Resize(341, lines, 0x181818);
    const std::uint32_t t = ppu.tempAddress;
    const std::uint32_t scrollX = ((t >> 10) & 1) * 256 + (t & 31) * 8 + ppu.fineX;
    const std::uint32_t scrollY = ((t >> 11) & 1) * 240 + ((t >> 5) & 31) * 8 + ((t >> 12) & 7);
    for (std::uint32_t y = 0; y < 240 && y < lines; ++y) {
        for (std::uint32_t x = 0; x < 256; ++x) {
            // Dimmed, so that the marks stand out.
            const std::uint32_t pixel = tables.At((scrollX + x) % 512, (scrollY + y) % 480);
            out.At(x, y) = (pixel >> 1) & 0x7F7F7F;
        }
    }
    for (const EventMark& mark : marks) {
        for (std::int32_t dy = -1; dy <= 1; ++dy) {
            for (std::int32_t dx = -1; dx <= 1; ++dx) {
                const std::int32_t x = mark.dot + dx;
                const std::int32_t y = mark.line + dy;
                if (x >= 0 && x < 341 && y >= 0 && y < static_cast<std::int32_t>(lines)) {
                    out.At(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)) = mark.colour;
                }
            }
        }
    }
}

void DrawPalette(const Nes::Ppu& ppu, DebugPicture& out) {
    out.Resize(256, 32);
    for (std::uint32_t entry = 0; entry < 32; ++entry) {
        const std::uint32_t colour = Colour(PaletteEntry(ppu, entry));
        for (std::uint32_t y = 0; y < 16; ++y) {
            for (std::uint32_t x = 0; x < 16; ++x) {
                out.At((entry % 16) * 16 + x, (entry / 16) * 16 + y) = colour;
            }
        }
    }
}

void DrawMemory(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& previous,
                DebugPicture& out) {
    constexpr std::uint32_t Cell = 6;
    constexpr std::uint32_t PerRow = 32;
    const std::uint32_t rows = static_cast<std::uint32_t>((count + PerRow - 1) / PerRow);
    out.Resize(PerRow * Cell, rows * Cell, 0);
    const bool compare = previous.size() == count;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = bytes[i];
        const bool changed = compare && previous[i] != bytes[i];
        const std::uint32_t colour = changed ? 0xFF0000 | value << 8 : value << 16 | value << 8 | value;
        const std::uint32_t left = static_cast<std::uint32_t>(i % PerRow) * Cell;
        const std::uint32_t top = static_cast<std::uint32_t>(i / PerRow) * Cell;
        for (std::uint32_t y = 0; y + 1 < Cell; ++y) {
            for (std::uint32_t x = 0; x + 1 < Cell; ++x) {
                out.At(left + x, top + y) = colour;
            }
        }
    }
    previous.assign(bytes, bytes + count);
}

} // namespace Halvo::Gfx
