#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The CPROM board: 32 KiB of PRG-ROM and 16 KiB of CHR-RAM, whose first 4 KiB stay at PPU $0000
// while any write to $8000-$FFFF picks the 4 KiB at $1000 (bits 0-1).
class CPRom : public Mmc {
public:
    explicit CPRom(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t chrBank = 0; // the 4 KiB CHR-RAM bank at $1000

    void StateRegisters(StateIo& io) override { io(chrBank); }
};

} // namespace Halvo::Nes
