#include "nes/mmc/Nina001.h"

#include "nes/Process.h"

namespace Halvo::Nes {

Nina001::Nina001(Process* process) : Mmc(process) {
    EnsureWram();
}

void Nina001::Reset(bool hard) {
    Mmc::Reset(hard);
    prgBank = chrBank0 = chrBank1 = 0;
    MapPrg32k(0);
    MapChr8k(0);
    SetNameTableMirroring(Image().mirroring);
    WatchLowWrites(0x7FFD, 0x7FFF);
}

void Nina001::WriteLow(std::uint16_t address, std::uint8_t value) {
    PassLowWrite(address, value);
    switch (address) {
    case 0x7FFD:
        prgBank = value & 1;
        MapPrg32k(prgBank);
        break;
    case 0x7FFE:
        chrBank0 = value & 0x0F;
        MapChr4k(chrBank0, 0);
        break;
    case 0x7FFF:
        chrBank1 = value & 0x0F;
        MapChr4k(chrBank1, 1);
        break;
    default: // the rest of the page is plain work RAM
        break;
    }
}

} // namespace Halvo::Nes
