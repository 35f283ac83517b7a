#include "nes/mmc/BNRom.h"

#include "nes/Process.h"

namespace Halvo::Nes {

void BNRom::Reset(bool hard) {
    Mmc::Reset(hard);
    WriteRegister(0x8000, 0);
    MapChr8k(0);
    SetNameTableMirroring(Image().mirroring);
}

void BNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    // All eight bits: oversized images use more than the board's two bank lines.
    prgBank = value;
    MapPrg32k(prgBank);
}

} // namespace Halvo::Nes
