#pragma once

#include <array>
#include <cstdint>

#include "gfx/NesCanvas.h"
#include "gfx/NesRenderer.h"
#include "nes/Region.h"
#include "ref/Object.h"

namespace Halvo::Nes {

class Cpu;
class Mmc;
class Process;
class StateIo;

namespace SaveState {
void MappingState(StateIo& io, Process& process);
} // namespace SaveState

// The picture processing unit: its eight registers at $2000-$2007, the VRAM address and scroll
// registers, palette RAM and sprite memory (OAM), its view of pattern and name-table memory through a
// page table, and the run of one whole frame, which also clocks the processor and the mapper.
//
// A frame is emulated a line at a time with tile granularity: on a rendered line the processor runs
// 8 dots between background tile fetches, so register writes take effect at the next 8-dot boundary,
// while the sprite-0 hit is timed to the dot against the processor's `counter`.
class Ppu : public Ref::Object {
public:
    static constexpr std::uint32_t VramPageCount = 16;
    static constexpr std::uint32_t VramPageShift = 10;
    static constexpr std::uint32_t VramPageMask = (1u << VramPageShift) - 1;
    static constexpr std::uint32_t VramAddressMask = 0x3FFF;
    static constexpr std::uint32_t PaletteStart = 0x3F00;
    static constexpr std::uint32_t OamSize = 256;
    static constexpr std::int32_t VisibleLines = 240;

    // $2000
    static constexpr std::uint8_t ControlIncrement32 = 0x04;
    static constexpr std::uint8_t ControlSpriteTable = 0x08;
    static constexpr std::uint8_t ControlBackgroundTable = 0x10;
    static constexpr std::uint8_t ControlTallSprites = 0x20;
    static constexpr std::uint8_t ControlNmi = 0x80;
    // $2001
    static constexpr std::uint8_t MaskGrayscale = 0x01;
    static constexpr std::uint8_t MaskBackgroundLeft = 0x02;
    static constexpr std::uint8_t MaskSpritesLeft = 0x04;
    static constexpr std::uint8_t MaskBackground = 0x08;
    static constexpr std::uint8_t MaskSprites = 0x10;
    static constexpr std::uint8_t MaskRendering = MaskBackground | MaskSprites;
    // $2002
    static constexpr std::uint8_t StatusOverflow = 0x20;
    static constexpr std::uint8_t StatusSpriteZeroHit = 0x40;
    static constexpr std::uint8_t StatusVBlank = 0x80;

    // A new PPU for the process, or null (with a report) when it cannot be made. Reset sets it up.
    static Ref::Ptr<Ppu> Create(Process* process);

    explicit Ppu(Process* process);
    Ppu(const Ppu&) = delete;
    Ppu& operator=(const Ppu&) = delete;

    // Both kinds pick the timing of the cartridge's television system and put the registers in their
    // power-up state with the frame about to enter vertical blank; a hard one also clears OAM and the
    // palette. The page table is the mapper's and stays as it is.
    void Reset(bool hard);
    // The line timing of a region: 262 lines a frame for NTSC, 312 for PAL and the Dendy, whose vertical
    // blank begins 51 lines after the picture instead of 1.
    void SetTvSystem(Region region);
    // Attaches the output surface (or detaches it with null) and hands it the palette and mask state.
    void SetCanvas(const Ref::Ptr<Gfx::NesCanvas>& newCanvas);
    // Brings the canvas's clip widths and colours in line with the mask register; the palette is sent
    // again when the colours were regenerated, or when `force` asks for it.
    void UpdateCanvasState(bool force);

    // The CPU's access to $2000-$3FFF: the register is the address AND 7.
    std::uint8_t ReadRegister(std::uint32_t address);
    void WriteRegister(std::uint32_t address, std::uint8_t value);
    // Copies the 256 bytes of CPU page `page` into OAM and returns the dots the processor is stalled.
    std::int32_t SpriteDma(std::uint8_t page);

    // Runs one frame, from the start of vertical blank to the end of the post-render line, giving the
    // processor its dots and the mapper its hooks; with `render` and a canvas, draws the picture.
    void RunFrame(bool render);

    // Runs the deferred steps of the current line that the processor's present instruction must see.
    // Every access of the processor that the PPU could observe or be observed by (its registers, sprite
    // DMA, the board's registers) calls it first.
    void CatchUp() {
        if (pending != PendingSteps::None) {
            CatchUpSteps();
        }
    }

    // The byte the PPU sees at an address: an unmapped page reads as 0. (The palette at $3F00 and up
    // is the PPU's own and is not reached through here.)
    std::uint8_t ReadVram(std::uint32_t address) const {
        address &= VramAddressMask;
        const std::uint8_t* data = vramPages[address >> VramPageShift];
        return data ? data[address & VramPageMask] : 0;
    }

    // A write through the data register: dropped on an unmapped page and on CHR-ROM.
    void WriteVram(std::uint32_t address, std::uint8_t value) {
        address &= VramAddressMask;
        const std::uint32_t page = address >> VramPageShift;
        if (vramPages[page] && !vramReadOnly[page]) {
            vramPages[page][address & VramPageMask] = value;
        }
    }

    bool RenderingEnabled() const { return (mask & MaskRendering) != 0; }

    // Saves or loads the registers, the memories and where the frame stands, between frames. The page
    // table is the board's and is saved with the mappings.
    void State(StateIo& io);

    // Writes OAM byte `index` (taken modulo 256). Outside the PPU's own registers and DMA, OAM is
    // written only through here.
    void WriteOam(std::uint32_t index, std::uint8_t value);

    // The exact timing model (PpuDots.cpp) ----------------------------------------------------------
    // The PPU runs one dot at a time, driven by the processor's cycles, and the processor reaches its
    // registers through the Exact functions. The frame runs from the start of vertical blank (line
    // 241, dot 0) to the end of the post-render line, as in the line model.
    void SetExact(bool on) { exact = on; }
    bool Exact() const { return exact; }
    // One dot, as the 2C02 runs it.
    void RunDot();
    // RunDot `count` times, whole tiles, sprite slots and idle stretches at once where it can.
    void RunDots(std::int32_t count);
    // The dots RunDots may be given before the first one whose effect the processor could see
    // without looking at the PPU's registers (at least 1): see PpuDots.cpp.
    std::int32_t DotsToEvent() const;
    // The PPU's /NMI output: the VBlank flag while $2000 enables the NMI.
    bool NmiOutput() const { return (status & control & StatusVBlank) != 0; }
    bool FrameEnded() const { return frameEnded; }
    // The dot of the line the exact model's PPU has reached.
    std::int32_t ExactDot() const { return dot; }
    void BeginExactFrame(bool render);
    void EndExactFrame();
    std::uint8_t ReadRegisterExact(std::uint32_t address);
    void WriteRegisterExact(std::uint32_t address, std::uint8_t value);
    // The exact model's own fields, saved apart.
    void ExactState(StateIo& io);

    Process* process;
    Ref::Ptr<Gfx::NesCanvas> canvas;
    // Held only while a rendered frame is being drawn.
    Ref::Ptr<Gfx::NesRenderer> renderer;

    // Timing, in PPU dots (3 per CPU cycle).
    std::int32_t dotsPerLine = 0;
    std::int32_t visibleDots = 0;
    std::int32_t hblankDots = 0;
    std::int32_t dotsPerFetch = 0;
    std::int32_t lineTailDots = 0;
    std::int32_t oddFrameDots = 0;
    std::int32_t dmaDots = 0;
    bool oddFrame = false;
    std::int32_t scanline = 0;
    std::int32_t linesPerFrame = 0;
    // The line whose start raises vertical blank: 241, after the one idle post-render line (291 on a Dendy).
    std::int32_t vblankLine = 241;

    // The background rows of the current line, one per tile step: step k draws row k and fetches row
    // k + 2; the horizontal blank before the line fetches rows 0 and 1. Bit k of `validRows` is clear
    // when the background was off as row k was fetched.
    static constexpr std::int32_t TileSteps = 34;
    std::uint64_t validRows = 0;
    std::array<Gfx::TileRecord, TileSteps> tileRows{};

    // Sprite evaluation for the coming line.
    std::uint32_t oamScan = 0;
    std::uint32_t spriteCount = 0;
    std::int32_t spriteZeroSlot = 0;   // index in `sprites`, -1 when sprite 0 is not on the line
    std::int32_t spriteZeroColumn = 0; // sprite 0's x / 8, 32 when it is not on the line
    std::array<Gfx::TileRecord, 8> sprites{};

    // Registers.
    std::uint8_t control = 0;
    std::uint8_t mask = 0;
    std::uint8_t status = 0;
    std::uint8_t oamAddress = 0;
    std::uint8_t latch = 0; // what reads of the write-only registers return
    std::uint8_t readBuffer = 0;
    bool writeToggle = false;
    // v and t: bits 0-4 coarse X, 5-9 coarse Y, 10-11 name table, 12-14 fine Y.
    std::uint32_t vramAddress = 0;
    std::uint32_t tempAddress = 0;
    std::uint32_t fineX = 0;
    std::uint32_t addressIncrement = 0;
    std::uint32_t spritePatternBase = 0;
    std::uint32_t bgPatternBase = 0;
    std::uint32_t spriteHeight = 0;

    // A sprite-0 hit found on the current line becomes visible in $2002 once the processor's
    // `counter` has come down to `spriteZeroTime`, and at the latest when the line ends.
    bool spriteZeroPending = false;
    std::int32_t spriteZeroTime = 0;

    // 6-bit NES colours: 0-15 background, 16-31 sprites. Entry 0 of every palette is the backdrop.
    std::array<std::uint8_t, 32> palette{};
    // 64 sprites of 4 bytes: y, tile, attribute, x. Read freely; written through WriteOam.
    std::array<std::uint8_t, OamSize> oam{};

    // Points one 1 KiB page of $0000-$3FFF at storage (null: nothing answers, reads give 0); a page
    // not writable ignores $2007 writes. Only the board base maps pages.
    void MapVramPage(std::uint32_t page, std::uint8_t* storage, bool writable) {
        vramPages[page] = storage;
        vramReadOnly[page] = !writable;
    }
    const std::uint8_t* VramPage(std::uint32_t page) const { return vramPages[page]; }

private:
    friend void SaveState::MappingState(StateIo& io, Process& process);

    // The page table: 1 KiB pages of $0000-$3FFF (0-7 pattern tables, 8-11 name tables, 12-15 their
    // mirror at $3000), null where nothing answers; read-only pages ignore $2007 writes.
    std::array<std::uint8_t*, VramPageCount> vramPages{};
    std::array<bool, VramPageCount> vramReadOnly{};

    // The exact model's state: where the frame stands, the background shifters and the latches that
    // feed them, the coming line's sprites, the PPU's own data bus (open bus) and its decay, the true
    // palette RAM (the line model keeps the backdrop copied into every palette's entry 0).
    bool exact = false;
    bool frameEnded = false;
    bool suppressVBlank = false;
    bool skipDot = false;
    bool drawExact = false;
    std::int32_t dot = 0;
    std::uint64_t dotClock = 0;
    std::uint32_t frameCount = 0;
    // The background pixels of the line by tile as the shifters hold them: colour (palette x 4 +
    // value), 0 where transparent; 34 tiles.
    std::array<std::uint8_t, 8 * TileSteps> lineBg{};
    std::uint8_t nextName = 0, nextAttr = 0, nextLow = 0, nextHigh = 0;
    std::array<std::uint8_t, 32> secondaryOam{};
    std::uint32_t secondaryCount = 0;
    bool secondaryHasZero = false;
    std::int32_t overflowDot = -1;
    // The coming line's sprite pixels by x: colour (palette x 4 + value, 16-31) in bits 0-4, 0 where no
    // sprite is opaque; bit 5 behind the background; bit 6 sprite 0.
    std::array<std::uint8_t, 256> spriteLine{};
    std::array<std::uint8_t, 256> nextSpriteLine{};
    std::array<std::uint8_t, 256> lineColours{};
    std::array<std::uint8_t, 32> paletteRam{};
    std::array<std::uint32_t, 8> latchRefreshed{};
    bool a12High = false;
    std::uint64_t a12FellAt = 0;
    // A $2007 read's fetch for the read buffer, which lands `BufferFetchDots` after the read.
    bool bufferFetchPending = false;
    std::uint8_t bufferFetch = 0;
    std::uint64_t bufferFetchDue = 0;

    // RunDot's body, inlined where the dots run.
    void StepDot();
    void DotFetch();
    void LoadTile();
    void DotPixel(std::uint32_t x);
    void GroupPixels(std::uint32_t x);
    void EvaluateSpritesExact();
    void FetchSpritesExact();
    std::uint32_t SpriteAddress(std::uint32_t slot) const;
    void StoreSpritePlane(std::uint32_t slot, bool high, std::uint8_t plane);
    void LaySpriteLine();
    template <bool A12, bool Visible>
    void TileGroup(Mmc& mmc);
    template <bool A12>
    void SpriteSlot(Mmc& mmc);
    void SetBusAddress(std::uint32_t address);
    void TrackA12(std::uint32_t address, Mmc& mmc);
    std::uint8_t ReadBus(std::uint32_t address);
    void RefreshLatch(std::uint8_t value, std::uint8_t bits);
    std::uint8_t DecayedLatch();
    void IncrementAfterAccess();
    std::uint8_t SettledReadBuffer();
    void FetchForReadBuffer(std::uint32_t address);

    // Bit n of spriteLines[s] is set when sprite n's y puts it on scanline s (0-240) at the present
    // sprite height, so that evaluating a line does not scan all of OAM. A write of one y moves its
    // sprite; a new height or a whole new OAM marks the table stale, and the next evaluation makes it
    // again.
    std::array<std::uint64_t, VisibleLines + 1> spriteLines{};
    bool spriteLinesStale = true;
    template <class Change>
    void ForSpriteLines(std::uint8_t y, Change change);
    void MakeSpriteLines();

    // The steps of a line that wait while the processor runs the slices between them, and which dots
    // each stands for: the "Deferred steps" section of PpuFrame.cpp.
    enum class PendingSteps : std::uint8_t { None, Tiles, HBlank };
    PendingSteps pending = PendingSteps::None;
    std::int32_t pendingTarget = 0; // the processor's target when the stretch's first slice began
    std::int32_t pendingNext = 0;   // the next step to run
    // How the tile steps of the line run: drawn by `lineDrawer` (null when the line is not drawn), with
    // sprite 0 met in columns `lineColumn` and the one after.
    Gfx::NesRenderer* lineDrawer = nullptr;
    std::int32_t lineColumn = 0;

    void CatchUpSteps();
    void RunTileStepsTo(std::int32_t last);
    void RunHBlankStepsTo(std::int32_t last);
    void TileLine(Gfx::NesRenderer* drawer);

    void StartLine(Cpu& cpu) const;
    // Past the right edge of a name table (coarse X 31): coarse X to 0 in the horizontally adjacent one.
    [[gnu::always_inline]] static std::uint32_t CoarseXIncrement(std::uint32_t v) {
        return (v & 0x1F) == 0x1F ? v ^ 0x041F : v + 1;
    }
    [[gnu::always_inline]] void VerticalIncrement() {
        if ((vramAddress & 0x7000) != 0x7000) {
            vramAddress += 0x1000;
            return;
        }
        vramAddress &= 0x8FFF;
        const std::uint32_t coarseY = vramAddress & 0x03E0;
        if (coarseY == 0x03A0) {
            // Row 29 is the last of a name table: on to row 0 of the vertically adjacent one.
            vramAddress = (vramAddress ^ 0x0800) & 0xFC1F;
        } else if (coarseY == 0x03E0) {
            // Row 31 (only reached by scrolling into the attribute bytes) wraps without switching tables.
            vramAddress &= 0xFC1F;
        } else {
            vramAddress += 0x20;
        }
    }
    template <bool Drawn, bool Hooks>
    void FetchRows(std::int32_t first, std::int32_t last, Mmc& mmc);
    template <bool Drawn>
    void FetchTileRows(std::int32_t first, std::int32_t last, Mmc& mmc);
    void EvaluateSprite(Mmc& mmc);
    void CheckSpriteZero(const Gfx::TileRecord& background, const Cpu& cpu);
    void EndLine();
    void HBlank(Cpu& cpu, Mmc& mmc);
    void WritePalette(std::uint32_t address, std::uint8_t value);
};

} // namespace Halvo::Nes
