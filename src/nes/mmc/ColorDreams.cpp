#include "nes/mmc/ColorDreams.h"

#include "nes/Process.h"

namespace Halvo::Nes {

void ColorDreams::Reset(bool hard) {
    Mmc::Reset(hard);
    WriteRegister(0x8000, 0);
    SetNameTableMirroring(Image().mirroring);
}

void ColorDreams::WriteRegister(std::uint16_t, std::uint8_t value) {
    latch = value;
    MapPrg32k(value & 3);
    MapChr8k(value >> 4);
}

} // namespace Halvo::Nes
