#pragma once

#include "nes/mmc/Mmc3.h"

namespace Halvo::Nes {

// Namco's 108 chip (the DxROM boards): the MMC3's eight bank registers at $8000 (select) and $8001
// (data) mirrored through $9FFF, without its PRG and CHR swap bits, mirroring control, IRQ counter or
// work RAM. Mirroring is soldered (four screens on DRROM).
class Namco108 : public Mmc3 {
public:
    explicit Namco108(Process* process);

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
