#include "nes/mmc/Irem.h"

#include <algorithm>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t MajorLeagueSubmapper = 1;

} // namespace

void IremG101::Reset(bool hard) {
    Mmc::Reset(hard);
    prgBanks = {0, 1};
    control = Image().mirroring == MirrorHorizontal ? 1 : 0;
    MapPrg();
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(page, page);
    }
    if (Image().submapper == MajorLeagueSubmapper) {
        SetNameTableMirroring(MirrorSinglePage0);
    } else {
        SetNameTableMirroring((control & 1) ? MirrorHorizontal : MirrorVertical);
    }
}

void IremG101::MapPrg() {
    const bool swapped = control & 2;
    MapPrg8k(swapped ? PrgPageFromEnd(2) : prgBanks[0], 4);
    MapPrg8k(prgBanks[1], 5);
    MapPrg8k(swapped ? prgBanks[0] : PrgPageFromEnd(2), 6);
}

void IremG101::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xF000) {
    case 0x8000:
    case 0xA000:
        prgBanks[(address >> 13) & 1] = value & 0x1F;
        MapPrg();
        break;
    case 0x9000:
        if (Image().submapper != MajorLeagueSubmapper) {
            control = value & 3;
            SetNameTableMirroring((control & 1) ? MirrorHorizontal : MirrorVertical);
            MapPrg();
        }
        break;
    case 0xB000:
        MapChr1k(value, address & 7);
        break;
    default:
        break;
    }
}

void IremH3001::Reset(bool hard) {
    Mmc::Reset(hard);
    // The games expect these banks at power-up.
    MapPrg8k(0, 4);
    MapPrg8k(1, 5);
    MapPrg8k(PrgPageFromEnd(2), 6);
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(page, page);
    }
    SetNameTableMirroring(Image().mirroring == MirrorHorizontal ? MirrorHorizontal : MirrorVertical);
    if (hard) {
        irqEnabled = false;
        reload = counter = 0;
        counterCycle = 0;
    }
}

void IremH3001::SyncCounter(std::uint64_t now) {
    if (irqEnabled) {
        counter = static_cast<std::uint16_t>(counter - std::min<std::uint64_t>(counter, now - counterCycle));
    }
    counterCycle = now;
}

void IremH3001::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xF000) {
    case 0x8000:
    case 0xA000:
    case 0xC000:
        MapPrg8k(value, 4 + ((address >> 13) & 3));
        break;
    case 0xB000:
        MapChr1k(value, address & 7);
        break;
    case 0x9000:
        switch (address & 7) {
        case 1:
            SetNameTableMirroring((value & 0x80) ? MirrorHorizontal : MirrorVertical);
            break;
        case 3:
        case 4:
            SyncCounter(CpuCycle());
            if ((address & 7) == 3) {
                irqEnabled = value & 0x80;
            } else {
                counter = reload;
            }
            LowerIrq();
            ScheduleIrq();
            break;
        case 5:
            reload = static_cast<std::uint16_t>((reload & 0x00FF) | value << 8);
            break;
        case 6:
            reload = static_cast<std::uint16_t>((reload & 0xFF00) | value);
            break;
        default:
            break;
        }
        break;
    default:
        break;
    }
}

std::uint64_t IremH3001::NextIrqCycle() {
    // A counter that stands at 0 has raised its IRQ already and waits for a reload.
    return irqEnabled && counter != 0 ? counterCycle + counter : Apu::Never;
}

void IremH3001::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
