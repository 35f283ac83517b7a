#include "nes/Ppu.h"

#include <algorithm>

#include "console/ReportedCreate.h"
#include "gfx/NesColors.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::int32_t NtscLines = 262;
constexpr std::int32_t PalLines = 312;

} // namespace

Ref::Ptr<Ppu> Ppu::Create(Process* process) {
    return Console::CreateOrReport("Halvo::Nes::Ppu::Create", __LINE__, "Could not create Nes::Ppu object--",
                                   "Could not create Nes::Ppu object--unknown exception.",
                                   [process] { return Ref::Ptr<Ppu>(Ref::New<Ppu>(process)); });
}

Ppu::Ppu(Process* process) : process(process) {}

void Ppu::Reset(bool hard) {
    if (hard) {
        oam.fill(0);
        palette.fill(0);
        paletteRam.fill(0);
        dotClock = 0;
        frameCount = 0;
        latchRefreshed.fill(0);
    }
    dot = 0;
    frameEnded = false;
    suppressVBlank = false;
    secondaryCount = 0;
    secondaryHasZero = false;
    overflowDot = -1;
    spriteLine.fill(0);
    nextSpriteLine.fill(0);
    spriteLinesStale = true;
    // A machine put together without a cartridge (only in tests) runs as NTSC.
    SetTvSystem(process->EffectiveRegion());
    control = 0;
    // Left columns shown, rendering off.
    mask = MaskBackgroundLeft | MaskSpritesLeft;
    status = 0;
    oamAddress = 0;
    readBuffer = 0;
    bufferFetchPending = false;
    writeToggle = false;
    fineX = 0;
    spriteZeroPending = false;
    spriteZeroTime = 0;
    addressIncrement = 1;
    spritePatternBase = 0;
    bgPatternBase = 0;
    spriteHeight = 8;
    vramAddress = 0x2000;
    tempAddress = 0x2000;
    // Every frame begins where vertical blank is about to start.
    scanline = vblankLine;
    // The canvas draws with the mask the reset left (its clipping and colour mode), not with the one
    // before it: otherwise a frame drawn before the game's first $2001 write differed from the same
    // frame after a state load.
    UpdateCanvasState(true);
}

void Ppu::SetTvSystem(Region region) {
    linesPerFrame = region == Region::Ntsc ? NtscLines : PalLines;
    vblankLine = region == Region::Dendy ? VisibleLines + 51 : VisibleLines + 1;
    dotsPerLine = 341;
    visibleDots = 256;
    hblankDots = 85;
    dotsPerFetch = 8;
    lineTailDots = 5;
    // The NTSC PPU skips a dot of every second pre-render line; the Dendy's PAL-clocked PPU does not.
    oddFrameDots = region == Region::Dendy ? 0 : 1;
    // 512 CPU cycles.
    dmaDots = 1536;
}

void Ppu::SetCanvas(const Ref::Ptr<Gfx::NesCanvas>& newCanvas) {
    if (newCanvas == canvas) {
        return;
    }
    renderer = nullptr;
    canvas = newCanvas;
    if (canvas) {
        UpdateCanvasState(true);
    }
}

void Ppu::UpdateCanvasState(bool force) {
    if (!canvas) {
        return;
    }
    Gfx::NesCanvas& target = *canvas;
    target.bgClipWidth = (mask & MaskBackgroundLeft) ? 0 : 8;
    target.spriteClipWidth = (mask & MaskSpritesLeft) ? 0 : 8;
    const std::uint8_t colourMode = (mask & MaskGrayscale) ? 0 : 1;
    const std::uint32_t emphasis = mask >> 5;
    if (colourMode != target.colourMode || emphasis != target.emphasis) {
        target.colourMode = colourMode;
        target.emphasis = emphasis;
        Gfx::GenerateNesColors(target);
    } else if (!force) {
        return;
    }
    // The canvas's palette map holds copies of colours, so new colours need the entries sent again.
    for (std::uint32_t entry = 0; entry < palette.size(); ++entry) {
        target.SetPaletteEntry(entry, palette[entry]);
    }
}

std::uint8_t Ppu::ReadRegister(std::uint32_t address) {
    CatchUp();
    switch (address & 7) {
    case 2: {
        // A hit found earlier on this line shows once the processor has reached its dot.
        if (spriteZeroPending && process->cpu->counter <= spriteZeroTime) {
            status |= StatusSpriteZeroHit;
            spriteZeroPending = false;
        }
        const std::uint8_t result = (status & 0xF0) | (latch & 0x0F);
        status &= ~StatusVBlank;
        writeToggle = false;
        return result;
    }
    case 7: {
        const std::uint32_t at = vramAddress & VramAddressMask;
        vramAddress = (vramAddress + addressIncrement) & 0x7FFF;
        if (at >= PaletteStart) {
            // The palette sits inside the PPU and answers at once; the read buffer still takes the
            // name-table byte the address lines point at underneath ($2F00-$2FFF).
            latch = palette[at & 0x1F];
            readBuffer = ReadVram(at & 0x2FFF);
            return latch;
        }
        // Name and pattern tables answer one read late: the read returns what the previous one
        // fetched.
        const std::uint8_t result = readBuffer;
        readBuffer = ReadVram(at);
        latch = result;
        return result;
    }
    case 4: {
        // Sprite memory reads back at the OAM address, which does not move. Bits 2-4 of the attribute
        // bytes do not exist and read as 0.
        const std::uint8_t value = oam[oamAddress];
        latch = (oamAddress & 3) == 2 ? value & 0xE3 : value;
        return latch;
    }
    default:
        return latch;
    }
}

void Ppu::WriteRegister(std::uint32_t address, std::uint8_t value) {
    CatchUp();
    switch (address & 7) {
    case 0:
        control = value;
        addressIncrement = (value & ControlIncrement32) ? 32 : 1;
        spritePatternBase = (value & ControlSpriteTable) ? 0x1000 : 0;
        bgPatternBase = (value & ControlBackgroundTable) ? 0x1000 : 0;
        if (const std::uint32_t height = (value & ControlTallSprites) ? 16 : 8; height != spriteHeight) {
            spriteHeight = height;
            spriteLinesStale = true;
        }
        tempAddress = (tempAddress & 0xF3FF) | static_cast<std::uint32_t>(value & 3) << 10;
        break;
    case 1:
        mask = value;
        UpdateCanvasState(false);
        break;
    case 2:
        latch = value;
        break;
    case 3:
        oamAddress = value;
        break;
    case 4:
        WriteOam(oamAddress++, value);
        break;
    case 5:
        if (!writeToggle) {
            tempAddress = (tempAddress & 0xFFE0) | static_cast<std::uint32_t>(value >> 3);
            fineX = value & 7u;
        } else {
            tempAddress = (tempAddress & 0x8C1F) | static_cast<std::uint32_t>(value & 7) << 12 |
                          static_cast<std::uint32_t>(value & 0xF8) << 2;
        }
        writeToggle = !writeToggle;
        break;
    case 6:
        if (!writeToggle) {
            tempAddress = (tempAddress & 0x00FF) | static_cast<std::uint32_t>(value & 0x3F) << 8;
        } else {
            tempAddress = (tempAddress & 0xFF00) | value;
            vramAddress = tempAddress;
            process->mmc->OnVramAddress(static_cast<std::uint16_t>(vramAddress));
        }
        writeToggle = !writeToggle;
        break;
    default: {
        const std::uint32_t at = vramAddress & VramAddressMask;
        vramAddress = (vramAddress + addressIncrement) & 0x7FFF;
        if (at >= PaletteStart) {
            WritePalette(at, value);
        } else {
            WriteVram(at, value);
        }
        break;
    }
    }
}

void Ppu::WritePalette(std::uint32_t address, std::uint8_t value) {
    value &= 0x3F;
    if ((address & 0x0F) == 0) {
        // The backdrop ($3F00, and $3F10 which mirrors it) is colour 0 of all eight palettes, so the
        // renderer can take every colour as palette number x 4 + pixel value.
        for (std::uint32_t entry = 0; entry < palette.size(); entry += 4) {
            palette[entry] = value;
            if (canvas) {
                canvas->SetPaletteEntry(entry, value);
            }
        }
    } else if ((address & 3) != 0) {
        const std::uint32_t entry = address & 0x1F;
        palette[entry] = value;
        if (canvas) {
            canvas->SetPaletteEntry(entry, value);
        }
    }
    // Colour 0 of palettes 1-3 is never shown; writes to it are dropped.
}

std::int32_t Ppu::SpriteDma(std::uint8_t page) {
    CatchUp();
    const std::uint32_t source = static_cast<std::uint32_t>(page) << 8;
    // Each source byte is read once, as the processor would read it; a register page sees each read.
    std::array<std::uint8_t, OamSize> bytes;
    for (std::uint32_t i = 0; i < OamSize; ++i) {
        bytes[i] = process->CpuRead(source + i);
    }
    // The copy starts at the OAM address and wraps, ending where it began.
    for (std::uint32_t i = 0; i < OamSize; ++i) {
        oam[(oamAddress + i) & 0xFF] = bytes[i];
    }
    spriteLinesStale = true;
    return dmaDots;
}

void Ppu::WriteOam(std::uint32_t index, std::uint8_t value) {
    index &= 0xFF;
    if ((index & 3) == 0 && !spriteLinesStale) {
        const std::uint64_t bit = std::uint64_t{1} << (index / 4);
        ForSpriteLines(oam[index], [bit](std::uint64_t& lines) { lines &= ~bit; });
        ForSpriteLines(value, [bit](std::uint64_t& lines) { lines |= bit; });
    }
    oam[index] = value;
}

// A sprite shows one line below its y: on scanlines y + 1 to y + height.
template <class Change>
void Ppu::ForSpriteLines(std::uint8_t y, Change change) {
    const std::int32_t last = std::min(y + static_cast<std::int32_t>(spriteHeight), VisibleLines);
    for (std::int32_t line = y + 1; line <= last; ++line) {
        change(spriteLines[static_cast<std::size_t>(line)]);
    }
}

void Ppu::MakeSpriteLines() {
    spriteLines.fill(0);
    for (std::uint32_t sprite = 0; sprite < OamSize / 4; ++sprite) {
        const std::uint64_t bit = std::uint64_t{1} << sprite;
        ForSpriteLines(oam[4 * sprite], [bit](std::uint64_t& lines) { lines |= bit; });
    }
    spriteLinesStale = false;
}

} // namespace Halvo::Nes
