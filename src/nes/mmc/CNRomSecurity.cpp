#include "nes/mmc/CNRomSecurity.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

CNRomSecurity::CNRomSecurity(Process* process) : Mmc(process) {
    floating.fill(0xFF);
}

void CNRomSecurity::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg32k(0);
    SetNameTableMirroring(Image().mirroring);
    latch = 0;
    enabled = false;
    MapChr();
}

void CNRomSecurity::WriteRegister(std::uint16_t, std::uint8_t value) {
    latch = value;
    const std::uint32_t submapper = Image().submapper;
    if (submapper >= 4 && submapper <= 7) {
        enabled = (value & 3) == submapper - 4;
    } else {
        enabled = (value & 0x0F) != 0 && value != 0x13;
    }
    MapChr();
}

void CNRomSecurity::MapChr() {
    // An image without CHR-ROM keeps the CHR-RAM the board base gave it.
    if (chrPageCount == 0) {
        return;
    }
    for (std::uint32_t page = 0; page < 8; ++page) {
        if (enabled) {
            MapChr1k(page, page);
        } else {
            MapChrMemory(page, floating.data(), false);
        }
    }
}

Mmc::OwnMemory CNRomSecurity::StateMemory(std::uint32_t index) {
    return index == 0 ? OwnMemory{floating.data(), floating.size(), false} : OwnMemory{};
}

} // namespace Halvo::Nes
