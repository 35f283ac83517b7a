#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// AVE's NINA-001 board: 8 KiB of work RAM at $6000, and three registers at its last addresses that the
// RAM also stores: $7FFD the 32 KiB PRG bank, $7FFE and $7FFF the 4 KiB CHR-ROM banks at PPU $0000
// and $1000.
class Nina001 : public Mmc {
public:
    explicit Nina001(Process* process);

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t prgBank = 0;
    std::uint8_t chrBank0 = 0;
    std::uint8_t chrBank1 = 0;

    void StateRegisters(StateIo& io) override { io(prgBank, chrBank0, chrBank1); }
};

} // namespace Halvo::Nes
