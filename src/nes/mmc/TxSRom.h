#pragma once

#include "nes/mmc/Mmc3.h"

namespace Halvo::Nes {

// The MMC3's TKSROM and TLSROM boards: the name-table RAM's page line comes from bit 7 of the CHR bank
// that covers the matching pattern page of $0000-$0FFF (name table n follows pattern page n), so
// the game picks each name table's page with its CHR bank writes and the mirroring register is unused.
class TxSRom : public Mmc3 {
public:
    using Mmc3::Mmc3;

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

protected:
    void MapChrBank(std::uint32_t bank, std::uint32_t page) override;
};

} // namespace Halvo::Nes
