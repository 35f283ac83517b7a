#include "nes/mmc/GNRom.h"

#include <array>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

GNRom::GNRom(Process* process) : Mmc(process) {
    // A cartridge without CHR-ROM carries CHR-RAM in its place, whether or not the image says so.
    if (chrPageCount == 0) {
        EnsureChrRam();
    }
}

void GNRom::Reset(bool hard) {
    Mmc::Reset(hard);
    WriteRegister(0x8000, 0);
    SetNameTableMirroring(process->romImage->mirroring);
}

void GNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    const std::uint32_t prgBank = (value >> 4) & 3;
    const std::uint32_t chrBank = value & 0x0F;
    for (std::uint32_t i = 0; i < 4; ++i) {
        MapPrg8k(prgBank * 4 + i, 4 + i);
    }
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(chrBank * 8 + page, page);
    }
}

namespace {

constexpr std::array<std::string_view, 1> GNRomNames = {"GNROM"};

} // namespace

GNRomFactory::GNRomFactory() : BoardFactory("NES-GNROM", GNRomNames) {}

} // namespace Halvo::Nes
