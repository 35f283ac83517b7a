#include "nes/mmc/AORom.h"

#include <array>

namespace Halvo::Nes {

AORom::AORom(Process* process) : Mmc(process) {
    EnsureChrRam();
}

void AORom::Reset(bool hard) {
    Mmc::Reset(hard);
    // The board ignores the image's mirroring: it always shows one name-table page, page 0 at first.
    WriteRegister(0x8000, 0);
}

void AORom::WriteRegister(std::uint16_t, std::uint8_t value) {
    const std::uint32_t prgBank = value & 0x0F;
    for (std::uint32_t i = 0; i < 4; ++i) {
        MapPrg8k(prgBank * 4 + i, 4 + i);
    }
    SetNameTableMirroring((value & 0x10) ? MirrorSinglePage1 : MirrorSinglePage0);
}

namespace {

constexpr std::array<std::string_view, 1> AORomNames = {"AOROM"};

} // namespace

AORomFactory::AORomFactory() : BoardFactory("NES-AOROM-03", AORomNames) {}

} // namespace Halvo::Nes
