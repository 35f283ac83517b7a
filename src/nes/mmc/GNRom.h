#pragma once

#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// A switchable 32 KiB PRG bank and a switchable 8 KiB CHR-ROM bank, both chosen by one write to
// $8000-$FFFF: bits 4-5 the PRG bank, bits 0-3 the CHR bank.
class GNRom : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
