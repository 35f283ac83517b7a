#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc3.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Tengen's RAMBO-1 (mapper 64): the MMC3's register pairs and scanline counter with more banks:
// sixteen bank registers (R0-R5 CHR as on the MMC3, R8 and R9 two more 1 KiB CHR banks when bit 5 of
// $8000 splits R0 and R1, R6, R7 and RF three switchable 8 KiB PRG banks, rotated by bit 6) and a
// counter that bit 0 of $C001 clocks every four processor cycles instead of every line. The 800037
// board (mapper 158) takes its name-table pages from bit 7 of the CHR banks of $0000-$0FFF, as TxSROM.
class Rambo1 : public Mmc3 {
public:
    explicit Rambo1(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void OnScanline() override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    static constexpr std::uint32_t CyclesPerClock = 4;

    bool nameTablesFromChr = false; // 800037
    std::array<std::uint8_t, 16> regs{};
    std::uint8_t select = 0; // $8000
    bool cycleMode = false;
    // In cycle mode, the processor cycle of the prescaler's last clock.
    std::uint64_t clockCycle = 0;

    void StateRegisters(StateIo& io) override {
        io.Array(regs)(select, cycleMode, clockCycle, irqCounter, irqLatch, irqEnabled, irqRunning);
    }

private:
    void MapBanks();
    void SyncClocks(std::uint64_t now);
};

} // namespace Halvo::Nes
