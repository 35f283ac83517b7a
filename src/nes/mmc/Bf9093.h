#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Camerica's BF9093 and BF9097 boards (Codemasters games): UNROM-like, the 16 KiB PRG bank at $8000
// written at $C000-$FFFF (bits 0-3), the last 16 KiB fixed at $C000, 8 KiB of CHR-RAM. The BF9097
// of Fire Hawk adds one-screen mirroring at $8000-$9FFF (bit 4 picks the page). Without the submapper
// that names that board, a write to $9000-$9FFF is taken as that register: other games leave it alone.
class Bf9093 : public Mmc {
public:
    explicit Bf9093(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t prgBank = 0;

    void StateRegisters(StateIo& io) override { io(prgBank); }
};

} // namespace Halvo::Nes
