#include "nes/mmc/Nina03.h"

#include "nes/Process.h"

namespace Halvo::Nes {

void Nina03::Reset(bool hard) {
    Mmc::Reset(hard);
    WatchLowWrites(0x4100, 0x5FFF);
    latch = 0;
    MapPrg32k(0);
    MapChr8k(0);
    SetNameTableMirroring(Image().mirroring);
}

void Nina03::WriteLow(std::uint16_t address, std::uint8_t value) {
    // The sound and controller registers share the first watched page.
    PassLowWrite(address, value);
    if ((address & 0xE100) == 0x4100) {
        latch = value;
        MapPrg32k((value >> 3) & 1);
        MapChr8k(value & 7);
    }
}

} // namespace Halvo::Nes
