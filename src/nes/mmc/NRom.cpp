#include "nes/mmc/NRom.h"

#include <array>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

NRom::NRom(Process* process) : Mmc(process) {
    // A cartridge without CHR-ROM carries CHR-RAM in its place, whether or not the image says so.
    if (chrPageCount == 0) {
        EnsureChrRam();
    }
}

void NRom::Reset(bool hard) {
    Mmc::Reset(hard);
    // A 16 KiB chip answers at $8000 and again at $C000 (pages 0, 1, 0, 1 by the modulo of the page count).
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        MapPrg8k(slot, 4 + slot);
    }
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(page, page);
    }
    SetNameTableMirroring(process->romImage->mirroring);
}

namespace {

constexpr std::array<std::string_view, 2> NRomNames = {"NROM", "RROM"};

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

NRomFactory::NRomFactory() : BoardFactory("NES-NROM-256", NRomNames) {}

bool NRomFactory::Match(const std::string& boardName) {
    for (const std::string_view name : NRomNames) {
        for (auto at = boardName.find(name); at != std::string::npos; at = boardName.find(name, at + 1)) {
            if (at == 0 || !IsLetter(boardName[at - 1])) {
                return true;
            }
        }
    }
    return false;
}

} // namespace Halvo::Nes
