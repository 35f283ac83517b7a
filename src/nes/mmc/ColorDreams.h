#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Color Dreams' discrete board: any write to $8000-$FFFF selects a 32 KiB PRG bank (bits 0-1) and an
// 8 KiB CHR-ROM bank (bits 4-7). Mirroring is soldered.
class ColorDreams : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t latch = 0; // the last value written

    void StateRegisters(StateIo& io) override { io(latch); }
};

} // namespace Halvo::Nes
