#include "nes/mmc/CNRom.h"

#include <array>

namespace Halvo::Nes {

void CNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    // Every bit of the byte counts: a bank past the end of the CHR-ROM wraps modulo its size. The ROM
    // driving the data bus during the write (bus conflicts) is not reproduced.
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(value * 8u + page, page);
    }
}

namespace {

constexpr std::array<std::string_view, 1> CNRomNames = {"CNROM"};

} // namespace

CNRomFactory::CNRomFactory() : BoardFactory("NES-CN-ROM-[02,05]", CNRomNames) {}

} // namespace Halvo::Nes
