#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Jaleco's JF-11 and JF-14 boards: GNROM's register moved to $6000-$7FFF (there is no work RAM), with
// the 32 KiB PRG bank in bits 4-5 and the 8 KiB CHR-ROM bank in bits 0-3. Mirroring is soldered.
class JalecoJf11 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t latch = 0; // the last value written

    void StateRegisters(StateIo& io) override { io(latch); }
};

} // namespace Halvo::Nes
