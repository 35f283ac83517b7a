#pragma once

#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// A switchable 16 KiB PRG bank at $8000 (any write to $8000-$FFFF selects it), the last 16 KiB fixed
// at $C000, and always 8 KiB of CHR-RAM.
class UNRom : public Mmc {
public:
    explicit UNRom(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
