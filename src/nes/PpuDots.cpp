// The exact timing model's PPU: one dot at a time, as the 2C02 fetches, shifts and outputs.

#include <algorithm>

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

// Palette RAM's address: $3F10, $3F14, $3F18 and $3F1C are the same bytes as $3F00-$3F0C.
constexpr std::uint32_t PaletteIndex(std::uint32_t address) {
    const std::uint32_t index = address & 0x1F;
    return (index & 0x13) == 0x10 ? index & 0x0F : index;
}

} // namespace

[[gnu::always_inline]] inline void Ppu::SetBusAddress(std::uint32_t address) {
    Mmc& mmc = *process->mmc;
    if (!mmc.a12Hook) {
        return;
    }
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
        const bool used = slot < secondaryCount && scanline < VisibleLines;
        const std::uint8_t y = used ? secondaryOam[4 * slot] : 0xFF;
        const std::uint8_t tile = used ? secondaryOam[4 * slot + 1] : 0xFF;
        const std::uint8_t attribute = used ? secondaryOam[4 * slot + 2] : 0xFF;
        std::uint32_t row = (static_cast<std::uint32_t>(scanline) - y) & (spriteHeight - 1);
        if (attribute & 0x80) {
            row = spriteHeight - 1 - row;
        }
        std::uint32_t address;
        if (spriteHeight == 16) {
            address = (tile & 1u) * 0x1000 + 16u * (tile & 0xFEu) + (row & 8) * 2 + (row & 7);
        } else {
            address = spritePatternBase + 16u * tile + row;
        }
        if (phase == 6) {
            address += 8;
        }
        Mmc& mmc = *process->mmc;
        if (phase == 4 && mmc.patternFetchHook) {
            mmc.OnPatternFetch(static_cast<std::uint16_t>(address));
        }
        std::uint8_t plane = ReadBus(address);
        if (used) {
            if (attribute & 0x40) {
                plane = Reverse(plane);
            }
            Gfx::TileRecord& record = sprites[slot];
            if (phase == 4) {
                record.pattern = plane;
            } else {
                record.pattern |= static_cast<std::uint32_t>(plane) << 8;
            }
        }
    }
    if (dot != 320) {
        return;
    }
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
[[gnu::always_inline]] inline void Ppu::DotPixel() {
    const auto x = static_cast<std::uint32_t>(dot - 1);
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

[[gnu::always_inline]] inline void Ppu::RunDot() {
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
                DotPixel();
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
    if (!mmc.a12Hook) {
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

void Ppu::RunDots(std::int32_t count) {
    for (; count > 0; --count) {
        RunDot();
    }
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
            readBuffer = ReadBus(at & 0x2FFF);
            RefreshLatch(result, 0x3F);
        } else {
            result = readBuffer;
            readBuffer = ReadBus(at);
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
}

} // namespace Halvo::Nes
