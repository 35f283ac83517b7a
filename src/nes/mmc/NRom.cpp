#include "nes/mmc/NRom.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

void NRom::Reset(bool hard) {
    Mmc::Reset(hard);
    // A 16 KiB chip answers at $8000 and again at $C000: its pages wrap modulo the page count.
    MapPrg32k(0);
    MapChr8k(0);
    SetNameTableMirroring(Image().mirroring);
}

} // namespace Halvo::Nes
