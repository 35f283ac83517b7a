#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "gfx/NesRenderer.h"

namespace Halvo::Gfx {

namespace PatternTables {

// One bit plane byte spread to two bits per pixel, the first pixel drawn in bits 0-1. Combining the two
// planes as Spread[low] | Spread[high] << 1 gives all eight pixel values in drawing order, so the pixel
// loop takes each value with one mask and one shift.
constexpr std::array<std::uint16_t, 256> MakeSpread(bool rightmostFirst) {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned spread = 0;
        for (unsigned pixel = 0; pixel < 8; ++pixel) {
            const unsigned bit = rightmostFirst ? pixel : 7 - pixel;
            spread |= ((byte >> bit) & 1u) << (2 * pixel);
        }
        table[byte] = static_cast<std::uint16_t>(spread);
    }
    return table;
}

// The lineMask bytes of a whole plain row from its two planes ORed: byte i (in memory order) is 1 when
// pixel i is opaque.
constexpr std::array<std::uint64_t, 256> MakeOpaqueBytes() {
    std::array<std::uint64_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        std::uint64_t bytes = 0;
        for (unsigned pixel = 0; pixel < 8; ++pixel) {
            const unsigned place = std::endian::native == std::endian::little ? pixel : 7 - pixel;
            bytes |= static_cast<std::uint64_t>((byte >> (7 - pixel)) & 1u) << (8 * place);
        }
        table[byte] = bytes;
    }
    return table;
}

// The four pixel values of a quad index (low-plane bits in bits 0-3, high-plane bits in 4-7, bits 3
// and 7 the leftmost pixel), two bits each, the leftmost in bits 0-1.
constexpr std::array<std::uint8_t, 256> MakeQuadValues() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned index = 0; index < 256; ++index) {
        unsigned values = 0;
        for (unsigned pixel = 0; pixel < 4; ++pixel) {
            const unsigned bit = 3 - pixel;
            values |= (((index >> bit) & 1u) | ((index >> (4 + bit)) & 1u) << 1) << (2 * pixel);
        }
        table[index] = static_cast<std::uint8_t>(values);
    }
    return table;
}

// Plain rows: bit 7 is the leftmost pixel.
inline constexpr std::array<std::uint16_t, 256> LeftFirst = MakeSpread(false);
// Horizontally flipped sprite rows: bit 0 is the leftmost pixel.
inline constexpr std::array<std::uint16_t, 256> RightFirst = MakeSpread(true);
inline constexpr std::array<std::uint64_t, 256> OpaqueBytes = MakeOpaqueBytes();
inline constexpr std::array<std::uint8_t, 256> QuadValues = MakeQuadValues();

} // namespace PatternTables

// The renderer for a linear surface of pixels of type T. N is the storage code: 0, 1 and 3 store one T
// per pixel (8, 16 and 32 bits); 2 stores the low three bytes of a 32-bit value (24-bit surfaces).
template <class T, int N>
class LinearNesRenderer final : public NesRenderer {
    static_assert((N == 0 && std::is_same_v<T, unsigned char>) ||
                      (N == 1 && std::is_same_v<T, unsigned short>) ||
                      ((N == 2 || N == 3) && std::is_same_v<T, unsigned int>),
                  "the four surface kinds are (unsigned char, 0), (unsigned short, 1), (unsigned int, 2) and "
                  "(unsigned int, 3)");

public:
    static constexpr std::int32_t BytesPerPixel = N == 2 ? 3 : static_cast<std::int32_t>(sizeof(T));
    static constexpr std::uint32_t BackgroundOpaque = 1;
    static constexpr std::uint32_t SpriteClaimed = 2;

    void ClearLeftColumn(std::uint32_t scanline) override {
        std::uint8_t* out = pixels + static_cast<std::ptrdiff_t>(scanline) * pitch;
        const T value = *clearColour;
        for (int pixel = 0; pixel < 8; ++pixel, out += BytesPerPixel) {
            Store(out, value);
        }
    }

    void DrawBackdrop(const TileRecord& record) override {
        Span span;
        if (!FindSpan(record, *bgClipWidth, span)) {
            return;
        }
        const T backdrop = palette[0];
        ForEachPixel(span.count, [&] {
            Store(span.out, backdrop);
            *span.mask++ = 0;
            span.out += BytesPerPixel;
        });
    }

    void DrawTile(const TileRecord& record) override {
        MakeStaleQuads();
        DrawTileRow(record, LineTarget(record.y));
    }

    void DrawTiles(const TileRecord* records, std::size_t count) override {
        if (count == 0) {
            return;
        }
        MakeStaleQuads();
        const Target target = LineTarget(records[0].y);
        for (const TileRecord* record = records; record != records + count; ++record) {
            DrawTileRow(*record, target);
        }
    }

    void DrawSprite(const TileRecord& record) override {
        Span span;
        if (!FindSpan(record, *spriteClipWidth, span)) {
            return;
        }
        const T* colours = palette + 16 + 4 * (record.attribute & 3);
        const bool flipped = (record.attribute & 0x40) != 0;
        unsigned values =
            PixelValues(record.pattern, flipped ? PatternTables::RightFirst : PatternTables::LeftFirst) >>
            (2 * span.skipped);
        if ((record.attribute & 0x20) != 0) {
            // Behind the background: the sprite still wins the pixel against every later sprite (the
            // PPU picks the first opaque sprite pixel in OAM order before it looks at priority), but it
            // shows only where the background is transparent. That is how games hide later sprites
            // behind an invisible sprite in front of opaque background.
            ForEachPixel(span.count, [&] {
                const unsigned value = values & 3;
                if (value != 0) {
                    const std::uint8_t mask = *span.mask;
                    if (mask == 0) {
                        Store(span.out, colours[value]);
                    }
                    *span.mask = static_cast<std::uint8_t>(mask | SpriteClaimed);
                }
                ++span.mask;
                span.out += BytesPerPixel;
                values >>= 2;
            });
        } else {
            ForEachPixel(span.count, [&] {
                const unsigned value = values & 3;
                if (value != 0 && (*span.mask & SpriteClaimed) == 0) {
                    Store(span.out, colours[value]);
                    *span.mask |= SpriteClaimed;
                }
                ++span.mask;
                span.out += BytesPerPixel;
                values >>= 2;
            });
        }
    }

    void DrawColours(std::uint32_t scanline, const std::uint8_t* colours) override {
        std::uint8_t* out = pixels + static_cast<std::ptrdiff_t>(scanline) * pitch;
        for (std::uint32_t x = 0; x < 256; ++x, out += BytesPerPixel) {
            Store(out, nesColours[colours[x] & 63]);
        }
    }

    // Points the renderer at the 32 palette entries as surface pixel values.
    void SetPalette(const T* entries) {
        palette = entries;
        staleQuads = AllPalettes;
    }

    // Palette entry `index` (0-31) has a new value.
    void PaletteEntryChanged(std::uint32_t index) {
        if (index < 16) {
            staleQuads |= 1u << (index / 4);
        }
    }

    // The frame target, set by the canvas for each frame; the renderer owns none of this memory.
    std::uint8_t* pixels = nullptr;
    std::int32_t pitch = 0;
    // Set through SetPalette.
    const T* palette = nullptr;
    const T* clearColour = nullptr;
    // The 64 NES colours as surface pixel values.
    const T* nesColours = nullptr;
    const std::uint32_t* bgClipWidth = nullptr;
    const std::uint32_t* spriteClipWidth = nullptr;
    // Per screen x of the line being drawn: bit 0 the background pixel is opaque, bit 1 a sprite has
    // claimed the pixel. Each row overwrites only the entries it draws.
    std::array<std::uint8_t, 256> lineMask{};

private:
    // Four neighbouring background pixels as they lie in the surface, the leftmost at the lowest address.
    // The 12 bytes of a 3-byte quad are padded to 16, so that every quad is found by byte offset and the
    // left half of a row is stored in one 16-byte move (its last 4 bytes are then overwritten by the
    // right half, which stores its own 12 bytes only).
    static constexpr std::size_t QuadBytes = 4 * BytesPerPixel;
    struct Quad {
        std::uint8_t bytes[N == 2 ? 16 : QuadBytes];
    };
    static constexpr std::uint32_t AllPalettes = 15;

    // The line the tile rows are drawn into, read once per call: the compiler cannot tell the pixel
    // stores apart from the members.
    struct Target {
        std::uint8_t* line;
        std::uint8_t* mask;
        std::uint32_t clipWidth;
    };

    Target LineTarget(std::uint32_t y) {
        std::uint8_t* line = pixels + static_cast<std::ptrdiff_t>(y) * pitch;
        return {line, lineMask.data(), *bgClipWidth};
    }

    // Makes again the quads of the background palettes whose colours changed since they were last made.
    // Games change palettes between frames, if at all, so this is done when drawing starts rather than
    // for each of the (often 32 at once) palette writes.
    void MakeStaleQuads() {
        if (staleQuads == 0 || !palette) [[likely]] {
            return;
        }
        for (std::uint32_t number = 0; number < 4; ++number) {
            if (staleQuads & (1u << number)) {
                MakeQuads(number);
            }
        }
        staleQuads = 0;
    }

    // The quads of background palette `number`: entry l + 16h holds the four pixels whose low-plane bits
    // are l and high-plane bits h, bit 3 the leftmost pixel.
    void MakeQuads(std::uint32_t number) {
        const T* colours = palette + 4 * number;
        // The 16 pixel pairs first: entry a + 4b is value a followed by value b.
        constexpr std::size_t PairBytes = 2 * BytesPerPixel;
        std::uint8_t pairs[16][PairBytes];
        for (std::uint32_t index = 0; index < 16; ++index) {
            Store(pairs[index], colours[index & 3]);
            Store(pairs[index] + BytesPerPixel, colours[index >> 2]);
        }
        for (std::uint32_t index = 0; index < 256; ++index) {
            Quad& quad = backgroundQuads[number][index];
            const std::uint32_t values = PatternTables::QuadValues[index];
            std::memcpy(quad.bytes, pairs[values & 15], PairBytes);
            std::memcpy(quad.bytes + PairBytes, pairs[values >> 4], PairBytes);
        }
    }

    [[gnu::always_inline]] void DrawTileRow(const TileRecord& record, Target target) {
        const std::int32_t x = record.x;
        // All but the two edge rows of a line are drawn whole: two stores of four ready-made pixels each
        // and one store of the eight lineMask bytes.
        if (static_cast<std::uint32_t>(x) > 248u || static_cast<std::uint32_t>(x) < target.clipWidth)
            [[unlikely]] {
            DrawRowPart(record, target.clipWidth);
            return;
        }
        const std::uint32_t pattern = record.pattern;
        const Quad* quads = backgroundQuads[record.attribute & 3].data();
        // Pixels 0-3 are the planes' high nibbles, pixels 4-7 their low ones. The indices are formed 16
        // times over, where the nibbles lie with fewer shifts: for 16-byte quads that is their offset.
        const std::uint32_t left16 = (pattern & 0xF0) | ((pattern >> 4) & 0xF00);
        const std::uint32_t right16 = ((pattern << 4) & 0xF0) | (pattern & 0xF00);
        const Quad& leftHalf = QuadAt(quads, left16);
        const Quad& rightHalf = QuadAt(quads, right16);
        const std::uint64_t opaque = PatternTables::OpaqueBytes[(pattern | pattern >> 8) & 0xFF];
        std::uint8_t* out = target.line + static_cast<std::ptrdiff_t>(x) * BytesPerPixel;
        std::memcpy(out, &leftHalf, sizeof(Quad));
        std::memcpy(out + QuadBytes, &rightHalf, QuadBytes);
        std::memcpy(target.mask + x, &opaque, sizeof(opaque));
    }

    static const Quad& QuadAt(const Quad* quads, std::uint32_t index16) {
        if constexpr (sizeof(Quad) == 16) {
            return *reinterpret_cast<const Quad*>(reinterpret_cast<const std::uint8_t*>(quads) + index16);
        } else {
            return quads[index16 / 16];
        }
    }

    // An edge row, cut by the clip or the screen's right edge: pixel by pixel, out of the line's loop.
    [[gnu::noinline]] void DrawRowPart(const TileRecord& record, std::uint32_t clipWidth) {
        Span span;
        if (!FindSpan(record, clipWidth, span)) {
            return;
        }
        // Entry 4p of every background palette is the backdrop (the PPU mirrors it), so value 0 needs
        // no special case.
        const T* colours = palette + 4 * (record.attribute & 3);
        unsigned values = PixelValues(record.pattern, PatternTables::LeftFirst) >> (2 * span.skipped);
        ForEachPixel(span.count, [&] {
            const unsigned value = values & 3;
            Store(span.out, colours[value]);
            *span.mask++ = value != 0 ? BackgroundOpaque : 0;
            span.out += BytesPerPixel;
            values >>= 2;
        });
    }

    std::array<std::array<Quad, 256>, 4> backgroundQuads{};
    std::uint32_t staleQuads = AllPalettes;

    struct Span {
        std::uint8_t* out;
        std::uint8_t* mask;
        std::int32_t count;
        std::int32_t skipped;
    };

    // The part of a row that is drawn: from the clip edge (fine scroll, left-column masking) or the
    // row's x, to the row's end or the screen's right edge. False when nothing is left.
    bool FindSpan(const TileRecord& record, std::uint32_t clipWidth, Span& span) {
        const std::int32_t clip = clipWidth < 256 ? static_cast<std::int32_t>(clipWidth) : 256;
        const std::int32_t first = record.x < clip ? clip : record.x;
        const std::int32_t end = record.x > 248 ? 256 : record.x + 8;
        span.count = end - first;
        if (span.count <= 0) {
            return false;
        }
        span.skipped = first - record.x;
        span.out = pixels + static_cast<std::ptrdiff_t>(record.y) * pitch + first * BytesPerPixel;
        span.mask = lineMask.data() + first;
        return true;
    }

    static unsigned PixelValues(std::uint32_t pattern, const std::array<std::uint16_t, 256>& spread) {
        return spread[pattern & 0xFF] | static_cast<unsigned>(spread[(pattern >> 8) & 0xFF]) << 1;
    }

    static void Store(std::uint8_t* out, T value) {
        if constexpr (N == 2) {
            out[0] = static_cast<std::uint8_t>(value);
            out[1] = static_cast<std::uint8_t>(value >> 8);
            out[2] = static_cast<std::uint8_t>(value >> 16);
        } else {
            std::memcpy(out, &value, sizeof(T));
        }
    }

    // Runs the pixel step count (1..8) times, unrolled: the switch enters the straight sequence at the
    // position for that many pixels.
    template <class Step>
    static void ForEachPixel(std::int32_t count, Step&& step) {
        switch (count) {
        case 8:
            step();
            [[fallthrough]];
        case 7:
            step();
            [[fallthrough]];
        case 6:
            step();
            [[fallthrough]];
        case 5:
            step();
            [[fallthrough]];
        case 4:
            step();
            [[fallthrough]];
        case 3:
            step();
            [[fallthrough]];
        case 2:
            step();
            [[fallthrough]];
        case 1:
            step();
            [[fallthrough]];
        default:
            break;
        }
    }
};

} // namespace Halvo::Gfx
