#include "nes/mmc/Mmc4.h"

namespace Halvo::Nes {

Mmc4::Mmc4(Process* process) : Mmc2(process) {
    EnsureWram();
}

void Mmc4::Reset(bool hard) {
    Mmc2::Reset(hard);
    MapPrg16k(prgBank, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
}

void Mmc4::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xF000) != 0xA000) {
        Mmc2::WriteRegister(address, value);
        return;
    }
    // MMC2's 8 KiB PRG register selects 16 KiB here; the chip has four bank lines.
    prgBank = value & 0x0F;
    MapPrg16k(prgBank, 4);
}

} // namespace Halvo::Nes
