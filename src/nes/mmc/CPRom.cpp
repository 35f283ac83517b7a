#include "nes/mmc/CPRom.h"

#include "nes/Process.h"

namespace Halvo::Nes {

CPRom::CPRom(Process* process) : Mmc(process) {
    EnsureChrRam(16384);
}

void CPRom::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg32k(0);
    MapChrRam4k(0, 0);
    WriteRegister(0x8000, 0);
    SetNameTableMirroring(Image().mirroring);
}

void CPRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    chrBank = value & 3;
    MapChrRam4k(chrBank, 1);
}

} // namespace Halvo::Nes
