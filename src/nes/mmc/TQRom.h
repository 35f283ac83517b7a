#pragma once

#include "nes/mmc/Mmc3.h"

namespace Halvo::Nes {

// The MMC3's TQROM board: CHR-ROM and 8 KiB of CHR-RAM side by side; bit 6 of a CHR bank chooses the
// RAM, whose 1 KiB pages the low three bits then number.
class TQRom : public Mmc3 {
public:
    explicit TQRom(Process* process);

protected:
    void MapChrBank(std::uint32_t bank, std::uint32_t page) override;
};

} // namespace Halvo::Nes
