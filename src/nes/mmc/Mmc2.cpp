#include "nes/mmc/Mmc2.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint8_t LatchFd = 0xFD;
constexpr std::uint8_t LatchFe = 0xFE;

} // namespace

void Mmc2::Reset(bool hard) {
    Mmc::Reset(hard);
    latch0 = latch1 = LatchFe;
    chr1Fd = chr1Fe = 4;
    prgBank = chr0Fd = chr0Fe = 0;
    MapPrg8k(0, 4);
    for (std::uint32_t slot = 5; slot < 8; ++slot) {
        MapPrg8k(PrgPageFromEnd(8 - slot), slot);
    }
    UpdateWindow0();
    UpdateWindow1();
    SetNameTableMirroring(Image().mirroring);
}

void Mmc2::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xF000) {
    case 0xA000:
        prgBank = value;
        MapPrg8k(value, 4);
        break;
    case 0xB000:
        chr0Fd = value;
        if (latch0 == LatchFd) {
            UpdateWindow0();
        }
        break;
    case 0xC000:
        chr0Fe = value;
        if (latch0 == LatchFe) {
            UpdateWindow0();
        }
        break;
    case 0xD000:
        chr1Fd = value;
        if (latch1 == LatchFd) {
            UpdateWindow1();
        }
        break;
    case 0xE000:
        chr1Fe = value;
        if (latch1 == LatchFe) {
            UpdateWindow1();
        }
        break;
    case 0xF000:
        SetNameTableMirroring((value & 1) ? MirrorHorizontal : MirrorVertical);
        break;
    default: // $8000-$9FFF: no register
        break;
    }
}

void Mmc2::OnPatternFetch(std::uint16_t address) {
    // Any row of tile $FD or $FE ($0FD0-$0FEF, $1FD0-$1FEF) moves its table's latch. The switch comes
    // before the fetch, so the triggering row already reads from the newly selected bank.
    if ((address & 0x0FC0) != 0x0FC0) {
        return;
    }
    const std::uint8_t tile = static_cast<std::uint8_t>(address >> 4);
    if (tile != LatchFd && tile != LatchFe) {
        return;
    }
    if (address & 0x1000) {
        latch1 = tile;
        UpdateWindow1();
    } else {
        latch0 = tile;
        UpdateWindow0();
    }
}

void Mmc2::UpdateWindow0() {
    MapChr4k(latch0 == LatchFd ? chr0Fd : chr0Fe, 0);
}

void Mmc2::UpdateWindow1() {
    MapChr4k(latch1 == LatchFd ? chr1Fd : chr1Fe, 1);
}

} // namespace Halvo::Nes
