#include "nes/mmc/Fme7.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};

} // namespace

Fme7::Fme7(Process* process) : Mmc(process) {
    EnsureWram();
}

void Fme7::Reset(bool hard) {
    Mmc::Reset(hard);
    command = 0;
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
        MapChr1k(page, page);
    }
    bank6000 = 0;
    MapBank6000();
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        prgBanks[slot] = static_cast<std::uint8_t>(slot);
        MapPrg8k(slot, 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    mirrorControl = 0;
    SetNameTableMirroring(Image().mirroring == MirrorHorizontal ? MirrorHorizontal : MirrorVertical);
    // The console's reset line does not reach the cartridge: a soft reset leaves the counter running.
    if (hard) {
        irqEnabled = counterEnabled = false;
        counter = 0;
        counterCycle = 0;
        sound.Reset();
    }
    AttachSound(sound);
}

void Fme7::MapBank6000() {
    const std::uint32_t bank = bank6000 & 0x3F;
    if (!(bank6000 & RamSelect)) {
        MapPrg8k(bank, 3);
    } else if (bank6000 & RamEnable) {
        MapWram8k(bank, 3);
    } else {
        UnmapPrg8k(3);
    }
}

void Fme7::SyncCounter(std::uint64_t now) {
    if (counterEnabled) {
        counter = static_cast<std::uint16_t>(counter - (now - counterCycle));
    }
    counterCycle = now;
}

void Fme7::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address < 0xA000) {
        command = value & 0x0F;
        return;
    }
    // $C000-$FFFF are the 5B's sound registers.
    if (address >= 0xE000) {
        RunSound();
        sound.Write(value);
        return;
    }
    if (address >= 0xC000) {
        sound.Select(value);
        return;
    }
    if (command < 8) {
        chrBanks[command] = value;
        MapChr1k(value, command);
    } else if (command == 8) {
        bank6000 = value;
        MapBank6000();
    } else if (command < 12) {
        prgBanks[command - 9u] = value & 0x3F;
        MapPrg8k(value & 0x3F, 4 + command - 9u);
    } else if (command == 12) {
        mirrorControl = value & 3;
        SetNameTableMirroring(Mirrorings[mirrorControl]);
    } else {
        SyncCounter(CpuCycle());
        if (command == 13) {
            // Any write here acknowledges a raised IRQ.
            irqEnabled = value & 0x01;
            counterEnabled = value & 0x80;
            LowerIrq();
        } else if (command == 14) {
            counter = static_cast<std::uint16_t>((counter & 0xFF00) | value);
        } else {
            counter = static_cast<std::uint16_t>((counter & 0x00FF) | value << 8);
        }
        ScheduleIrq();
    }
}

std::uint64_t Fme7::NextIrqCycle() {
    // The wrap comes with the decrement after the one that reaches 0.
    return irqEnabled && counterEnabled ? counterCycle + counter + 1 : Apu::Never;
}

void Fme7::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
