#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The BNROM board: any write to $8000-$FFFF selects the 32 KiB PRG bank; 8 KiB of CHR (RAM on the
// boards that were made). Mirroring is soldered.
class BNRom : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t prgBank = 0;

    void StateRegisters(StateIo& io) override { io(prgBank); }
};

} // namespace Halvo::Nes
