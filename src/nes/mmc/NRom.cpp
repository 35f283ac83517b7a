#include "nes/mmc/NRom.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

void NRom::Reset(bool hard) {
    Mmc::Reset(hard);
    // A 16 KiB chip answers at $8000 and again at $C000: its pages wrap modulo the page count.
    MapPrg32k(0);
    if (prgPageCount > 4) {
        // NROM-368: 48 KiB decoded from $4800, the last 32 KiB at $8000 and the 14 KiB before them at
        // $4800-$7FFF (the first 2 KiB of the chip are never seen).
        for (std::uint32_t i = 0; i < 4; ++i) {
            MapPrg8k(prgPageCount - 4 + i, 4 + i);
        }
        for (std::uint32_t page = 0x4800 >> Process::PageShift; page < (0x8000 >> Process::PageShift);
             ++page) {
            MapPrg2k((page << Process::PageShift) - 0x4000, page);
        }
    }
    MapChr8k(0);
    SetNameTableMirroring(Image().mirroring);
}

} // namespace Halvo::Nes
