#include "nes/mmc/CNRom.h"

namespace Halvo::Nes {

void CNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    // Every bit of the byte counts: a bank past the end of the CHR-ROM wraps modulo its size. The ROM
    // driving the data bus during the write (bus conflicts) is not reproduced.
    MapChr8k(value);
}

} // namespace Halvo::Nes
