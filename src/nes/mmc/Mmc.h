#pragma once

#include <cstdint>
#include <memory>

#include "nes/rom/RomImage.h"
#include "ref/Object.h"

namespace Halvo::Nes {

class ExpansionSound;
class Process;
class StateIo;

// The cartridge board: which PRG-ROM the CPU sees at $8000-$FFFF, which CHR memory the PPU sees at
// $0000-$1FFF, how the name tables map onto name-table RAM, and whether there is work RAM at
// $5000-$7FFF. Boards derive from it, keep their registers, and do all bank arithmetic through the
// primitives below.
class Mmc : public Ref::Object {
public:
    static constexpr std::uint32_t PrgPageSize = 8192;
    static constexpr std::uint32_t ChrPageSize = 1024;
    static constexpr std::uint32_t WramSize = 12288;
    static constexpr std::uint32_t ChrRamSize = 8192;
    static constexpr std::uint32_t NameTableRamSize = 4096;
    // The most cartridge RAM (work RAM or CHR-RAM) a header may ask for; no board banks more.
    static constexpr std::uint32_t MaxCartridgeRamSize = 1u << 20;

    explicit Mmc(Process* process);
    ~Mmc() override;
    Mmc(const Mmc&) = delete;
    Mmc& operator=(const Mmc&) = delete;

    // A hard reset clears work RAM, CHR-RAM and name-table RAM; both kinds map work RAM and CHR-RAM.
    // Boards override it, call it first, then map their banks.
    virtual void Reset(bool hard);
    // Every CPU write to $8000-$FFFF.
    virtual void WriteRegister(std::uint16_t address, std::uint8_t value);
    // Once per scanline, after the PPU has advanced its line number.
    virtual void OnScanline();
    // Once per frame, when vertical blank begins.
    virtual void OnVBlank();
    // After the second write to $2006, with the new VRAM address.
    virtual void OnVramAddress(std::uint16_t address);
    // Before every background and sprite pattern fetch of rendering, with the pattern address.
    virtual void OnPatternFetch(std::uint16_t address);
    // A non-zero result replaces the attribute of the tile whose name-table entry is at that address.
    virtual std::uint8_t GetAttribute(std::uint16_t nameTableAddress);
    // The exact timing model only: PPU A12 rose after it had been low long enough for a counter that
    // filters its short lows (MMC3's). Boards that count those rises set `a12Hook`; the exact PPU then
    // calls this instead of OnScanline.
    virtual void OnPpuA12Rise();
    // How many more filtered rises of A12 it takes before one of them can raise the board's IRQ, or 0
    // when none can; the exact PPU may run behind the processor until the rise that can. The base
    // answers 1: any rise may.
    virtual std::uint32_t A12RisesToIrq() const;
    // CPU writes below $8000 on the pages a board watches (WatchLowWrites); the base passes them on.
    virtual void WriteLow(std::uint16_t address, std::uint8_t value);
    // When the PPU turns from the background's pattern fetches to those of the coming line's sprites
    // (true) and back (false), for a board that gives the two different banks.
    virtual void OnPatternPhase(bool sprites);
    // The processor cycle at which a board whose IRQ counts cycles next raises its line, or
    // Apu::Never. The process asks only when the board calls Process::ScheduleBoardIrq (after a write
    // that changes the count) and after OnIrqCycle.
    virtual std::uint64_t NextIrqCycle();
    // The processor has reached the cycle NextIrqCycle named: the board brings its count to that cycle
    // and raises its line.
    virtual void OnIrqCycle(std::uint64_t cycle);
    // The board's own registers, saved or loaded in one list for both directions. The memories and
    // which banks are mapped where are saved for every board alike, so a board lists only what its
    // registers hold beyond that; one that installs its own CPU handlers puts them back when loading.
    virtual void StateRegisters(StateIo& io);

    // Saves or loads the cartridge memories, the mirroring and the board's registers.
    void State(StateIo& io);
    // A memory of the board's own, beyond work RAM, CHR-RAM and name-table RAM, that pages may show
    // (MMC5's extended RAM): number `index` from 0, or one of size 0 past the last. States save the
    // pages that show it as places in it; the board saves its contents with its registers.
    struct OwnMemory {
        std::uint8_t* data = nullptr;
        std::size_t size = 0;
        bool writable = false;
    };
    virtual OwnMemory StateMemory(std::uint32_t index);

    // 8 KiB PRG-ROM page `bank` (modulo the page count) into CPU slot 0-7 ($0000 + slot x $2000),
    // readable directly; writes go to WriteRegister.
    void MapPrg8k(std::uint32_t bank, std::uint32_t slot);
    // 16 KiB PRG-ROM bank `bank` into slots `slot` and `slot` + 1 (4 = $8000, 6 = $C000).
    void MapPrg16k(std::uint32_t bank, std::uint32_t slot);
    // 32 KiB PRG-ROM bank `bank` at $8000-$FFFF.
    void MapPrg32k(std::uint32_t bank);
    // The 8 KiB PRG page `back` pages before the end of PRG-ROM (1 = the last page). An image smaller
    // than the window a board fixes at its top (a 16 KiB image on a board with its last 24 KiB fixed)
    // wraps into itself, as the smaller chip does when the upper address lines are not connected.
    std::uint32_t PrgPageFromEnd(std::uint32_t back) const;

    // The 2 KiB of PRG-ROM at `offset` (modulo its size) into 2 KiB CPU page `page`, readable directly;
    // for boards whose ROM answers below $8000 (NROM-368 from $4800).
    void MapPrg2k(std::uint32_t offset, std::uint32_t page);

    // 8 KiB work-RAM page `bank` into CPU slot `slot`, readable and writable. Page 0 is the RAM that
    // $6000 shows after a reset; larger work RAM continues from there (modulo its size).
    void MapWram8k(std::uint32_t bank, std::uint32_t slot);
    // The 2 KiB CPU page `page` answered by the board's own handlers, which receive the full address.
    void MapCpuHandlers(std::uint32_t page, std::uint8_t (*read)(Process*, std::uint32_t),
                        void (*write)(Process*, std::uint32_t, std::uint8_t));
    // CPU slot `slot` answers nothing: reads give 0 and writes are dropped (or reach the board's
    // registers at $8000-$FFFF).
    void UnmapPrg8k(std::uint32_t slot);

    // 1 KiB CHR-ROM page `bank` (modulo the page count) into PPU pattern page 0-7, read-only; nothing
    // without CHR-ROM, so CHR-RAM boards keep their fixed 8 KiB whatever their registers say.
    void MapChr1k(std::uint32_t bank, std::uint32_t page);
    // 4 KiB CHR-ROM bank `bank` into pattern table 0 ($0000) or 1 ($1000).
    void MapChr4k(std::uint32_t bank, std::uint32_t table);
    // 8 KiB CHR-ROM bank `bank` at $0000-$1FFF.
    void MapChr8k(std::uint32_t bank);
    // 1 KiB and 4 KiB pages of CHR-RAM (modulo its size), writable, for boards that bank their CHR-RAM.
    void MapChrRam1k(std::uint32_t bank, std::uint32_t page);
    void MapChrRam4k(std::uint32_t bank, std::uint32_t table);
    // PPU pattern page 0-7 onto 1 KiB of the board's own memory (which StateMemory names), which the PPU
    // may write only when `writable`.
    void MapChrMemory(std::uint32_t page, std::uint8_t* storage, bool writable);
    // CPU slot 4-7 onto 8 KiB of the board's own memory (which StateMemory names), readable directly;
    // writes go to WriteRegister.
    void MapPrgMemory8k(const std::uint8_t* storage, std::uint32_t slot);
    // Name-table slot 0-3 (and its mirror at $3000) onto name-table RAM page 0-3; mirroring becomes
    // "by mapper".
    void MapNameTable(std::uint32_t slot, std::uint32_t ramPage);
    // Name-table slot 0-3 (and its mirror) onto 1 KiB of the board's own memory, which the PPU may
    // write only when `writable`; mirroring becomes "by mapper".
    void MapNameTableMemory(std::uint32_t slot, std::uint8_t* storage, bool writable);
    // The four slots as a mirroring type says; an invalid type is reported and maps four screens.
    void SetNameTableMirroring(std::uint32_t type);

    Process* process;
    std::uint32_t prgPageCount = 0;       // 8 KiB pages of PRG-ROM
    std::uint32_t chrPageCount = 0;       // 1 KiB pages of CHR-ROM; 0 without CHR-ROM
    std::unique_ptr<std::uint8_t[]> wram; // wramSize bytes; CPU $5000 + n reaches wram[n] after a reset
    std::unique_ptr<std::uint8_t[]> chrRam;
    // Their sizes: 12 KiB of work RAM ($5000-$7FFF) and 8 KiB of CHR-RAM unless the image asks for more,
    // which boards that bank their RAM reach beyond the part mapped at reset.
    std::uint32_t wramSize = WramSize;
    std::uint32_t chrRamSize = ChrRamSize;
    std::unique_ptr<std::uint8_t[]> nameTableRam;
    std::uint32_t mirroring = MirrorNotSet;

    // Whether the PPU still calls OnPatternFetch and GetAttribute. It calls them some 16,000 times a
    // frame, and most boards keep the base versions, which do nothing; so the first call of a base
    // version clears its flag and the PPU calls it no more. (An override therefore never calls the base
    // version.)
    bool patternFetchHook = true;
    bool attributeHook = true;
    // The same for OnPatternPhase, called twice a line.
    bool patternPhaseHook = true;
    // And for OnScanline: the exact PPU then no longer stops at every line's end for the board.
    bool scanlineHook = true;
    bool a12Hook = false;

protected:
    // The board's input to the processor's IRQ line. The line is level-triggered and shared with the
    // sound unit (open collector): a board holds its input high from RaiseIrq until the acknowledgement
    // its hardware documents (a register write, a disable) calls LowerIrq.
    void RaiseIrq();
    void LowerIrq();
    // For boards whose IRQ counts processor cycles: after every write that changes when the line next
    // rises, so the machine asks NextIrqCycle again.
    void ScheduleIrq();
    // The processor cycles run since power-up, at the access being made.
    std::uint64_t CpuCycle() const;
    // The cartridge image the board was made for.
    const RomImage& Image() const;
    // Whether the machine runs the exact timing model.
    bool ExactTiming() const;
    // For boards with a sound chip: AttachSound (in Reset) has the machine's sound unit run and mix the
    // chip; RunSound, before every write that changes the chip, brings the sound up to the present
    // cycle, so that the chip's output changes at the write's cycle.
    void AttachSound(ExpansionSound& chip);
    void RunSound();

    // For boards that always carry work RAM, or CHR-RAM even beside CHR-ROM, whatever the image says.
    // Work RAM of at least `size` bytes: the 4 KiB behind $5000-$5FFF and the 8 KiB pages MapWram8k maps.
    void EnsureWram(std::uint32_t size = WramSize);
    void EnsureChrRam(std::uint32_t size = ChrRamSize);

    // Some boards decode registers below $8000, where the console's I/O registers and work RAM also
    // answer. From a reset on, CPU writes to the 2 KiB pages that hold `first` to `last` go to WriteLow;
    // PassLowWrite hands one on to what answered there before (I/O registers, work RAM or nothing).
    void WatchLowWrites(std::uint16_t first, std::uint16_t last);
    void PassLowWrite(std::uint16_t address, std::uint8_t value);

private:
    using LowWriteHandler = void (*)(Process* process, std::uint32_t address, std::uint8_t value);
    static constexpr std::uint32_t FirstLowPage = 0x4000 >> 11;
    // What answered each page of $4000-$7FFF before the board watched it.
    std::uint8_t* passStorage[8] = {};
    LowWriteHandler passHandlers[8] = {};
};

} // namespace Halvo::Nes
