#include "nes/mmc/Vrc1.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

void Vrc1::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg8k(0, 4);
    MapPrg8k(1, 5);
    MapPrg8k(2, 6);
    MapPrg8k(PrgPageFromEnd(1), 7);
    chrBanks = {0, 1};
    control = Image().mirroring == MirrorHorizontal ? 1 : 0;
    MapChr();
    SetNameTableMirroring(Image().mirroring == MirrorFourScreen ? MirrorFourScreen
                          : (control & 1)                       ? MirrorHorizontal
                                                                : MirrorVertical);
}

void Vrc1::MapChr() {
    MapChr4k(chrBanks[0] | ((control & 2u) << 3), 0);
    MapChr4k(chrBanks[1] | ((control & 4u) << 2), 1);
}

void Vrc1::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address >> 12) {
    case 0x8:
    case 0xA:
    case 0xC:
        MapPrg8k(value & 0x0F, 4 + ((address >> 13) & 3));
        break;
    case 0x9:
        control = value & 7;
        if (mirroring != MirrorFourScreen) {
            SetNameTableMirroring((value & 1) ? MirrorHorizontal : MirrorVertical);
        }
        MapChr();
        break;
    case 0xE:
    case 0xF:
        chrBanks[(address >> 12) & 1] = value & 0x0F;
        MapChr();
        break;
    default:
        break;
    }
}

Vrc3::Vrc3(Process* process) : Mmc(process) {
    EnsureWram();
    EnsureChrRam();
}

void Vrc3::Reset(bool hard) {
    Mmc::Reset(hard);
    MapPrg16k(0, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
    SetNameTableMirroring(Image().mirroring);
    if (hard) {
        reload = counter = 0;
        control = 0;
        counterCycle = 0;
    }
}

void Vrc3::SyncCounter(std::uint64_t now) {
    if (control & Enable) {
        const std::uint64_t elapsed = now - counterCycle;
        const std::uint32_t mask = (control & EightBit) ? 0xFF : 0xFFFF;
        const std::uint32_t base = (control & EightBit) ? (counter & 0xFF00u) : 0;
        const std::uint32_t counting = counter & mask;
        const std::uint32_t start = reload & mask;
        const std::uint64_t toWrap = mask + 1u - counting;
        std::uint32_t value;
        if (elapsed < toWrap) {
            value = static_cast<std::uint32_t>(counting + elapsed);
        } else {
            value = static_cast<std::uint32_t>(start + (elapsed - toWrap) % (mask + 1u - start));
        }
        counter = static_cast<std::uint16_t>(base | value);
    }
    counterCycle = now;
}

void Vrc3::WriteRegister(std::uint16_t address, std::uint8_t value) {
    const std::uint32_t group = address >> 12;
    if (group < 0xC) {
        SyncCounter(CpuCycle());
        const std::uint32_t shift = (group - 8) * 4;
        reload = static_cast<std::uint16_t>((reload & ~(0xF << shift)) | (value & 0x0F) << shift);
        return;
    }
    if (group == 0xF) {
        MapPrg16k(value & 0x0F, 4);
        return;
    }
    if (group == 0xC || group == 0xD) {
        SyncCounter(CpuCycle());
        if (group == 0xC) {
            control = value & 7;
            if (control & Enable) {
                counter = reload;
            }
        } else {
            control =
                static_cast<std::uint8_t>((control & ~Enable) | ((control & EnableAfterAck) ? Enable : 0));
        }
        LowerIrq();
        ScheduleIrq();
    }
}

std::uint64_t Vrc3::NextIrqCycle() {
    if (!(control & Enable)) {
        return Apu::Never;
    }
    const std::uint32_t mask = (control & EightBit) ? 0xFF : 0xFFFF;
    return counterCycle + (mask + 1u - (counter & mask));
}

void Vrc3::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
