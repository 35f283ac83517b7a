// The exact timing model's PPU: one dot at a time, as the 2C02 fetches, shifts and outputs.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

constexpr std::int32_t LastDot = 340;
// The pre-render line decides at this dot whether the frame is a dot short; only the NTSC PPU skips.
constexpr std::int32_t SkipCheckDot = 338;
constexpr std::int32_t NtscLines = 262;
// Bits of the PPU's data bus fade about 600 ms after they were last driven (ppu_open_bus).
constexpr std::uint32_t LatchDecayFrames = 36;
// Sprite pixels in Ppu::spriteLine.
constexpr std::uint8_t SpriteColour = 0x1F;
constexpr std::uint8_t SpriteBehind = 0x20;
constexpr std::uint8_t SpriteZero = 0x40;
// MMC3-style counters see a rise of A12 only after it was low for a few processor cycles; the short
// lows between the sprite fetches of one line do not count.
constexpr std::uint64_t A12LowDots = 10;

constexpr std::uint8_t Reverse(std::uint8_t row) {
    row = static_cast<std::uint8_t>((row & 0xF0) >> 4 | (row & 0x0F) << 4);
    row = static_cast<std::uint8_t>((row & 0xCC) >> 2 | (row & 0x33) << 2);
    return static_cast<std::uint8_t>((row & 0xAA) >> 1 | (row & 0x55) << 1);
}

// Byte i of entry b is bit 7 - i of b: a pattern row's bits as pixels from the left, in one word.
constexpr std::array<std::uint64_t, 256> SpreadBits = [] {
    std::array<std::uint64_t, 256> table{};
    for (std::uint32_t row = 0; row < 256; ++row) {
        for (std::uint32_t i = 0; i < 8; ++i) {
            table[row] |= std::uint64_t{(row >> (7 - i)) & 1} << (8 * i);
        }
    }
    return table;
}();

// Palette RAM's address: $3F10, $3F14, $3F18 and $3F1C are the same bytes as $3F00-$3F0C.
constexpr std::uint32_t PaletteIndex(std::uint32_t address) {
    const std::uint32_t index = address & 0x1F;
    return (index & 0x13) == 0x10 ? index & 0x0F : index;
}

} // namespace

[[gnu::always_inline]] inline void Ppu::TrackA12(std::uint32_t address, Mmc& mmc) {
    const bool high = (address & 0x1000) != 0;
    if (high == a12High) {
        return;
    }
    a12High = high;
    if (!high) {
        a12FellAt = dotClock;
    } else if (dotClock - a12FellAt >= A12LowDots) {
        mmc.OnPpuA12Rise();
    }
}

[[gnu::always_inline]] inline void Ppu::SetBusAddress(std::uint32_t address) {
    Mmc& mmc = *process->mmc;
    if (mmc.a12Hook) {
        TrackA12(address, mmc);
    }
}

[[gnu::always_inline]] inline std::uint8_t Ppu::ReadBus(std::uint32_t address) {
    SetBusAddress(address);
    return ReadVram(address);
}

void Ppu::RefreshLatch(std::uint8_t value, std::uint8_t bits) {
    latch = static_cast<std::uint8_t>((latch & ~bits) | (value & bits));
    for (std::uint32_t bit = 0; bit < 8; ++bit) {
        if (bits & (1u << bit)) {
            latchRefreshed[bit] = frameCount;
        }
    }
}

std::uint8_t Ppu::DecayedLatch() {
    for (std::uint32_t bit = 0; bit < 8; ++bit) {
        if ((latch & (1u << bit)) && frameCount - latchRefreshed[bit] > LatchDecayFrames) {
            latch = static_cast<std::uint8_t>(latch & ~(1u << bit));
        }
    }
    return latch;
}

void Ppu::BeginExactFrame(bool render) {
    frameEnded = false;
    drawExact = render && canvas;
}

void Ppu::EndExactFrame() {
    if (canvas) {
        canvas->EndFrame();
    }
    renderer = nullptr;
    lineDrawer = nullptr;
}

// The fetched tile into the background shifters, which here are the line's pixels laid out by tile:
// the shifters' 16 bits at the pixel of screen x, tapped at bit 15 - fine X, are entries x + fine X of
// this row, so a fine X written in mid-line moves the tap at once as it does on the chip. Tiles come in
// at dots 329 and 337 (the coming line's first two) and 9, 17, ... 257.
void Ppu::LoadTile() {
    const std::uint32_t slot = dot >= 329 ? (dot - 329) / 8 : (dot - 9) / 8 + 2;
    std::uint8_t* pixels = lineBg.data() + 8 * slot;
    const std::uint32_t palette = static_cast<std::uint32_t>(nextAttr) << 2;
    if constexpr (std::endian::native == std::endian::little) {
        // All eight at once: the two planes' bits spread one a byte, and the palette put into the
        // bytes that are not transparent.
        std::uint64_t values = SpreadBits[nextLow] | SpreadBits[nextHigh] << 1;
        values |= ((values | values >> 1) & 0x0101010101010101u) * palette;
        std::memcpy(pixels, &values, sizeof values);
        return;
    }
    for (std::uint32_t i = 0; i < 8; ++i) {
        const std::uint32_t value = ((nextLow >> (7 - i)) & 1) | (((nextHigh >> (7 - i)) & 1) << 1);
        pixels[i] = static_cast<std::uint8_t>(value ? palette | value : 0);
    }
}

// The second-to-last step of every fetch group: the background's next tile, eight dots a tile. The
// shifters take the fetched tile at dots 9, 17, ... 257 and 329, 337, and move one pixel a dot.
[[gnu::always_inline]] inline void Ppu::DotFetch() {
    Mmc& mmc = *process->mmc;
    if ((dot >= 1 && dot <= 256) || (dot >= 321 && dot <= 336)) {
        if ((dot & 7) == 1 && dot != 1 && dot != 321) {
            LoadTile();
        }
        switch (dot & 7) {
        case 1: {
            const std::uint32_t address = 0x2000 | (vramAddress & 0x0FFF);
            nextAttr = 0;
            if (mmc.attributeHook) {
                nextAttr = mmc.GetAttribute(static_cast<std::uint16_t>(address));
            }
            nextName = ReadBus(address);
            break;
        }
        case 3: {
            const std::uint32_t address =
                0x23C0 | (vramAddress & 0x0C00) | ((vramAddress >> 4) & 0x38) | ((vramAddress >> 2) & 0x07);
            const std::uint8_t attribute = ReadBus(address);
            // A board's own attribute (non-zero) stands as it is.
            if (nextAttr == 0) {
                nextAttr = attribute >> (((vramAddress >> 4) & 4) | (vramAddress & 2));
            }
            nextAttr &= 3;
            break;
        }
        case 5: {
            const std::uint32_t address = bgPatternBase + 16u * nextName + ((vramAddress >> 12) & 7);
            if (mmc.patternFetchHook) {
                mmc.OnPatternFetch(static_cast<std::uint16_t>(address));
            }
            nextLow = ReadBus(address);
            break;
        }
        case 7:
            nextHigh = ReadBus(bgPatternBase + 16u * nextName + ((vramAddress >> 12) & 7) + 8);
            break;
        case 0:
            vramAddress = CoarseXIncrement(vramAddress);
            if (dot == 256) {
                VerticalIncrement();
            }
            break;
        default:
            break;
        }
        if (dot == 65 && scanline < VisibleLines) {
            EvaluateSpritesExact();
        }
        return;
    }
    if (dot >= 257 && dot <= 320) {
        if (dot == 257) {
            LoadTile();
            vramAddress = (vramAddress & ~0x041Fu) | (tempAddress & 0x041F);
            if (mmc.patternPhaseHook) {
                mmc.OnPatternPhase(true);
            }
        }
        oamAddress = 0;
        if (scanline == linesPerFrame - 1 && dot >= 280 && dot <= 304) {
            vramAddress = (vramAddress & ~0x7BE0u) | (tempAddress & 0x7BE0);
        }
        FetchSpritesExact();
        return;
    }
    if (dot == 337 || dot == 339) {
        if (dot == 337) {
            LoadTile();
            if (mmc.patternPhaseHook) {
                mmc.OnPatternPhase(false);
            }
        }
        // The two name-table fetches that end every line (MMC5 counts them to find the line's start).
        (void)ReadBus(0x2000 | (vramAddress & 0x0FFF));
    }
}

// Secondary OAM for the coming line, found all at once when evaluation starts (dot 65). The overflow
// flag lands on the dot the hardware's scan reaches the ninth sprite, with its diagonal bug: after
// eight sprites it steps through the bytes of each entry as if they were y coordinates.
void Ppu::EvaluateSpritesExact() {
    secondaryOam.fill(0xFF);
    secondaryCount = 0;
    secondaryHasZero = false;
    overflowDot = -1;
    const auto line = static_cast<std::uint32_t>(scanline);
    std::int32_t at = 65;
    std::uint32_t n = 0;
    for (; n < 64 && secondaryCount < 8; ++n) {
        const std::uint8_t y = oam[4 * n];
        secondaryOam[4 * secondaryCount] = y;
        at += 2;
        if (line - y < spriteHeight) {
            for (std::uint32_t i = 1; i < 4; ++i) {
                secondaryOam[4 * secondaryCount + i] = oam[4 * n + i];
            }
            secondaryHasZero |= n == 0;
            ++secondaryCount;
            at += 6;
        }
    }
    for (std::uint32_t m = 0; n < 64; at += 2) {
        const std::uint8_t y = oam[4 * n + m];
        if (line - y < spriteHeight) {
            overflowDot = std::min(at, 256);
            break;
        }
        ++n;
        m = (m + 1) & 3;
    }
}

// Dots 257-320: eight sprite slots of 8 dots each, a name-table and an attribute fetch the PPU does
// not use, then the pattern's two planes. Empty slots fetch tile $FF. At dot 320 the coming line's
// sprite pixels are laid out by x.
void Ppu::FetchSpritesExact() {
    const std::int32_t phase = (dot - 257) & 7;
    const auto slot = static_cast<std::uint32_t>((dot - 257) >> 3);
    if (phase == 0 || phase == 2) {
        SetBusAddress(0x2000 | (vramAddress & 0x0FFF));
    } else if (phase == 4 || phase == 6) {
        const std::uint32_t address = SpriteAddress(slot) + (phase == 6 ? 8 : 0);
        Mmc& mmc = *process->mmc;
        if (phase == 4 && mmc.patternFetchHook) {
            mmc.OnPatternFetch(static_cast<std::uint16_t>(address));
        }
        StoreSpritePlane(slot, phase == 6, ReadBus(address));
    }
    if (dot == 320) {
        LaySpriteLine();
    }
}

// The low plane's address of slot `slot` on this line; an empty slot fetches tile $FF.
std::uint32_t Ppu::SpriteAddress(std::uint32_t slot) const {
    const bool used = slot < secondaryCount && scanline < VisibleLines;
    const std::uint8_t y = used ? secondaryOam[4 * slot] : 0xFF;
    const std::uint8_t tile = used ? secondaryOam[4 * slot + 1] : 0xFF;
    const std::uint8_t attribute = used ? secondaryOam[4 * slot + 2] : 0xFF;
    std::uint32_t row = (static_cast<std::uint32_t>(scanline) - y) & (spriteHeight - 1);
    if (attribute & 0x80) {
        row = spriteHeight - 1 - row;
    }
    if (spriteHeight == 16) {
        return (tile & 1u) * 0x1000 + 16u * (tile & 0xFEu) + (row & 8) * 2 + (row & 7);
    }
    return spritePatternBase + 16u * tile + row;
}

void Ppu::StoreSpritePlane(std::uint32_t slot, bool high, std::uint8_t plane) {
    if (slot >= secondaryCount || scanline >= VisibleLines) {
        return;
    }
    if (secondaryOam[4 * slot + 2] & 0x40) {
        plane = Reverse(plane);
    }
    Gfx::TileRecord& record = sprites[slot];
    if (high) {
        record.pattern |= static_cast<std::uint32_t>(plane) << 8;
    } else {
        record.pattern = plane;
    }
}

// The coming line's sprite pixels by x, from the fetched patterns (dot 320).
void Ppu::LaySpriteLine() {
    nextSpriteLine.fill(0);
    if (scanline >= VisibleLines) {
        return;
    }
    for (std::uint32_t i = secondaryCount; i-- > 0;) {
        const std::uint8_t attribute = secondaryOam[4 * i + 2];
        const std::uint32_t x = secondaryOam[4 * i + 3];
        const std::uint32_t pattern = sprites[i].pattern;
        const auto flags =
            static_cast<std::uint8_t>(0x10 | (attribute & 3) << 2 | (attribute & SpriteBehind) |
                                      (i == 0 && secondaryHasZero ? SpriteZero : 0));
        for (std::uint32_t k = 0; k < 8 && x + k < 256; ++k) {
            const std::uint32_t value = ((pattern >> (7 - k)) & 1) | ((pattern >> (14 - k)) & 2);
            if (value) {
                nextSpriteLine[x + k] = static_cast<std::uint8_t>(flags | value);
            }
        }
    }
}

// One pixel of a visible line: background and sprite multiplexed, sprite 0 hit tested.
[[gnu::always_inline]] inline void Ppu::DotPixel(std::uint32_t x) {
    std::uint32_t background = 0;
    if ((mask & MaskBackground) && (x >= 8 || (mask & MaskBackgroundLeft))) {
        background = lineBg[x + fineX];
    }
    std::uint32_t sprite = spriteLine[x];
    if (!(mask & MaskSprites) || (x < 8 && !(mask & MaskSpritesLeft))) {
        sprite = 0;
    }
    std::uint32_t colour = background;
    if (sprite) {
        if (background) {
            if ((sprite & SpriteZero) && x != 255) {
                status |= StatusSpriteZeroHit;
            }
            if (!(sprite & SpriteBehind)) {
                colour = sprite & SpriteColour;
            }
        } else {
            colour = sprite & SpriteColour;
        }
    }
    lineColours[x] =
        static_cast<std::uint8_t>(paletteRam[PaletteIndex(colour)] & ((mask & MaskGrayscale) ? 0x30 : 0x3F));
}

// The eight pixels from x (a multiple of 8), as DotPixel makes them one by one. Without a sprite
// pixel among them the background's colours (0-15, where palette RAM has no mirrors) go straight out.
[[gnu::always_inline]] inline void Ppu::GroupPixels(std::uint32_t x) {
    const bool left = x < 8;
    std::uint64_t spritePixels = 0;
    if ((mask & MaskSprites) && (!left || (mask & MaskSpritesLeft))) {
        std::memcpy(&spritePixels, spriteLine.data() + x, sizeof spritePixels);
    }
    if (spritePixels != 0) {
        // Background and sprite multiplexed, the sprite 0 hit tested (never at x 255).
        const auto grey = static_cast<std::uint8_t>((mask & MaskGrayscale) ? 0x30 : 0x3F);
        const bool showBackground = (mask & MaskBackground) && (!left || (mask & MaskBackgroundLeft));
        const std::uint8_t* background = lineBg.data() + x + fineX;
        const std::uint8_t* sprite = spriteLine.data() + x;
        std::uint8_t* out = lineColours.data() + x;
        std::uint32_t hits = 0;
        for (std::uint32_t i = 0; i < 8; ++i) {
            const std::uint32_t b = showBackground ? background[i] : 0;
            const std::uint32_t s = sprite[i];
            std::uint32_t colour = b;
            if (s) {
                if (b) {
                    hits |= x + i != 255 ? s : 0;
                    if (!(s & SpriteBehind)) {
                        colour = s & SpriteColour;
                    }
                } else {
                    colour = s & SpriteColour;
                }
            }
            out[i] = static_cast<std::uint8_t>(paletteRam[PaletteIndex(colour)] & grey);
        }
        if (hits & SpriteZero) {
            status |= StatusSpriteZeroHit;
        }
        return;
    }
    const auto grey = static_cast<std::uint8_t>((mask & MaskGrayscale) ? 0x30 : 0x3F);
    std::uint8_t* out = lineColours.data() + x;
    if ((mask & MaskBackground) && (!left || (mask & MaskBackgroundLeft))) {
        const std::uint8_t* background = lineBg.data() + x + fineX;
        for (std::uint32_t i = 0; i < 8; ++i) {
            out[i] = static_cast<std::uint8_t>(paletteRam[background[i]] & grey);
        }
        return;
    }
    std::fill_n(out, 8, static_cast<std::uint8_t>(paletteRam[0] & grey));
}

[[gnu::always_inline]] inline void Ppu::StepDot() {
    ++dotClock;
    if (dot == SkipCheckDot && scanline == linesPerFrame - 1) {
        skipDot = false;
    }
    const std::int32_t preRender = linesPerFrame - 1;
    if (scanline < VisibleLines || scanline == preRender) {
        if (scanline == preRender && dot == 1) {
            status &= ~(StatusVBlank | StatusSpriteZeroHit | StatusOverflow);
            secondaryCount = 0;
            secondaryHasZero = false;
        }
        const bool rendering = RenderingEnabled();
        if (scanline < VisibleLines && dot >= 1 && dot <= 256) {
            if (rendering) {
                DotPixel(static_cast<std::uint32_t>(dot - 1));
            } else {
                // With rendering off the backdrop shows, or the palette entry the VRAM address points
                // at when it is inside the palette.
                const std::uint32_t at = (vramAddress & 0x3F00) == 0x3F00 ? PaletteIndex(vramAddress) : 0;
                lineColours[static_cast<std::uint32_t>(dot - 1)] =
                    static_cast<std::uint8_t>(paletteRam[at] & ((mask & MaskGrayscale) ? 0x30 : 0x3F));
            }
            if (dot == 256 && lineDrawer) {
                lineDrawer->DrawColours(static_cast<std::uint32_t>(scanline), lineColours.data());
            }
        }
        if (rendering) {
            DotFetch();
            if (dot == overflowDot && scanline < VisibleLines) {
                status |= StatusOverflow;
            }
            // The pre-render line of every second frame is one dot shorter when rendering is on at
            // dot 338: its last dot then stands for dot 0 of line 0 (ppu_vbl_nmi "even_odd_timing"
            // pins the dot against $2001 writes).
            if (scanline == preRender && dot == SkipCheckDot && oddFrame && linesPerFrame == NtscLines) {
                skipDot = true;
            }
        }
    } else if (scanline == vblankLine && dot == 1) {
        if (!suppressVBlank) {
            status |= StatusVBlank;
        }
        suppressVBlank = false;
        ++frameCount;
        process->mmc->OnVBlank();
    }
    if (++dot <= LastDot) {
        return;
    }
    dot = skipDot ? 1 : 0;
    skipDot = false;
    if (++scanline == linesPerFrame) {
        scanline = 0;
        oddFrame = !oddFrame;
    }
    spriteLine = nextSpriteLine;
    overflowDot = -1;
    Mmc& mmc = *process->mmc;
    if (!mmc.a12Hook && mmc.scanlineHook) {
        mmc.OnScanline();
    }
    if (scanline == 0 && drawExact) {
        renderer = canvas->BeginFrame();
        lineDrawer = renderer.Get();
    } else if (scanline == VisibleLines) {
        EndExactFrame();
    } else if (scanline == vblankLine) {
        frameEnded = true;
    }
}

void Ppu::RunDot() {
    StepDot();
}

// Stretches of dots in one go, each doing what RunDot would do dot by dot, in the same order where
// the order can matter. Nothing outside the PPU acts between their dots: the processor catches the
// PPU up before it looks.

// A background fetch group of a rendered line, dots 8k + 1 to 8k + 8 (k 0-31, or the coming line's
// first two tiles at 321 and 329): the tile fetched before goes into the shifters, the name, attribute
// and two pattern bytes are fetched, coarse X moves on (and fine Y at dot 256), and on a visible line
// the eight pixels are output. The pixels only read tiles loaded before or at the group's first dot,
// so they can follow the fetches. For boards without fetch hooks; with `A12` the board watches A12.
template <bool A12, bool Visible>
void Ppu::TileGroup(Mmc& mmc) {
    const std::int32_t first = dot;
    const std::uint64_t clock = dotClock;
    if (first != 1 && first != 321) {
        LoadTile();
    }
    // A12 follows the four fetches: low for the name and attribute bytes, the background table's bit
    // for the two pattern bytes (the second finds it as the first left it).
    if constexpr (A12) {
        if (a12High) {
            a12High = false;
            a12FellAt = clock + 1;
        }
    }
    nextName = ReadVram(0x2000 | (vramAddress & 0x0FFF));
    if (Visible && first == 65) {
        EvaluateSpritesExact();
    }
    const std::uint32_t attributeAddress =
        0x23C0 | (vramAddress & 0x0C00) | ((vramAddress >> 4) & 0x38) | ((vramAddress >> 2) & 0x07);
    nextAttr = (ReadVram(attributeAddress) >> (((vramAddress >> 4) & 4) | (vramAddress & 2))) & 3;
    const std::uint32_t pattern = bgPatternBase + 16u * nextName + ((vramAddress >> 12) & 7);
    if constexpr (A12) {
        if (pattern & 0x1000) {
            dotClock = clock + 5;
            TrackA12(pattern, mmc);
        }
    }
    nextLow = ReadVram(pattern);
    nextHigh = ReadVram(pattern + 8);
    dotClock = clock + 8;
    vramAddress = CoarseXIncrement(vramAddress);
    if (first == 249) {
        VerticalIncrement();
    }
    if (Visible && first <= 249) {
        GroupPixels(static_cast<std::uint32_t>(first - 1));
        if (overflowDot >= first && overflowDot < first + 8) {
            status |= StatusOverflow;
        }
        if (first == 249 && lineDrawer) {
            lineDrawer->DrawColours(static_cast<std::uint32_t>(scanline), lineColours.data());
        }
    }
    dot = first + 8;
}

// A sprite slot of a rendered line, dots 257 + 8s to 264 + 8s: two name-table fetches nobody uses
// (A12 low), the pattern's two planes, and after the last slot the coming line's sprite pixels. The
// first slot also takes the last background tile and copies t's horizontal bits into v; the
// pre-render line copies its vertical bits at dots 280-304, the same copy at each dot.
template <bool A12>
void Ppu::SpriteSlot(Mmc& mmc) {
    const std::int32_t first = dot;
    const std::uint64_t clock = dotClock;
    const auto slot = static_cast<std::uint32_t>((first - 257) >> 3);
    if (first == 257) {
        LoadTile();
        vramAddress = (vramAddress & ~0x041Fu) | (tempAddress & 0x041F);
    }
    oamAddress = 0;
    if (scanline == linesPerFrame - 1 && first + 7 >= 280 && first <= 304) {
        vramAddress = (vramAddress & ~0x7BE0u) | (tempAddress & 0x7BE0);
    }
    const std::uint32_t address = SpriteAddress(slot);
    if constexpr (A12) {
        // The name-table fetch of the slot's first dot: the second one finds A12 as it left it.
        dotClock = clock + 1;
        TrackA12(0x2000, mmc);
        dotClock = clock + 5;
        TrackA12(address, mmc);
    }
    StoreSpritePlane(slot, false, ReadVram(address));
    if constexpr (A12) {
        dotClock = clock + 7;
        TrackA12(address + 8, mmc);
    }
    StoreSpritePlane(slot, true, ReadVram(address + 8));
    dotClock = clock + 8;
    dot = first + 8;
    if (first == 313) {
        LaySpriteLine();
    }
}

void Ppu::RunDots(std::int32_t count) {
    Mmc& mmc = *process->mmc;
    const std::int32_t preRender = linesPerFrame - 1;
    while (count > 0) {
        // Dots that do nothing but pass, up to (not including) the one that ends the line.
        std::int32_t idle = 0;
        if (scanline >= VisibleLines && scanline < preRender) {
            // Vertical blank and the post-render line: only the VBlank flag's dot and the line's end.
            if (dot < LastDot && !(scanline == vblankLine && dot <= 1)) {
                idle = LastDot - dot;
            }
        } else if (RenderingEnabled()) {
            // The board's hooks (attribute, pattern fetch and phase) leave the line to RunDot.
            const bool hooks = mmc.patternFetchHook || mmc.attributeHook || mmc.patternPhaseHook;
            if (count >= 8 && !hooks) {
                const bool visible = scanline < VisibleLines;
                if ((dot & 7) == 1 && (dot <= 249 || dot == 321 || dot == 329) && (visible || dot != 1)) {
                    if (mmc.a12Hook) {
                        visible ? TileGroup<true, true>(mmc) : TileGroup<true, false>(mmc);
                    } else {
                        visible ? TileGroup<false, true>(mmc) : TileGroup<false, false>(mmc);
                    }
                    count -= 8;
                    continue;
                }
                if (dot >= 257 && dot <= 313 && ((dot - 257) & 7) == 0) {
                    mmc.a12Hook ? SpriteSlot<true>(mmc) : SpriteSlot<false>(mmc);
                    count -= 8;
                    continue;
                }
            }
        } else if (scanline < VisibleLines) {
            if (dot >= 1 && dot <= 256) {
                // The backdrop, or the palette entry the VRAM address points at.
                const std::int32_t run = std::min(count, 257 - dot);
                const std::uint32_t at = (vramAddress & 0x3F00) == 0x3F00 ? PaletteIndex(vramAddress) : 0;
                const auto colour =
                    static_cast<std::uint8_t>(paletteRam[at] & ((mask & MaskGrayscale) ? 0x30 : 0x3F));
                std::fill_n(lineColours.begin() + (dot - 1), run, colour);
                if (dot + run == 257 && lineDrawer) {
                    lineDrawer->DrawColours(static_cast<std::uint32_t>(scanline), lineColours.data());
                }
                dot += run;
                dotClock += static_cast<std::uint64_t>(run);
                count -= run;
                continue;
            }
            if (dot >= 257 && dot < LastDot) {
                idle = LastDot - dot;
            }
        } else if (dot >= 2 && dot < SkipCheckDot) {
            // The pre-render line with rendering off: dot 1 clears the flags, dot 338 the skip.
            idle = SkipCheckDot - dot;
        }
        if (idle == 0) {
            StepDot();
            --count;
            continue;
        }
        idle = std::min(idle, count);
        dot += idle;
        dotClock += static_cast<std::uint64_t>(idle);
        count -= idle;
    }
}

// How many dots the PPU may run before one the processor could see: the VBlank flag's set (and
// NMI) and its clear, the frame's end, every line's end for a board that counts lines (its IRQ),
// and for a board that counts A12 each line's end and the first rise that could raise its IRQ.
std::int32_t Ppu::DotsToEvent() const {
    const std::int32_t preRender = linesPerFrame - 1;
    if ((scanline == vblankLine || scanline == preRender) && dot <= 1) {
        return 2 - dot;
    }
    constexpr std::int32_t LineDots = LastDot + 1;
    const std::int32_t toLineEnd = LineDots - dot;
    std::int32_t dots;
    if (scanline >= vblankLine && scanline < preRender) {
        // Through dot 1 of the pre-render line, which clears the flag.
        dots = toLineEnd + (preRender - 1 - scanline) * LineDots + 2;
    } else if (scanline == preRender) {
        // To the frame's end, a dot sooner in case line 0 starts at dot 1.
        dots = toLineEnd + vblankLine * LineDots - 1;
    } else {
        dots = toLineEnd + (vblankLine - 1 - scanline) * LineDots;
    }
    const Mmc& mmc = *process->mmc;
    if (mmc.scanlineHook && !mmc.a12Hook) {
        // The board counts lines and may raise its IRQ at any line's end.
        dots = std::min(dots, toLineEnd);
    }
    if (!mmc.a12Hook || !RenderingEnabled() || (scanline >= VisibleLines && scanline < preRender)) {
        // Without fetches A12 moves only for $2006 and $2007 accesses, after which the processor asks
        // again; rendering also starts only at a $2001 write.
        return dots;
    }
    const std::uint32_t rises = mmc.A12RisesToIrq();
    if (rises == 0) {
        return dots;
    }
    dots = std::min(dots, toLineEnd);
    // A rise is filtered unless A12 was low for 10 dots, so a line's fetches make few: with 8 x 8
    // sprites one (the first high pattern fetch after the sprites' or the background's), with
    // 8 x 16 sprites, whose tiles pick the table, up to four among the sprites; a background from
    // $1000 can add the first fetch of the pre-render line.
    const bool backgroundHigh = (bgPatternBase & 0x1000) != 0;
    const bool spritesHigh = spriteHeight == 16 || (spritePatternBase & 0x1000) != 0;
    const std::uint32_t mostInLine =
        (backgroundHigh ? 2u : 0u) + (spritesHigh ? (spriteHeight == 16 ? 4u : 1u) : 0u);
    if (rises > mostInLine) {
        return dots;
    }
    // Otherwise up to the first fetch that could raise A12 (a pattern fetch from $1000).
    std::int32_t at = LastDot + 1;
    if (backgroundHigh && dot <= 336) {
        at = dot <= 256 ? dot : std::max(dot, 325);
    }
    if (spritesHigh && dot <= 320) {
        at = std::min(at, std::max(dot, 261));
    }
    return std::min(at - dot + 1, dots);
}

// A $2007 access moves the VRAM address on: by 1 or 32, or while the PPU renders, by the coarse X and
// the Y increments of its own fetches at once. With rendering off the address is on the PPU's bus.
void Ppu::IncrementAfterAccess() {
    if (RenderingEnabled() && (scanline < VisibleLines || scanline == linesPerFrame - 1)) {
        vramAddress = CoarseXIncrement(vramAddress);
        VerticalIncrement();
        return;
    }
    vramAddress = (vramAddress + addressIncrement) & 0x7FFF;
    SetBusAddress(vramAddress);
}

// A $2007 read answers with the buffer as it stands and starts the PPU's fetch of the addressed byte,
// which reaches the buffer some dots later. A second read before then, on the next processor cycle
// (the dummy read of a page-crossing "LDA $20F7,X", or the reads a DMC DMA's halt repeats), still
// answers with the old byte, and its own fetch, one address further on, is what the buffer ends up
// holding: dmc_dma_during_read4's double_2007_read shows "22 44 55 66 77" for such a pair.
constexpr std::uint64_t BufferFetchDots = 6;

std::uint8_t Ppu::SettledReadBuffer() {
    if (bufferFetchPending && dotClock >= bufferFetchDue) {
        readBuffer = bufferFetch;
        bufferFetchPending = false;
    }
    return readBuffer;
}

void Ppu::FetchForReadBuffer(std::uint32_t address) {
    bufferFetch = ReadBus(address);
    bufferFetchDue = dotClock + BufferFetchDots;
    bufferFetchPending = true;
}

std::uint8_t Ppu::ReadRegisterExact(std::uint32_t address) {
    switch (address & 7) {
    case 2: {
        const auto result = static_cast<std::uint8_t>((status & 0xE0) | (DecayedLatch() & 0x1F));
        // A read one dot before the flag would be set reads it clear, and the flag stays clear for
        // this frame (no NMI either): ppu_vbl_nmi "vbl_set_time" and "suppression".
        if (scanline == vblankLine && dot == 1) {
            suppressVBlank = true;
        }
        status &= ~StatusVBlank;
        writeToggle = false;
        RefreshLatch(result, 0xE0);
        return result;
    }
    case 4: {
        std::uint8_t value = oam[oamAddress];
        if (RenderingEnabled() && scanline < VisibleLines && dot >= 1 && dot <= 64) {
            // Secondary OAM is being cleared: the bus reads $FF.
            value = 0xFF;
        } else if ((oamAddress & 3) == 2) {
            value &= 0xE3;
        }
        RefreshLatch(value, 0xFF);
        return value;
    }
    case 7: {
        const std::uint32_t at = vramAddress & VramAddressMask;
        std::uint8_t result;
        if (at >= PaletteStart) {
            // Palette reads answer at once in the low 6 bits; the top two are the bus's. The buffer
            // takes the name-table byte underneath.
            result =
                static_cast<std::uint8_t>((paletteRam[PaletteIndex(at)] & 0x3F) | (DecayedLatch() & 0xC0));
            SettledReadBuffer();
            FetchForReadBuffer(at & 0x2FFF);
            RefreshLatch(result, 0x3F);
        } else {
            result = SettledReadBuffer();
            FetchForReadBuffer(at);
            RefreshLatch(result, 0xFF);
        }
        IncrementAfterAccess();
        return result;
    }
    default:
        return DecayedLatch();
    }
}

void Ppu::WriteRegisterExact(std::uint32_t address, std::uint8_t value) {
    RefreshLatch(value, 0xFF);
    switch (address & 7) {
    case 4:
        if (RenderingEnabled() && (scanline < VisibleLines || scanline == linesPerFrame - 1)) {
            // Writes during rendering are not stored; they only bump the address's upper six bits.
            oamAddress = static_cast<std::uint8_t>(oamAddress + 4);
        } else {
            WriteOam(oamAddress++, value);
        }
        break;
    case 6:
        WriteRegister(address, value);
        if (!writeToggle) {
            SetBusAddress(vramAddress);
        }
        break;
    case 7: {
        const std::uint32_t at = vramAddress & VramAddressMask;
        if (at >= PaletteStart) {
            paletteRam[PaletteIndex(at)] = value & 0x3F;
            WritePalette(at, value);
        } else {
            SetBusAddress(at);
            WriteVram(at, value);
        }
        IncrementAfterAccess();
        break;
    }
    default:
        WriteRegister(address, value);
        break;
    }
}

void Ppu::ExactState(StateIo& io) {
    io(frameEnded, suppressVBlank, skipDot, dotClock, frameCount).Bounded(dot, LastDot);
    io(nextName, nextAttr, nextLow, nextHigh).Array(lineBg);
    io.Array(secondaryOam).Bounded(secondaryCount, 8u);
    io(secondaryHasZero).Bounded(overflowDot, 256, -1);
    io.Array(spriteLine).Array(nextSpriteLine).Array(paletteRam).Array(latchRefreshed);
    io(a12High, a12FellAt);
    // States from before the fetch was kept have none under way.
    if (io.Loading()) {
        bufferFetchPending = false;
    }
    io(bufferFetchPending, bufferFetch, bufferFetchDue);
}

} // namespace Halvo::Nes
