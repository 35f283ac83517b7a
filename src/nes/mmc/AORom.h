#pragma once

#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// A switchable 32 KiB PRG bank and single-screen mirroring, both chosen by one write to $8000-$FFFF:
// bits 0-3 the PRG bank, bit 4 the name-table page. CHR is always 8 KiB of RAM.
class AORom : public Mmc {
public:
    explicit AORom(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes
