#include "nes/mmc/TxSRom.h"

namespace Halvo::Nes {

void TxSRom::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address != 0xA000) {
        Mmc3::WriteRegister(address, value);
    }
}

void TxSRom::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    Mmc3::MapChrBank(bank, page);
    if (page < 4) {
        MapNameTable(page, (bank >> 7) & 1);
    }
}

} // namespace Halvo::Nes
