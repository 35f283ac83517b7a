#pragma once

#include "nes/mmc/Mmc2.h"

namespace Halvo::Nes {

// The FxROM boards of the MMC4 chip: MMC2's latched CHR windows and mirroring register, with a
// switchable 16 KiB PRG bank at $8000 (register $A000), the last 16 KiB fixed at $C000, and 8 KiB of
// work RAM at $6000.
class Mmc4 : public Mmc2 {
public:
    explicit Mmc4(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
