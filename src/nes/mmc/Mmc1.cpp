#include "nes/mmc/Mmc1.h"

#include <array>

#include "nes/mmc/PrgPageFromEnd.h"

namespace Halvo::Nes {

namespace {

// 256 KiB in 8 KiB pages: what the chip's PRG lines reach; bit 4 of the CHR registers goes above it.
constexpr std::uint32_t PagesIn256k = 32;

// Mirroring by bits 0-1 of the control register.
constexpr std::array<std::uint32_t, 4> ControlMirroring = {MirrorSinglePage0, MirrorSinglePage1,
                                                           MirrorVertical, MirrorHorizontal};

} // namespace

Mmc1::Mmc1(Process* process) : Mmc(process) {
    lastBankPage = prgPageCount < 2 * PagesIn256k ? PrgPageFromEnd(*this, 2) : PagesIn256k - 2;
    if (chrPageCount == 0) {
        EnsureChrRam();
    }
    EnsureWram();
}

void Mmc1::Reset(bool hard) {
    Mmc::Reset(hard);
    // The power-up state: 16 KiB banks with the last one fixed at $C000, 8 KiB CHR, one name table.
    // A soft reset returns to it as well.
    control = 0x0C;
    chrBank0 = chrBank1 = prgBank = 0;
    shift = shiftCount = 0;
    MapBanks();
}

void Mmc1::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (value & 0x80) {
        // The reset bit empties the shift register; the registers keep their values.
        shift = shiftCount = 0;
        return;
    }
    shift |= (value & 1) << shiftCount;
    if (++shiftCount < 5) {
        return;
    }
    switch ((address >> 13) & 3) {
    case 0:
        control = shift;
        break;
    case 1:
        chrBank0 = shift;
        break;
    case 2:
        chrBank1 = shift;
        break;
    default:
        prgBank = shift;
        break;
    }
    shift = shiftCount = 0;
    MapBanks();
}

void Mmc1::MapBanks() {
    // 512 KiB boards wire bit 4 of the CHR registers to the PRG chip's upper address line; a 256 KiB
    // offset beyond that reaches past any MMC1 board and wraps away modulo the image.
    const std::uint8_t selectedChr = (control & 0x10) ? chrBank1 : chrBank0;
    const std::uint32_t offset =
        PagesIn256k * ((chrBank0 >> 4) & 1) + 2 * PagesIn256k * ((selectedChr >> 4) & 1);
    std::uint32_t low = offset;                 // 8 KiB page at $8000 (and the next at $A000)
    std::uint32_t high = lastBankPage + offset; // 8 KiB page at $C000 (and the next at $E000)
    switch ((control >> 2) & 3) {
    case 0:
    case 1: // 32 KiB at $8000
        low = (prgBank & 0x0E) * 2u + offset;
        high = low + 2;
        break;
    case 2: // first bank fixed at $8000, 16 KiB switchable at $C000
        high = (prgBank & 0x0F) * 2u + offset;
        break;
    default: // 16 KiB switchable at $8000, last bank fixed at $C000
        low = (prgBank & 0x0F) * 2u + offset;
        break;
    }
    MapPrg8k(low, 4);
    MapPrg8k(low + 1, 5);
    MapPrg8k(high, 6);
    MapPrg8k(high + 1, 7);

    // CHR-RAM boards keep their fixed 8 KiB (MapChr1k does nothing without CHR-ROM).
    if (control & 0x10) {
        for (std::uint32_t i = 0; i < 4; ++i) {
            MapChr1k(chrBank0 * 4u + i, i);
            MapChr1k(chrBank1 * 4u + i, 4 + i);
        }
    } else {
        for (std::uint32_t i = 0; i < 8; ++i) {
            MapChr1k((chrBank0 & 0x1E) * 4u + i, i);
        }
    }

    SetNameTableMirroring(ControlMirroring[control & 3]);
}

namespace {

constexpr std::array<std::string_view, 12> Mmc1Names = {"351908", "SAROM", "SBROM", "SC1ROM",
                                                        "SEROM",  "SGROM", "SKROM", "SLROM",
                                                        "SNROM",  "SOROM", "SVROM", "SUROM"};

} // namespace

Mmc1Factory::Mmc1Factory() : BoardFactory("MMC1-[A,B,B2]", Mmc1Names) {}

} // namespace Halvo::Nes
