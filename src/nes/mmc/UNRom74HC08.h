#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The UNROM board with a 74HC08 in place of the 74HC32 (Crazy Climber): the first 16 KiB stay at
// $8000 and any write to $8000-$FFFF picks the 16 KiB bank at $C000 (bits 0-2). 8 KiB of CHR-RAM.
class UNRom74HC08 : public Mmc {
public:
    explicit UNRom74HC08(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t prgBank = 0; // the 16 KiB bank at $C000

    void StateRegisters(StateIo& io) override { io(prgBank); }
};

} // namespace Halvo::Nes
