#include "nes/mmc/TQRom.h"

namespace Halvo::Nes {

TQRom::TQRom(Process* process) : Mmc3(process) {
    EnsureChrRam();
}

void TQRom::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    if (bank & 0x40) {
        MapChrRam1k(bank & 7, page);
    } else {
        Mmc3::MapChrBank(bank, page);
    }
}

} // namespace Halvo::Nes
