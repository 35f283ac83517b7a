#include "nes/mmc/UNRom74HC08.h"

#include "nes/Process.h"

namespace Halvo::Nes {

UNRom74HC08::UNRom74HC08(Process* process) : Mmc(process) {
    EnsureChrRam();
}

void UNRom74HC08::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg16k(0, 4);
    // The register powers up clear: bank 0 at $C000 too, so the game's vectors are in every bank.
    WriteRegister(0x8000, 0);
    SetNameTableMirroring(Image().mirroring);
}

void UNRom74HC08::WriteRegister(std::uint16_t, std::uint8_t value) {
    prgBank = value & 7;
    MapPrg16k(prgBank, 6);
}

} // namespace Halvo::Nes
