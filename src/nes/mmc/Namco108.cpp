#include "nes/mmc/Namco108.h"

#include "nes/Process.h"

namespace Halvo::Nes {

Namco108::Namco108(Process* process) : Mmc3(process) {
    // The MMC3 boards always carry work RAM; this chip's boards have none of their own.
    if (!Image().hasWram) {
        wram.reset();
    }
}

void Namco108::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address >= 0xA000) {
        return;
    }
    // Six bank lines for PRG and CHR; the select register has no mode bits.
    if (address & 1) {
        Mmc3::WriteRegister(0x8001, value & 0x3F);
    } else {
        Mmc3::WriteRegister(0x8000, value & 7);
    }
}

} // namespace Halvo::Nes
