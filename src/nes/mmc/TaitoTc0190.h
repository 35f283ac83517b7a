#pragma once

#include "nes/mmc/Mmc3.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Taito's TC0190 (mapper 33) and TC0690 (mapper 48): two switchable 8 KiB PRG banks at $8000 and
// $A000 with the last two pages fixed, two 2 KiB and four 1 KiB CHR banks, and mirroring (bit 6 of
// $8000 on the TC0190, of $E000 on the TC0690). The TC0690 adds the MMC3's scanline counter at
// $C000-$C003, whose reload value is written inverted. Registers repeat with the mask $E003.
class TaitoTc0190 : public Mmc3 {
public:
    explicit TaitoTc0190(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    bool tc0690 = false;

    void StateRegisters(StateIo& io) override { io(irqCounter, irqLatch, irqEnabled, irqRunning); }
};

} // namespace Halvo::Nes
