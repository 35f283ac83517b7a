#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// RetroUSB's UNROM 512 (mapper 30): a 16 KiB PRG bank at $8000 (bits 0-4) with the last fixed, four
// 8 KiB banks of CHR-RAM (bits 5-6) and, where the image leaves the mirroring to the board, the
// one-screen page in bit 7. The self-flashing board (the image's battery bit) holds its PRG-ROM in a
// flash chip that the game rewrites for its saves: there the latch answers at $C000-$FFFF only, and
// $8000-$BFFF reach the chip's commands (unlock $AA at $5555 and $55 at $2AAA of the chip, then
// $A0 to program a byte, or $80 and the unlock again for $30, erase a 4 KiB sector, or $10, erase all)
// at chip address bank x $4000 + A0-A13. The chip's contents live in the battery RAM from $6000 on
// (not mapped there), so the battery save keeps them.
class UNRom512 : public Mmc {
public:
    explicit UNRom512(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    bool oneScreenControl = false;
    bool flash = false;
    std::uint8_t latch = 0;
    std::uint8_t flashStep = 0; // how far a command sequence has come

    void StateRegisters(StateIo& io) override { io(latch).Bounded(flashStep, std::uint8_t{6}); }

private:
    void MapPrg(std::uint32_t bank, std::uint32_t slot);
    void WriteFlash(std::uint32_t address, std::uint8_t value);
    std::uint8_t* Flash() { return wram.get() + 0x1000; }
    std::uint32_t flashSize = 0;
};

// The Action 53 multicart board (mapper 28): $5000-$5FFF selects one of four registers and
// $8000-$FFFF writes it: the CHR-RAM bank (register $00), the inner PRG bank ($01), the mode ($80:
// mirroring, PRG mode and the game's size) and the outer 32 KiB bank ($81). A game sees 32 KiB,
// 64 KiB, 128 KiB or 256 KiB of PRG-ROM as NROM, UNROM or a reversed UNROM (first bank fixed) would.
class Action53 : public Mmc {
public:
    explicit Action53(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t select = 0;
    std::uint8_t chr = 0;
    std::uint8_t inner = 0;
    std::uint8_t mode = 0;
    std::uint8_t outer = 0xFF;
    std::uint8_t mirrorControl = 0;

    void StateRegisters(StateIo& io) override { io(select, chr, inner, mode, outer, mirrorControl); }

private:
    void Map();
};

// Membler Industries' GTROM (mapper 111): a register at $5000-$5FFF and $7000-$7FFF for the 32 KiB PRG
// bank (bits 0-3), one of two 8 KiB banks of CHR-RAM (bit 4) and one of two 4 KiB banks of four-screen
// name-table RAM (bit 5); bits 6-7 light the board's LEDs. Writing the flash chip is not emulated.
class GTRom : public Mmc {
public:
    static constexpr std::uint32_t NameTableBankSize = 4096;

    explicit GTRom(Process* process);

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;
    OwnMemory StateMemory(std::uint32_t index) override;

    std::uint8_t latch = 0;

    void StateRegisters(StateIo& io) override {
        io(latch);
        io.Bytes(nameTables.get(), 2 * NameTableBankSize);
    }

private:
    void Map();

    std::unique_ptr<std::uint8_t[]> nameTables;
};

} // namespace Halvo::Nes
