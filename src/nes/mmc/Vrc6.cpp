#include "nes/mmc/Vrc6.h"

#include "nes/Apu.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};

} // namespace

Vrc6::Vrc6(Process* process) : Mmc(process) {
    swapLines = Image().boardName.find("VRC6B") != std::string::npos;
    EnsureWram();
}

void Vrc6::Reset(bool hard) {
    Mmc::Reset(hard);
    prg16 = 0;
    prg8 = 2;
    MapPrg16k(0, 4);
    MapPrg8k(2, 6);
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
        MapChr1k(page, page);
    }
    banking = Image().mirroring == MirrorHorizontal ? 0x24 : 0x20;
    SetNameTableMirroring(Mirrorings[(banking >> 2) & 3]);
    if (hard) {
        irq.Reset();
        sound.Reset();
    }
    AttachSound(sound);
}

void Vrc6::WriteRegister(std::uint16_t address, std::uint8_t value) {
    std::uint32_t line = address & 3;
    if (swapLines) {
        line = ((line & 1) << 1) | (line >> 1);
    }
    switch (address >> 12) {
    case 0x8:
        prg16 = value & 0x0F;
        MapPrg16k(prg16, 4);
        break;
    case 0x9:
    case 0xA:
        RunSound();
        sound.Write((address >> 12) - 0x9, line, value);
        break;
    case 0xB:
        if (line < 3) {
            RunSound();
            sound.Write(2, line, value);
        } else {
            // Only the standard banking mode (1 KiB CHR pages, name tables from the console's RAM) is
            // used by the games; its bits 2-3 choose the mirroring.
            banking = value;
            SetNameTableMirroring(Mirrorings[(banking >> 2) & 3]);
        }
        break;
    case 0xC:
        prg8 = value & 0x1F;
        MapPrg8k(prg8, 6);
        break;
    case 0xD:
    case 0xE: {
        const std::uint32_t page = ((address >> 12) - 0xD) * 4 + line;
        chrBanks[page] = value;
        MapChr1k(value, page);
        break;
    }
    default: // $F000-$F003: the IRQ latch, control and acknowledgement
        irq.Sync(CpuCycle());
        if (line == 0) {
            irq.WriteLatch(value);
        } else if (line == 1) {
            irq.WriteControl(value);
            LowerIrq();
        } else if (line == 2) {
            irq.Acknowledge();
            LowerIrq();
        }
        ScheduleIrq();
        break;
    }
}

std::uint64_t Vrc6::NextIrqCycle() {
    return irq.NextCycle();
}

void Vrc6::OnIrqCycle(std::uint64_t cycle) {
    irq.Sync(cycle);
    RaiseIrq();
}

void Vrc6::StateRegisters(StateIo& io) {
    io(prg16, prg8, banking).Array(chrBanks);
    irq.State(io);
    sound.State(io);
}

} // namespace Halvo::Nes
