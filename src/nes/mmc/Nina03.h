#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// AVE's NINA-03 and NINA-06 boards: one register in the expansion area, at the addresses $4100-$5FFF
// whose lines A14, A13 and A8 read 1, 0, 1 ($4100-$41FF, $4300-$43FF, ... $5F00-$5FFF): bit 3 the
// 32 KiB PRG bank, bits 0-2 the 8 KiB CHR-ROM bank. Mirroring is soldered.
class Nina03 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t latch = 0; // the last value written

    void StateRegisters(StateIo& io) override { io(latch); }
};

} // namespace Halvo::Nes
