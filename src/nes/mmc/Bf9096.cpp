#include "nes/mmc/Bf9096.h"

#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t AladdinSubmapper = 1;

} // namespace

Bf9096::Bf9096(Process* process) : Mmc(process) {
    EnsureChrRam();
}

void Bf9096::Reset(bool hard) {
    Mmc::Reset(hard);
    block = bank = 0;
    MapBanks();
    SetNameTableMirroring(Image().mirroring);
}

void Bf9096::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address >= 0xC000) {
        bank = value & 3;
    } else if (Image().submapper == AladdinSubmapper) {
        block = static_cast<std::uint8_t>(((value >> 4) & 1) | ((value >> 2) & 2));
    } else {
        block = (value >> 3) & 3;
    }
    MapBanks();
}

void Bf9096::MapBanks() {
    MapPrg16k(block * 4u + bank, 4);
    MapPrg16k(block * 4u + 3, 6);
}

} // namespace Halvo::Nes
