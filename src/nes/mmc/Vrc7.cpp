#include "nes/mmc/Vrc7.h"

#include "nes/Apu.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};

} // namespace

Vrc7::Vrc7(Process* process) : Mmc(process) {
    secondLine = Image().submapper == 1 ? 0x08 : Image().submapper == 2 ? 0x10 : 0x18;
    EnsureWram();
}

void Vrc7::Reset(bool hard) {
    Mmc::Reset(hard);
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        prgBanks[slot] = static_cast<std::uint8_t>(slot);
        MapPrg8k(slot, 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
        MapChr1k(page, page);
    }
    control = static_cast<std::uint8_t>(0x40 | (Image().mirroring == MirrorHorizontal ? 1 : 0));
    MapControl();
    if (hard) {
        irq.Reset();
        sound.Reset();
    }
    AttachSound(sound);
}

void Vrc7::MapControl() {
    SetNameTableMirroring(Mirrorings[control & 3]);
    if (control & 0x40) {
        MapWram8k(0, 3);
    } else {
        UnmapPrg8k(3);
    }
}

void Vrc7::WriteRegister(std::uint16_t address, std::uint8_t value) {
    const bool second = address & secondLine;
    const std::uint32_t group = address >> 12;
    switch (group) {
    case 0x8:
        prgBanks[second] = value & 0x3F;
        MapPrg8k(prgBanks[second], 4 + second);
        break;
    case 0x9:
        if (address & 0x20) {
            RunSound();
            sound.Write(value);
        } else if (second) {
            sound.Select(value);
        } else {
            prgBanks[2] = value & 0x3F;
            MapPrg8k(prgBanks[2], 6);
        }
        break;
    case 0xE:
        if (!second) {
            RunSound();
            control = value;
            sound.SetSilenced(value & 0x80);
            MapControl();
            break;
        }
        irq.Sync(CpuCycle());
        irq.WriteLatch(value);
        ScheduleIrq();
        break;
    case 0xF:
        irq.Sync(CpuCycle());
        if (second) {
            irq.Acknowledge();
        } else {
            irq.WriteControl(value);
        }
        LowerIrq();
        ScheduleIrq();
        break;
    default: { // $A000-$D010: CHR banks
        const std::uint32_t page = (group - 0xA) * 2 + second;
        chrBanks[page] = value;
        MapChr1k(value, page);
        break;
    }
    }
}

std::uint64_t Vrc7::NextIrqCycle() {
    return irq.NextCycle();
}

void Vrc7::OnIrqCycle(std::uint64_t cycle) {
    irq.Sync(cycle);
    RaiseIrq();
}

void Vrc7::StateRegisters(StateIo& io) {
    io.Array(prgBanks).Array(chrBanks)(control);
    irq.State(io);
    sound.State(io);
    if (io.Loading()) {
        sound.SetSilenced(control & 0x80);
    }
}

} // namespace Halvo::Nes
