#include "nes/mmc/Rambo1.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

Rambo1::Rambo1(Process* process) : Mmc3(process) {
    // Its own counter keeps the once-a-line clock in both timing models.
    a12Hook = false;
    nameTablesFromChr = Image().boardName.find("800037") != std::string::npos;
    if (!Image().hasWram) {
        wram.reset();
    }
}

void Rambo1::Reset(bool hard) {
    Mmc3::Reset(hard);
    regs = {0, 2, 4, 5, 6, 7, 0, 1, 1, 3, 0, 0, 0, 0, 0, 2};
    select = 0;
    MapBanks();
    if (hard) {
        cycleMode = false;
        clockCycle = 0;
    }
}

void Rambo1::MapBanks() {
    const bool rotated = select & 0x40;
    MapPrg8k(rotated ? regs[15] : regs[6], 4);
    MapPrg8k(rotated ? regs[6] : regs[7], 5);
    MapPrg8k(rotated ? regs[7] : regs[15], 6);
    MapPrg8k(PrgPageFromEnd(1), 7);
    const std::uint32_t invert = (select & 0x80) ? 4 : 0;
    std::array<std::uint32_t, 8> chr = {regs[0], regs[0] + 1u, regs[1], regs[1] + 1u,
                                        regs[2], regs[3],      regs[4], regs[5]};
    if (select & 0x20) {
        chr[1] = regs[8];
        chr[3] = regs[9];
    }
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(chr[page], page ^ invert);
        if (nameTablesFromChr && (page ^ invert) < 4) {
            MapNameTable(page ^ invert, (chr[page] >> 7) & 1);
        }
    }
}

void Rambo1::SyncClocks(std::uint64_t now) {
    if (!cycleMode) {
        clockCycle = now;
        return;
    }
    std::uint64_t clocks = (now - clockCycle) / CyclesPerClock;
    clockCycle += clocks * CyclesPerClock;
    if (clocks == 0) {
        return;
    }
    irqRunning = true;
    if (clocks <= irqCounter) {
        irqCounter = static_cast<std::uint8_t>(irqCounter - clocks);
        return;
    }
    // The clock that finds 0 reloads the latch; the counter then runs down from it again and again.
    clocks -= irqCounter + 1u;
    irqCounter = static_cast<std::uint8_t>(irqLatch - clocks % (irqLatch + 1u));
}

void Rambo1::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xE001) {
    case 0x8000:
        select = value;
        MapBanks();
        break;
    case 0x8001:
        regs[select & 0x0F] = value;
        MapBanks();
        break;
    case 0xA000:
        if (!nameTablesFromChr && mirroring != MirrorFourScreen) {
            SetNameTableMirroring((value & 1) ? MirrorHorizontal : MirrorVertical);
        }
        break;
    default: // $C000, $C001, $E000, $E001: the counter
        SyncClocks(CpuCycle());
        Mmc3::WriteRegister(address & 0xE001, value);
        if ((address & 0xE001) == 0xC001) {
            cycleMode = value & 1;
            clockCycle = CpuCycle();
        } else if ((address & 0xE001) == 0xE000) {
            LowerIrq();
        }
        ScheduleIrq();
        break;
    }
}

void Rambo1::OnScanline() {
    if (!cycleMode) {
        Mmc3::OnScanline();
    }
}

std::uint64_t Rambo1::NextIrqCycle() {
    if (!cycleMode || !irqEnabled) {
        return Apu::Never;
    }
    return clockCycle + (irqCounter + 1u) * std::uint64_t{CyclesPerClock};
}

void Rambo1::OnIrqCycle(std::uint64_t cycle) {
    SyncClocks(cycle);
    irqRunning = false;
    RaiseIrq();
}

} // namespace Halvo::Nes
