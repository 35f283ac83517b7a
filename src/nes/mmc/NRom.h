#pragma once

#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// The boards without bank switching: 16 KiB or 32 KiB of PRG-ROM at $8000-$FFFF and 8 KiB of CHR at
// PPU $0000-$1FFF. Writes to $8000-$FFFF do nothing.
class NRom : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
};

} // namespace Halvo::Nes
