#pragma once

#include <cstdint>
#include <memory>

#include "nes/rom/RomImage.h"
#include "ref/Object.h"

namespace Halvo::Nes {

class Process;

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
    std::uint32_t wramSize = 0;
    std::unique_ptr<std::uint8_t[]> chrRam;
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

protected:
    // For boards that always carry work RAM, or CHR-RAM even beside CHR-ROM, whatever the image says.
    // Work RAM of `size` bytes: the 4 KiB behind $5000-$5FFF and the 8 KiB pages MapWram8k maps.
    void EnsureWram(std::uint32_t size = WramSize);
    void EnsureChrRam();
};

} // namespace Halvo::Nes
