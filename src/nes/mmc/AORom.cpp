#include "nes/mmc/AORom.h"

namespace Halvo::Nes {

AORom::AORom(Process* process) : Mmc(process) {
    // CHR is always RAM on this board: CHR-ROM in the image is never seen.
    EnsureChrRam();
}

void AORom::Reset(bool hard) {
    Mmc::Reset(hard);
    // The board ignores the image's mirroring: it always shows one name-table page, page 0 at first.
    WriteRegister(0x8000, 0);
}

void AORom::WriteRegister(std::uint16_t, std::uint8_t value) {
    MapPrg32k(value & 0x0F);
    SetNameTableMirroring((value & 0x10) ? MirrorSinglePage1 : MirrorSinglePage0);
}

} // namespace Halvo::Nes
