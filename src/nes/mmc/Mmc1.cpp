#include "nes/mmc/Mmc1.h"

#include <array>

namespace Halvo::Nes {

namespace {

// 256 KiB in 16 KiB banks: what the chip's PRG lines reach; bit 4 of the CHR registers goes above it.
constexpr std::uint32_t BanksIn256k = 16;

// Mirroring by bits 0-1 of the control register.
constexpr std::array<std::uint32_t, 4> ControlMirroring = {MirrorSinglePage0, MirrorSinglePage1,
                                                           MirrorVertical, MirrorHorizontal};

} // namespace

Mmc1::Mmc1(Process* process) : Mmc(process) {
    lastBankPage = prgPageCount < 4 * BanksIn256k ? PrgPageFromEnd(2) : 2 * BanksIn256k - 2;
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
        BanksIn256k * ((chrBank0 >> 4) & 1) + 2 * BanksIn256k * ((selectedChr >> 4) & 1);
    // 16 KiB banks at $8000 and $C000.
    std::uint32_t low = offset;
    std::uint32_t high = lastBankPage / 2 + offset;
    switch ((control >> 2) & 3) {
    case 0:
    case 1: // 32 KiB at $8000
        low = (prgBank & 0x0E) + offset;
        high = low + 1;
        break;
    case 2: // first bank fixed at $8000, 16 KiB switchable at $C000
        high = (prgBank & 0x0F) + offset;
        break;
    default: // 16 KiB switchable at $8000, last bank fixed at $C000
        low = (prgBank & 0x0F) + offset;
        break;
    }
    MapPrg16k(low, 4);
    MapPrg16k(high, 6);

    if (control & 0x10) {
        MapChr4k(chrBank0, 0);
        MapChr4k(chrBank1, 1);
    } else {
        // 8 KiB mode ignores bit 0.
        MapChr8k(chrBank0 >> 1);
    }

    SetNameTableMirroring(ControlMirroring[control & 3]);
}

} // namespace Halvo::Nes
