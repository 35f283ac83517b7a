#include "nes/mmc/UNRom.h"

#include <array>

#include "nes/Process.h"
#include "nes/mmc/PrgPageFromEnd.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

UNRom::UNRom(Process* process) : Mmc(process) {
    EnsureChrRam();
}

void UNRom::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg8k(0, 4);
    MapPrg8k(1, 5);
    MapPrg8k(PrgPageFromEnd(*this, 2), 6);
    MapPrg8k(PrgPageFromEnd(*this, 1), 7);
    SetNameTableMirroring(process->romImage->mirroring);
}

void UNRom::WriteRegister(std::uint16_t, std::uint8_t value) {
    // All eight bits select the bank; one past the image wraps modulo its size (no bus conflicts).
    MapPrg8k(value * 2u, 4);
    MapPrg8k(value * 2u + 1, 5);
}

namespace {

constexpr std::array<std::string_view, 4> UNRomNames = {"351358", "351298", "351320", "UNROM"};

} // namespace

UNRomFactory::UNRomFactory() : BoardFactory("NES-UNROM-[05,09]", UNRomNames) {}

} // namespace Halvo::Nes
