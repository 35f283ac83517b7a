#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Sunsoft-3 (mapper 67): four 2 KiB CHR banks, a 16 KiB PRG bank at $8000 with the last fixed,
// mirroring, and a 16-bit counter written high byte then low byte at $C800 that counts processor
// cycles down; when it wraps from 0 it stops and raises the IRQ. $D800 enables it, acknowledges and
// sets the next $C800 write back to the high byte. Registers decode A11-A15 ($x800).
class Sunsoft3 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    bool irqEnabled = false;
    bool lowNext = false;      // the next $C800 write is the low byte
    std::uint16_t counter = 0; // at processor cycle counterCycle
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override { io(irqEnabled, lowNext, counter, counterCycle); }

private:
    void SyncCounter(std::uint64_t now);
};

// Sunsoft-4 (mapper 68): four 2 KiB CHR banks, a 16 KiB PRG bank at $8000 with the last fixed and the
// work RAM's enable (bit 4 of $F000), mirroring, and name tables that may come from CHR-ROM: bit 4
// of $E000 shows the two 1 KiB CHR-ROM banks of $C000 and $D000 (from the upper 128 KiB) in place of
// name-table RAM, arranged as the mirroring says.
class Sunsoft4 : public Mmc {
public:
    explicit Sunsoft4(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::array<std::uint8_t, 2> nameTableBanks{};
    std::uint8_t control = 0; // $E000
    std::uint8_t prg = 0;     // $F000

    void StateRegisters(StateIo& io) override { io.Array(nameTableBanks)(control, prg); }

private:
    void MapNameTables();
};

} // namespace Halvo::Nes
