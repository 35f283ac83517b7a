// The time-driven half of the PPU: one whole frame, line by line, in the order the hardware does it.

#include <algorithm>
#include <array>
#include <bit>

#include "nes/Cpu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"

// The steps of a line are forced inline into the frame loop: it makes tens of thousands of them a
// frame, and the mapper and renderer hooks are already calls enough.
#define HALVO_PPU_INLINE [[gnu::always_inline]] inline

namespace Halvo::Nes {

namespace {

// Background rows per line: as on the hardware 34 (TileSteps), of which fine scroll brings at most 33
// on screen. The processor runs a slice after each of the first 32.
constexpr std::int32_t OnScreenTiles = 32;
constexpr std::int32_t SpriteSlots = 8;
// The dot of the first vertical-blank line at which the NMI is raised.
constexpr std::int32_t NmiDot = 20;
// spriteZeroColumn when sprite 0 is not on the coming line.
constexpr std::int32_t NoColumn = 32;
// Bits of Ppu::validRows.
constexpr std::uint64_t RowBit(std::int32_t row) {
    return std::uint64_t{1} << row;
}
constexpr std::uint64_t RowBits(std::int32_t first, std::int32_t last) {
    return (std::uint64_t{2} << last) - (std::uint64_t{1} << first);
}
// What an unmapped page reads as.
constexpr std::array<std::uint8_t, 1u << Ppu::VramPageShift> ZeroPage{};

// An unmapped page of PPU memory reads as zeros.
HALVO_PPU_INLINE const std::uint8_t* PageOrZeros(const std::uint8_t* page) {
    return page ? page : ZeroPage.data();
}

// The two bit planes of a pattern row, 8 bytes apart: the low plane in bits 0-7, the high in 8-15.
HALVO_PPU_INLINE std::uint32_t PatternRow(const std::uint8_t* row) {
    return row[0] | static_cast<std::uint32_t>(row[8]) << 8;
}

// A row's 16 pattern bits as 8 opacity bits, bit 7 the leftmost pixel.
constexpr std::uint32_t Opacity(std::uint32_t pattern) {
    return ((pattern >> 8) | pattern) & 0xFF;
}

// Shifts an 8-bit row; a shift of 8 or more leaves nothing of it.
constexpr std::uint32_t ShiftRow(std::uint32_t row, std::int32_t left) {
    if (left >= 8 || left <= -8) {
        return 0;
    }
    return left >= 0 ? (row << left) & 0xFF : row >> -left;
}

constexpr std::uint32_t MirrorRow(std::uint32_t row) {
    row = (row & 0xF0) >> 4 | (row & 0x0F) << 4;
    row = (row & 0xCC) >> 2 | (row & 0x33) << 2;
    return (row & 0xAA) >> 1 | (row & 0x55) << 1;
}

} // namespace

// The machine's time moves on by the new line's dots; the slices given to Execute then spend them.
HALVO_PPU_INLINE void Ppu::StartLine(Cpu&) const {
    process->StartLine(dotsPerLine);
}

// Fetches rows first..last of the line, one tile each, from the address v (moved on by one tile a row;
// past coarse X 31 into the horizontally adjacent name table). Row k's record starts at screen x
// 8k - fine X. Its tile number is the name-table byte at v; its palette is the quarter of the
// attribute byte that covers the tile: the byte for tiles 4n..4n + 3 of a group of four rows is byte n
// of the 8 at $3C0 + (coarse Y / 4) x 8, and the tile's 2 x 2 quarter picks two of its bits at
// (coarse Y AND 2) x 2 + (coarse X AND 2). Its pattern is the tile's row at fine Y. A line that is not
// drawn needs no attribute.
//
// With `Hooks` the board hears each name-table address before the tile's reads (and may supply the
// attribute itself) and each pattern address before the pattern read; a hook may switch banks, so
// the pages are looked up again after it. Without hooks nothing runs between the fetches, so the pages
// are looked up once per name table the line passes through.
template <bool Drawn, bool Hooks>
HALVO_PPU_INLINE void Ppu::FetchRows(std::int32_t first, std::int32_t last, Mmc& mmc) {
    std::uint32_t v = vramAddress;
    const std::int32_t left = -static_cast<std::int32_t>(fineX);
    const auto y = static_cast<std::uint32_t>(scanline);
    if (!(mask & MaskBackground)) {
        for (std::int32_t k = first; k <= last; ++k) {
            tileRows[k].x = left + 8 * k;
            tileRows[k].y = y;
        }
        validRows &= ~RowBits(first, last);
        // Sprite rendering alone still walks the address along the line.
        if (mask & MaskSprites) {
            for (std::int32_t k = first; k <= last; ++k) {
                v = CoarseXIncrement(v);
            }
        }
        vramAddress = v;
        return;
    }
    const std::uint32_t patternTable = bgPatternBase >> VramPageShift;
    std::array<const std::uint8_t*, 4> patternPages;
    for (std::uint32_t page = 0; page < 4; ++page) {
        patternPages[page] = PageOrZeros(vramPages[patternTable + page]);
    }
    const std::uint32_t fineY = (v >> 12) & 7;
    for (std::int32_t k = first; k <= last;) {
        const std::uint32_t nameTable = 8 + ((v >> 10) & 3);
        const std::uint8_t* names = PageOrZeros(vramPages[nameTable]);
        const std::uint32_t coarseX = v & 0x1F;
        const std::int32_t count = std::min(last - k + 1, static_cast<std::int32_t>(32 - coarseX));
        const std::uint32_t tileRow = v & 0x03E0;
        const std::uint32_t attributeRow = 0x3C0 + ((v >> 4) & 0x38);
        const std::uint32_t quarterY = (v >> 4) & 4;
        for (std::uint32_t column = coarseX; column < coarseX + static_cast<std::uint32_t>(count);
             ++column, ++k) {
            std::uint32_t attribute = 0;
            if constexpr (Hooks) {
                if (mmc.attributeHook) {
                    attribute = mmc.GetAttribute(
                        static_cast<std::uint16_t>(nameTable << VramPageShift | tileRow | column));
                }
                names = PageOrZeros(vramPages[nameTable]);
            }
            // A board's own attribute (non-zero) stands as it is.
            if constexpr (Drawn) {
                if (attribute == 0) {
                    attribute = names[attributeRow + (column >> 2)] >> (quarterY | (column & 2));
                }
            }
            const std::uint32_t offset = 16 * names[tileRow + column] + fineY;
            const std::uint32_t page = offset >> VramPageShift;
            if constexpr (Hooks) {
                if (mmc.patternFetchHook) {
                    mmc.OnPatternFetch(static_cast<std::uint16_t>(bgPatternBase + offset));
                }
                patternPages[page] = PageOrZeros(vramPages[patternTable + page]);
            }
            tileRows[k] = {left + 8 * k, y, attribute,
                           PatternRow(patternPages[page] + (offset & VramPageMask))};
        }
        v = coarseX + static_cast<std::uint32_t>(count) == 32 ? (v & ~0x1Fu) ^ 0x0400 : v + count;
    }
    validRows |= RowBits(first, last);
    vramAddress = v;
}

// Fetches first..last of the line.
template <bool Drawn>
HALVO_PPU_INLINE void Ppu::FetchTileRows(std::int32_t first, std::int32_t last, Mmc& mmc) {
    if (mmc.attributeHook || mmc.patternFetchHook) {
        FetchRows<Drawn, true>(first, last, mmc);
    } else {
        FetchRows<Drawn, false>(first, last, mmc);
    }
}

// Finds at most one more sprite on the coming line (`scanline`); once eight are found, the scan goes on
// only to find a ninth, which sets the overflow flag.
HALVO_PPU_INLINE void Ppu::EvaluateSprite(Mmc& mmc) {
    // The PPU evaluates sprites whenever it renders, even with sprites hidden: the overflow flag and
    // the pattern fetches a board may watch happen all the same. Once the scan has passed the last
    // entry, the remaining steps of the line have nothing to do.
    if (!RenderingEnabled() || oamScan >= OamSize) {
        return;
    }
    if (spriteLinesStale) {
        MakeSpriteLines();
    }
    // The entries from the scan position on that are on the line.
    const std::uint32_t next = oamScan / 4;
    std::uint64_t entries = next < 64 && scanline <= VisibleLines
                                ? spriteLines[static_cast<std::size_t>(scanline)] >> next << next
                                : 0;
    // Sprites are drawn one line below their y.
    const std::int32_t line = scanline - 1;
    while (entries != 0) {
        const std::uint8_t* entry = &oam[4 * static_cast<std::uint32_t>(std::countr_zero(entries))];
        entries &= entries - 1;
        oamScan = static_cast<std::uint32_t>(entry - oam.data()) + 4;
        if (spriteCount == SpriteSlots) {
            status |= StatusOverflow;
            return;
        }
        auto row = static_cast<std::uint32_t>(line - entry[0]);
        const std::uint32_t tile = entry[1];
        const std::uint32_t attribute = entry[2];
        std::uint32_t patternAddress;
        std::uint32_t flipBase;
        if (spriteHeight == 16) {
            // 8x16 sprites choose their pattern table with the tile's bit 0, not with $2000.
            patternAddress = (tile & 1) * 0x1000 + (tile & 0xFE) * 16;
            flipBase = 23;
        } else {
            patternAddress = tile * 16 + spritePatternBase;
            flipBase = 7;
        }
        if (row > 7) {
            row += 8; // the lower tile of a tall sprite, 16 bytes on
        }
        patternAddress += (attribute & 0x80) ? flipBase - row : row;
        if (mmc.patternFetchHook) {
            mmc.OnPatternFetch(static_cast<std::uint16_t>(patternAddress));
        }
        const std::uint32_t pattern =
            ReadVram(patternAddress) | static_cast<std::uint32_t>(ReadVram(patternAddress + 8)) << 8;
        if (entry == oam.data()) {
            spriteZeroSlot = 0;
            // The background rows the sprite meets: with fine scroll they start fineX dots early.
            spriteZeroColumn = (entry[3] + fineX) / 8;
        }
        sprites[spriteCount] = {entry[3], static_cast<std::uint32_t>(scanline), attribute, pattern};
        if (++spriteCount < SpriteSlots) {
            return;
        }
    }
    oamScan = OamSize;
}

// Sprite 0 against one background row: the first screen x where both have an opaque pixel becomes a
// pending hit, timed to that pixel's dot. The priority bit does not matter, as on the hardware. No hit
// happens where either layer is clipped in the leftmost 8 pixels, at x 255, or past the right edge.
void Ppu::CheckSpriteZero(const Gfx::TileRecord& background, const Cpu& cpu) {
    if (!(mask & MaskSprites)) {
        return;
    }
    const Gfx::TileRecord& sprite = sprites[static_cast<std::size_t>(spriteZeroSlot)];
    const std::uint32_t bg = ShiftRow(Opacity(background.pattern), sprite.x - background.x);
    std::uint32_t sp = Opacity(sprite.pattern);
    if (sprite.attribute & 0x40) {
        sp = MirrorRow(sp);
    }
    constexpr std::uint8_t BothLeft = MaskBackgroundLeft | MaskSpritesLeft;
    const std::int32_t firstX = (mask & BothLeft) == BothLeft ? 0 : 8;
    std::uint32_t hittable = 0;
    for (std::int32_t pixel = 0; pixel < 8; ++pixel) {
        const std::int32_t x = sprite.x + pixel;
        if (x >= firstX && x <= 254) {
            hittable |= 0x80u >> pixel;
        }
    }
    const std::uint32_t both = bg & sp & hittable;
    if (both == 0) {
        return;
    }
    const std::int32_t hitX = sprite.x + std::countl_zero(static_cast<std::uint8_t>(both));
    // The counter value hitX + 1 dots into the line.
    spriteZeroTime = cpu.lineStart - hitX - 1;
    spriteZeroPending = true;
}

HALVO_PPU_INLINE void Ppu::EndLine() {
    oamScan = 0;
    spriteCount = 0;
    spriteZeroSlot = -1;
    spriteZeroColumn = NoColumn;
    if (spriteZeroPending) {
        status |= StatusSpriteZeroHit;
        spriteZeroPending = false;
    }
    if (++scanline == linesPerFrame) {
        scanline = 0;
    }
    if (RenderingEnabled()) {
        VerticalIncrement();
    }
}

// Deferred steps ------------------------------------------------------------------------------------
//
// A line that fetches tiles (the pre-render line and lines 0-239) interleaves the PPU's steps and the
// processor's slices at 8-dot granularity. Its 341 dots (340 on the short pre-render line):
//
//   dots   0-255   tile steps 0-31: step k stands for dots 8k-8k+7; it tests sprite 0 against row k
//                  where sprite 0 may meet it, draws row k and fetches row k + 2; the processor's
//                  8-dot slice k follows it.
//   dot    256     tile steps 32 and 33: the two rows fine scroll can bring in on the right are drawn;
//                  nothing is fetched. Then, not deferred: EndLine, the scroll reload and the board's
//                  OnScanline.
//   dots 256-319   horizontal-blank steps 0-7: one sprite evaluation each, each followed by an 8-dot
//                  slice.
//   dots 320-327   step 8: row 0 of the next line is fetched; an 8-dot slice.
//   dots 328-340   step 9: row 1; the last slice, 13 dots (12 on the short line).
//
// Calling the processor 42 times a line would cost more than the steps themselves, and most slices are
// shorter than one instruction. So each stretch (the tile steps, then the horizontal-blank steps) gives
// the processor all of its slices in one RunSlice, and its steps wait: `pending` names the stretch,
// `pendingTarget` is the processor's `target` when the stretch began and `pendingNext` the first step
// not yet run. The processor's `counter` says how far into the stretch its current instruction is: in
// slice j = (pendingTarget - counter) / 8. Every access of the processor that can see the PPU or be
// seen by it (a PPU register, sprite DMA, a board register) calls CatchUp first, which runs the steps up
// to j; when the slices are spent, the rest run. Nothing else an instruction does can reach the PPU,
// so each instruction finds the PPU exactly as the step-by-step interleave would have left it.

// Steps first..last of the current line. Step k draws row k (after the sprite-0 test where sprite 0
// may meet it) and fetches row k + 2. A fetch changes nothing that a draw or a sprite-0 test reads and
// the other way round, and the processor does not run in between, so the fetches of the steps go first,
// each kind in a loop of its own.
void Ppu::RunTileStepsTo(std::int32_t last) {
    const std::int32_t first = pendingNext;
    if (first > last) {
        return;
    }
    pendingNext = last + 1;
    Mmc& mmc = *process->mmc;
    const std::int32_t lastFetch = std::min(last + 2, TileSteps - 1);
    if (lineDrawer) {
        FetchTileRows<true>(first + 2, lastFetch, mmc);
    } else {
        FetchTileRows<false>(first + 2, lastFetch, mmc);
    }
    // Sprite 0 can only meet the rows of the two columns it spans; on the pre-render line and lines
    // without it, `lineColumn` is 32 and the slot -1.
    for (const std::int32_t column : {lineColumn, lineColumn + 1}) {
        if (column >= first && column <= last && (validRows & RowBit(column)) && !spriteZeroPending &&
            spriteZeroSlot != -1) {
            CheckSpriteZero(tileRows[column], *process->cpu);
        }
    }
    if (lineDrawer) {
        // Runs of valid rows go to the renderer in one call.
        for (std::int32_t k = first; k <= last;) {
            if (!(validRows & RowBit(k))) {
                lineDrawer->DrawBackdrop(tileRows[k]);
                ++k;
                continue;
            }
            const std::int32_t end = std::min(last + 1, k + std::countr_one(validRows >> k));
            lineDrawer->DrawTiles(&tileRows[k], static_cast<std::size_t>(end - k));
            k = end;
        }
    }
}

// Steps 0-7 of the horizontal blank evaluate the sprites of the next line; steps 8 and 9 fetch its
// first two rows.
void Ppu::RunHBlankStepsTo(std::int32_t last) {
    Mmc& mmc = *process->mmc;
    if (mmc.patternPhaseHook && pendingNext <= last && pendingNext < SpriteSlots) [[unlikely]] {
        mmc.OnPatternPhase(true);
    }
    for (; pendingNext <= last && pendingNext < SpriteSlots; ++pendingNext) {
        EvaluateSprite(mmc);
    }
    if (pendingNext <= last) {
        if (mmc.patternPhaseHook && pendingNext == SpriteSlots) [[unlikely]] {
            mmc.OnPatternPhase(false);
        }
        FetchTileRows<true>(pendingNext - SpriteSlots, last - SpriteSlots, mmc);
        pendingNext = last + 1;
    }
}

// Runs the deferred steps up to the slice of the processor's current instruction: slice j began
// once the processor's counter had fallen j x 8 dots below `pendingTarget` (the last slice of each
// stretch is longer and is capped).
void Ppu::CatchUpSteps() {
    const std::int32_t elapsed = pendingTarget - process->cpu->counter;
    const std::int32_t slice = elapsed > 0 ? elapsed / dotsPerFetch : 0;
    if (pending == PendingSteps::Tiles) {
        RunTileStepsTo(std::min(slice, OnScreenTiles - 1));
    } else {
        RunHBlankStepsTo(std::min(slice, SpriteSlots + 1));
    }
}

// Dots 0-255 of a line that fetches tiles: the 34 tile steps with the processor's 32 slices of 8 dots
// after the first 32 of them.
HALVO_PPU_INLINE void Ppu::TileLine(Gfx::NesRenderer* drawer) {
    Cpu& cpu = *process->cpu;
    lineDrawer = drawer;
    lineColumn = spriteZeroColumn;
    pending = PendingSteps::Tiles;
    pendingTarget = cpu.target;
    pendingNext = 0;
    cpu.RunSlice(OnScreenTiles * dotsPerFetch);
    RunTileStepsTo(TileSteps - 1);
    pending = PendingSteps::None;
}

// The horizontal blank of the pre-render and visible lines (dots 256-340): the address moves to the
// next line, the sprites of the next line are evaluated and its first two tiles fetched, with the
// processor's slices of 8 x 8, 8 and 13 dots between the steps.
HALVO_PPU_INLINE void Ppu::HBlank(Cpu& cpu, Mmc& mmc) {
    EndLine();
    if (RenderingEnabled()) {
        if (scanline == 0) {
            vramAddress = tempAddress; // the frame starts at the scroll position
        } else {
            vramAddress = (vramAddress & 0xFBE0) | (tempAddress & 0x041F);
        }
    }
    mmc.OnScanline();
    pending = PendingSteps::HBlank;
    pendingTarget = cpu.target;
    pendingNext = 0;
    cpu.RunSlice(SpriteSlots * dotsPerFetch + dotsPerFetch + lineTailDots + dotsPerFetch);
    RunHBlankStepsTo(SpriteSlots + 1);
    pending = PendingSteps::None;
}

void Ppu::RunFrame(bool render) {
    Cpu& cpu = *process->cpu;
    Mmc& mmc = *process->mmc;

    // Line 241 (291 on a Dendy): vertical blank begins; the NMI comes 20 dots in.
    status |= StatusVBlank;
    mmc.OnVBlank();
    StartLine(cpu);
    cpu.RunSlice(NmiDot);
    if (control & ControlNmi) {
        cpu.Interrupt(Cpu::NmiVector);
    }
    cpu.RunSlice(visibleDots - NmiDot);
    if (++scanline == linesPerFrame) {
        scanline = 0;
    }
    mmc.OnScanline();
    cpu.RunSlice(hblankDots);

    // From there up to the pre-render line: the rest of vertical blank.
    while (scanline < linesPerFrame - 1) {
        StartLine(cpu);
        cpu.RunSlice(visibleDots);
        ++scanline;
        mmc.OnScanline();
        cpu.RunSlice(hblankDots);
    }

    // Pre-render line: flags cleared, every second frame one dot shorter, the fetches of a visible line
    // without drawing. The overflow flag, once set, lasts until here, as games read it in vertical blank.
    status &= ~(StatusVBlank | StatusSpriteZeroHit | StatusOverflow);
    spriteZeroPending = false;
    if (oddFrame) {
        dotsPerLine -= oddFrameDots;
        hblankDots -= oddFrameDots;
        lineTailDots -= oddFrameDots;
    }
    validRows &= ~RowBits(0, 1);
    spriteZeroColumn = NoColumn;
    spriteZeroSlot = -1;
    StartLine(cpu);
    TileLine(nullptr);
    HBlank(cpu, mmc);
    if (oddFrame) {
        dotsPerLine += oddFrameDots;
        hblankDots += oddFrameDots;
        lineTailDots += oddFrameDots;
    }
    oddFrame = !oddFrame;
    if (render && canvas) {
        renderer = canvas->BeginFrame();
    }

    // Lines 0-239, 8 dots per tile step. Sprite 0 can only meet the rows of the two columns it spans.
    Gfx::NesRenderer* drawer = render ? renderer.Get() : nullptr;
    while (scanline < VisibleLines) {
        StartLine(cpu);
        TileLine(drawer);
        if (drawer) {
            if (!(mask & MaskBackgroundLeft)) {
                drawer->ClearLeftColumn(static_cast<std::uint32_t>(scanline));
            }
            if (mask & MaskSprites) {
                for (std::uint32_t slot = 0; slot < spriteCount; ++slot) {
                    drawer->DrawSprite(sprites[slot]);
                }
            }
        }
        HBlank(cpu, mmc);
    }

    if (canvas) {
        canvas->EndFrame();
    }
    renderer = nullptr;

    // Line 240 (240-290 on a Dendy): post-render, idle.
    while (scanline < vblankLine) {
        StartLine(cpu);
        cpu.RunSlice(visibleDots);
        ++scanline;
        mmc.OnScanline();
        cpu.RunSlice(hblankDots);
    }
}

} // namespace Halvo::Nes

#undef HALVO_PPU_INLINE
