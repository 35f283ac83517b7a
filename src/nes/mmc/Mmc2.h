#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The PNROM board of the MMC2 chip: one switchable 8 KiB PRG bank at $8000 with the last 24 KiB
// fixed, and two 4 KiB CHR windows with two bank registers each. Which register drives a window is
// chosen by a latch that the PPU's own pattern fetches set: fetching tile $FD or $FE from a pattern
// table switches that table's window to the matching register.
class Mmc2 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void OnPatternFetch(std::uint16_t address) override;

    std::uint8_t prgBank = 0;
    std::uint8_t latch0 = 0xFE; // $FD or $FE: the register that drives PPU $0000-$0FFF
    std::uint8_t latch1 = 0xFE; // the same for $1000-$1FFF
    std::uint8_t chr0Fd = 0;
    std::uint8_t chr0Fe = 0;
    std::uint8_t chr1Fd = 4;
    std::uint8_t chr1Fe = 4;

    void StateRegisters(StateIo& io) override { io(prgBank, latch0, latch1, chr0Fd, chr0Fe, chr1Fd, chr1Fe); }

private:
    void UpdateWindow0();
    void UpdateWindow1();
};

} // namespace Halvo::Nes
