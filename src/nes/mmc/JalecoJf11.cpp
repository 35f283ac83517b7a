#include "nes/mmc/JalecoJf11.h"

#include "nes/Process.h"

namespace Halvo::Nes {

void JalecoJf11::Reset(bool hard) {
    Mmc::Reset(hard);
    WatchLowWrites(0x6000, 0x7FFF);
    WriteLow(0x6000, 0);
    SetNameTableMirroring(Image().mirroring);
}

void JalecoJf11::WriteLow(std::uint16_t, std::uint8_t value) {
    latch = value;
    MapPrg32k((value >> 4) & 3);
    MapChr8k(value & 0x0F);
}

} // namespace Halvo::Nes
