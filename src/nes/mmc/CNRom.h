#pragma once

#include "nes/mmc/NRom.h"

namespace Halvo::Nes {

// NROM with one register: any write to $8000-$FFFF selects the 8 KiB CHR-ROM bank. The reset is
// NROM's, so the CHR window starts at bank 0.
class CNRom : public NRom {
public:
    using NRom::NRom;

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
