#include "nes/mmc/UNRom.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

UNRom::UNRom(Process* process) : Mmc(process) {
    // CHR is always RAM on this board: CHR-ROM in the image is never seen.
    EnsureChrRam();
}

void UNRom::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg16k(0, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
    SetNameTableMirroring(Image().mirroring);
}

void UNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    // All eight bits select the bank; one past the image wraps modulo its size (no bus conflicts).
    MapPrg16k(value, 4);
}

} // namespace Halvo::Nes
