#include "nes/mmc/Vrc.h"

#include <string_view>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

struct Wiring {
    std::string_view board;
    std::uint32_t submapper;
    std::uint32_t a0Lines;
    std::uint32_t a1Lines;
    bool vrc2;
    std::uint32_t chrShift;
};

// The chip variants by board name, and the iNES mappers 21 ("VRC4AC"), 23 ("VRC4EF") and 25 ("VRC4BD"),
// each of which stands for two wirings: with submapper 0 both candidate lines feed each input (no
// game of either wiring writes where the other would see a different register), otherwise the
// submapper picks one. Mapper 22 is the VRC2a.
// clang-format off
constexpr Wiring Wirings[] = {
    {"VRC2A",  0, 0x02, 0x01, true,  1},
    {"VRC2B",  0, 0x01, 0x02, true,  0},
    {"VRC2C",  0, 0x02, 0x01, true,  0},
    {"VRC4A",  0, 0x02, 0x04, false, 0},
    {"VRC4B",  0, 0x02, 0x01, false, 0},
    {"VRC4C",  0, 0x40, 0x80, false, 0},
    {"VRC4D",  0, 0x08, 0x04, false, 0},
    {"VRC4E",  0, 0x04, 0x08, false, 0},
    {"VRC4F",  0, 0x01, 0x02, false, 0},
    {"VRC4AC", 0, 0x42, 0x84, false, 0},
    {"VRC4AC", 1, 0x02, 0x04, false, 0},
    {"VRC4AC", 2, 0x40, 0x80, false, 0},
    {"VRC4EF", 0, 0x05, 0x0A, false, 0},
    {"VRC4EF", 1, 0x01, 0x02, false, 0},
    {"VRC4EF", 2, 0x04, 0x08, false, 0},
    {"VRC4EF", 3, 0x01, 0x02, true,  0},
    {"VRC4BD", 0, 0x0A, 0x05, false, 0},
    {"VRC4BD", 1, 0x02, 0x01, false, 0},
    {"VRC4BD", 2, 0x08, 0x04, false, 0},
    {"VRC4BD", 3, 0x02, 0x01, true,  0},
};
// clang-format on

// The wiring of a board name ("VRC4E", "NES-VRC2B", "VRC4BD"): its word that starts with "VRC", with
// the submapper where that word has more than one. Unknown names are taken as the mapper-23 VRC4.
const Wiring& WiringOf(const RomImage& image) {
    const std::string& name = image.boardName;
    const auto at = name.find("VRC");
    std::string_view word;
    if (at != std::string::npos) {
        word = std::string_view(name).substr(at);
        const auto end = word.find_first_not_of("ABCDEFVRC0123456789");
        word = word.substr(0, end);
    }
    const Wiring* found = &Wirings[12];
    for (const Wiring& wiring : Wirings) {
        if (wiring.board == word && wiring.submapper == 0) {
            found = &wiring;
        }
    }
    for (const Wiring& wiring : Wirings) {
        if (wiring.board == found->board && wiring.submapper == image.submapper) {
            found = &wiring;
        }
    }
    return *found;
}

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};

std::uint8_t ReadLatch6000(Process* process, std::uint32_t) {
    // The data lines the latch does not drive keep the address's high byte (open bus).
    return static_cast<std::uint8_t>(0x60 | static_cast<const Vrc&>(process->GetMmc()).latch6000);
}

void WriteLatch6000(Process* process, std::uint32_t, std::uint8_t value) {
    static_cast<Vrc&>(process->GetMmc()).latch6000 = value & 1;
}

} // namespace

Vrc::Vrc(Process* process) : Mmc(process) {
    const Wiring& wiring = WiringOf(*process->romImage);
    a0Lines = wiring.a0Lines;
    a1Lines = wiring.a1Lines;
    vrc2 = wiring.vrc2;
    chrShift = wiring.chrShift;
    // The VRC4 decodes work RAM at $6000-$7FFF; the VRC2 only where the board carries it.
    if (!vrc2) {
        EnsureWram();
    }
}

void Vrc::Reset(bool hard) {
    Mmc::Reset(hard);
    if (!wram) {
        MapCpuHandlers(0x6000 >> Process::PageShift, ReadLatch6000, WriteLatch6000);
        MapCpuHandlers(0x6800 >> Process::PageShift, ReadLatch6000, WriteLatch6000);
    }
    prgBanks = {0, 1};
    prgSwap = false;
    MapPrg();
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint16_t>(page << chrShift);
        MapChr1k(page, page);
    }
    mirrorControl = Image().mirroring == MirrorHorizontal ? 1 : 0;
    SetNameTableMirroring(Mirrorings[mirrorControl]);
    // The console's reset line does not reach the cartridge: a soft reset leaves the IRQ counting.
    if (hard) {
        latch6000 = 0;
        irqLatch = irqControl = irqCounter = 0;
        irqPrescaler = 0;
        irqCycle = 0;
    }
}

void Vrc::MapPrg() {
    const std::uint32_t secondLast = PrgPageFromEnd(2);
    MapPrg8k(prgSwap ? secondLast : prgBanks[0], 4);
    MapPrg8k(prgBanks[1], 5);
    MapPrg8k(prgSwap ? prgBanks[0] : secondLast, 6);
    MapPrg8k(PrgPageFromEnd(1), 7);
}

void Vrc::WriteRegister(std::uint16_t address, std::uint8_t value) {
    const std::uint32_t line = ((address & a1Lines) ? 2u : 0u) | ((address & a0Lines) ? 1u : 0u);
    const std::uint32_t group = address >> 12;
    switch (group) {
    case 0x8:
    case 0xA:
        prgBanks[group == 0xA] = value & (vrc2 ? 0x0F : 0x1F);
        MapPrg();
        break;
    case 0x9:
        if (vrc2) {
            mirrorControl = value & 1;
        } else if (line < 2) {
            mirrorControl = value & 3;
        } else {
            // Bit 0 (work RAM protection) is not emulated: the RAM is always open.
            prgSwap = value & 2;
            MapPrg();
            break;
        }
        SetNameTableMirroring(Mirrorings[mirrorControl]);
        break;
    case 0xF:
        if (vrc2) {
            break;
        }
        SyncIrq(CpuCycle());
        if (line == 0) {
            irqLatch = static_cast<std::uint8_t>((irqLatch & 0xF0) | (value & 0x0F));
        } else if (line == 1) {
            irqLatch = static_cast<std::uint8_t>((irqLatch & 0x0F) | value << 4);
        } else if (line == 2) {
            irqControl = value & 0x07;
            if (irqControl & IrqEnable) {
                irqCounter = irqLatch;
                irqPrescaler = 0;
            }
            LowerIrq();
        } else {
            irqControl = static_cast<std::uint8_t>((irqControl & ~IrqEnable) |
                                                   ((irqControl & IrqEnableAfterAck) ? IrqEnable : 0));
            LowerIrq();
        }
        ScheduleIrq();
        break;
    default: { // $B000-$EFFF: CHR bank (group - $B) x 2 + A1, low nibble on A0 = 0, high on A0 = 1
        const std::uint32_t page = (group - 0xB) * 2 + (line >> 1);
        std::uint16_t bank = chrBanks[page];
        if (line & 1) {
            bank = static_cast<std::uint16_t>((bank & 0x0F) | (value & (vrc2 ? 0x0F : 0x1F)) << 4);
        } else {
            bank = static_cast<std::uint16_t>((bank & 0x1F0) | (value & 0x0F));
        }
        chrBanks[page] = bank;
        MapChr1k(bank >> chrShift, page);
        break;
    }
    }
}

void Vrc::SyncIrq(std::uint64_t now) {
    if (irqControl & IrqEnable) {
        std::uint64_t clocks = now - irqCycle;
        if (!(irqControl & IrqCycleMode)) {
            const std::uint64_t dots = irqPrescaler + clocks * PrescalerStep;
            clocks = dots / PrescalerPeriod;
            irqPrescaler = static_cast<std::uint32_t>(dots % PrescalerPeriod);
        }
        // The counter counts up; the clock after $FF reloads the latch.
        const std::uint64_t toWrap = 256u - irqCounter;
        if (clocks < toWrap) {
            irqCounter = static_cast<std::uint8_t>(irqCounter + clocks);
        } else {
            irqCounter = static_cast<std::uint8_t>(irqLatch + (clocks - toWrap) % (256u - irqLatch));
        }
    }
    irqCycle = now;
}

std::uint64_t Vrc::NextIrqCycle() {
    if (!(irqControl & IrqEnable)) {
        return Apu::Never;
    }
    const std::uint64_t clocks = 256u - irqCounter;
    if (irqControl & IrqCycleMode) {
        return irqCycle + clocks;
    }
    // The first cycle by which the prescaler has gathered `clocks` scanlines' dots.
    const std::uint64_t dots = clocks * PrescalerPeriod - irqPrescaler;
    return irqCycle + (dots + PrescalerStep - 1) / PrescalerStep;
}

void Vrc::OnIrqCycle(std::uint64_t cycle) {
    SyncIrq(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
