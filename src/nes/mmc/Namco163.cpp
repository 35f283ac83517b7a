#include "nes/mmc/Namco163.h"

#include "nes/Apu.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint16_t IrqEnabled = 0x8000;
constexpr std::uint16_t CountMask = 0x7FFF;
constexpr std::uint32_t Mirrorings340[4] = {MirrorSinglePage0, MirrorVertical, MirrorSinglePage1,
                                            MirrorHorizontal};

std::uint8_t ReadIoPage(Process* process, std::uint32_t address) {
    return static_cast<Namco163&>(process->GetMmc()).ReadIo(address);
}

void WriteIoPage(Process* process, std::uint32_t address, std::uint8_t value) {
    static_cast<Namco163&>(process->GetMmc()).WriteIo(address, value);
}

} // namespace

Namco163::Namco163(Process* process) : Mmc(process) {
    const std::string& name = Image().boardName;
    chip = name.find("175") != std::string::npos   ? Chip::N175
           : name.find("340") != std::string::npos ? Chip::N340
                                                   : Chip::N163;
    if (chip != Chip::N340) {
        EnsureWram();
    }
}

void Namco163::Reset(bool hard) {
    Mmc::Reset(hard);
    if (chip == Chip::N163) {
        // $4800-$4FFF: the sound RAM port; $5000-$5FFF: the IRQ counter.
        MapCpuHandlers(0x4800 >> Process::PageShift, ReadIoPage, WriteIoPage);
        MapCpuHandlers(0x5000 >> Process::PageShift, ReadIoPage, WriteIoPage);
        MapCpuHandlers(0x5800 >> Process::PageShift, ReadIoPage, WriteIoPage);
    }
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        prgBanks[slot] = static_cast<std::uint8_t>(slot);
        MapPrg8k(slot, 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
        MapChr1k(page, page);
    }
    SetNameTableMirroring(Image().mirroring == MirrorHorizontal ? MirrorHorizontal : MirrorVertical);
    nameTables = Image().mirroring == MirrorHorizontal ? std::array<std::uint8_t, 4>{0xE0, 0xE0, 0xE1, 0xE1}
                                                       : std::array<std::uint8_t, 4>{0xE0, 0xE1, 0xE0, 0xE1};
    if (hard) {
        irqCounter = 0;
        irqCycle = 0;
        sound.Reset();
    }
    if (chip == Chip::N163) {
        AttachSound(sound);
    }
}

void Namco163::MapNameTables() {
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        const std::uint8_t bank = nameTables[slot];
        if (bank >= 0xE0 || chrPageCount == 0) {
            MapNameTable(slot, bank & 1);
        } else {
            MapNameTableMemory(slot, Image().chrRom.get() + std::size_t{bank % chrPageCount} * ChrPageSize,
                               false);
        }
    }
}

void Namco163::WriteRegister(std::uint16_t address, std::uint8_t value) {
    const std::uint32_t group = (address >> 11) & 0x0F; // 0-15 for $8000, $8800, ... $F800
    if (group < 8) {
        chrBanks[group] = value;
        MapChr1k(value, group);
    } else if (group < 12) {
        if (chip == Chip::N163) {
            nameTables[group - 8] = value;
            MapNameTables();
        }
    } else if (group < 15) {
        prgBanks[group - 12] = value;
        MapPrg8k(value & 0x3F, 4 + group - 12);
        if (group == 12 && chip == Chip::N163) {
            RunSound();
            sound.SetEnabled(!(value & 0x40));
        } else if (group == 12 && chip == Chip::N340) {
            SetNameTableMirroring(Mirrorings340[value >> 6]);
        }
    } else if (chip == Chip::N163) {
        sound.WriteAddress(value);
    }
}

std::uint8_t Namco163::ReadIo(std::uint32_t address) {
    if (address < 0x5000) {
        RunSound();
        return sound.ReadData();
    }
    SyncIrq(CpuCycle());
    return static_cast<std::uint8_t>(address < 0x5800 ? irqCounter : irqCounter >> 8);
}

void Namco163::WriteIo(std::uint32_t address, std::uint8_t value) {
    if (address < 0x5000) {
        RunSound();
        sound.WriteData(value);
        return;
    }
    SyncIrq(CpuCycle());
    if (address < 0x5800) {
        irqCounter = static_cast<std::uint16_t>((irqCounter & 0xFF00) | value);
    } else {
        irqCounter = static_cast<std::uint16_t>((irqCounter & 0x00FF) | value << 8);
    }
    // Either write acknowledges the IRQ.
    LowerIrq();
    ScheduleIrq();
}

void Namco163::SyncIrq(std::uint64_t now) {
    if ((irqCounter & IrqEnabled) && (irqCounter & CountMask) != CountMask) {
        const std::uint64_t count =
            std::min<std::uint64_t>((irqCounter & CountMask) + (now - irqCycle), CountMask);
        irqCounter = static_cast<std::uint16_t>(IrqEnabled | count);
    }
    irqCycle = now;
}

std::uint64_t Namco163::NextIrqCycle() {
    if (chip != Chip::N163 || !(irqCounter & IrqEnabled) || (irqCounter & CountMask) == CountMask) {
        return Apu::Never;
    }
    return irqCycle + (CountMask - (irqCounter & CountMask));
}

void Namco163::OnIrqCycle(std::uint64_t cycle) {
    SyncIrq(cycle);
    RaiseIrq();
}

void Namco163::StateRegisters(StateIo& io) {
    io.Array(prgBanks).Array(chrBanks).Array(nameTables)(irqCounter, irqCycle);
    sound.State(io);
}

} // namespace Halvo::Nes
