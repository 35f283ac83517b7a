#include "nes/mmc/GNRom.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

void GNRom::Reset(bool hard) {
    Mmc::Reset(hard);
    WriteRegister(0x8000, 0);
    SetNameTableMirroring(Image().mirroring);
}

void GNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    MapPrg32k((value >> 4) & 3);
    MapChr8k(value & 0x0F);
}

} // namespace Halvo::Nes
