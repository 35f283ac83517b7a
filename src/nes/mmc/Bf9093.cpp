#include "nes/mmc/Bf9093.h"

#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t FireHawkSubmapper = 1;

} // namespace

Bf9093::Bf9093(Process* process) : Mmc(process) {
    EnsureChrRam();
}

void Bf9093::Reset(bool hard) {
    Mmc::Reset(hard);
    prgBank = 0;
    MapPrg16k(0, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
    SetNameTableMirroring(Image().mirroring);
}

void Bf9093::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address >= 0xC000) {
        prgBank = value & 0x0F;
        MapPrg16k(prgBank, 4);
        return;
    }
    const bool fireHawk = Image().submapper == FireHawkSubmapper;
    if (fireHawk ? address < 0xA000 : (address & 0xF000) == 0x9000) {
        SetNameTableMirroring((value & 0x10) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
}

} // namespace Halvo::Nes
