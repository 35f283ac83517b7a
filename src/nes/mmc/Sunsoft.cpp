#include "nes/mmc/Sunsoft.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};
// Which of the two name-table banks each slot shows, per mirroring.
constexpr std::uint8_t NameTableBankOfSlot[4][4] = {{0, 1, 0, 1}, {0, 0, 1, 1}, {0, 0, 0, 0}, {1, 1, 1, 1}};

void MapCommon(Mmc& board) {
    board.MapPrg16k(0, 4);
    board.MapPrg16k(board.PrgPageFromEnd(2) / 2, 6);
    for (std::uint32_t table = 0; table < 2; ++table) {
        board.MapChr4k(table, table);
    }
}

void MapChr2k(Mmc& board, std::uint32_t bank, std::uint32_t quarter) {
    board.MapChr1k(bank * 2, quarter * 2);
    board.MapChr1k(bank * 2 + 1, quarter * 2 + 1);
}

} // namespace

void Sunsoft3::Reset(bool hard) {
    Mmc::Reset(hard);
    MapCommon(*this);
    SetNameTableMirroring(Image().mirroring == MirrorHorizontal ? MirrorHorizontal : MirrorVertical);
    lowNext = false;
    if (hard) {
        irqEnabled = false;
        counter = 0;
        counterCycle = 0;
    }
}

void Sunsoft3::SyncCounter(std::uint64_t now) {
    if (irqEnabled) {
        counter = static_cast<std::uint16_t>(counter - (now - counterCycle));
    }
    counterCycle = now;
}

void Sunsoft3::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (!(address & 0x0800)) {
        return;
    }
    switch (address & 0xF000) {
    case 0x8000:
    case 0x9000:
    case 0xA000:
    case 0xB000:
        MapChr2k(*this, value, (address >> 12) - 8);
        break;
    case 0xC000:
        SyncCounter(CpuCycle());
        counter = lowNext ? static_cast<std::uint16_t>((counter & 0xFF00) | value)
                          : static_cast<std::uint16_t>((counter & 0x00FF) | value << 8);
        lowNext = !lowNext;
        ScheduleIrq();
        break;
    case 0xD000:
        SyncCounter(CpuCycle());
        irqEnabled = value & 0x10;
        lowNext = false;
        LowerIrq();
        ScheduleIrq();
        break;
    case 0xE000:
        SetNameTableMirroring(Mirrorings[value & 3]);
        break;
    default: // $F800
        MapPrg16k(value, 4);
        break;
    }
}

std::uint64_t Sunsoft3::NextIrqCycle() {
    return irqEnabled ? counterCycle + counter + 1 : Apu::Never;
}

void Sunsoft3::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    irqEnabled = false;
    RaiseIrq();
}

Sunsoft4::Sunsoft4(Process* process) : Mmc(process) {
    EnsureWram();
}

void Sunsoft4::Reset(bool hard) {
    Mmc::Reset(hard);
    MapCommon(*this);
    nameTableBanks = {0, 0};
    control = Image().mirroring == MirrorHorizontal ? 1 : 0;
    prg = 0x10;
    MapNameTables();
}

void Sunsoft4::MapNameTables() {
    const std::uint32_t mode = control & 3;
    if (!(control & 0x10) || chrPageCount == 0) {
        SetNameTableMirroring(Mirrorings[mode]);
        return;
    }
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        const std::uint32_t bank = (nameTableBanks[NameTableBankOfSlot[mode][slot]] | 0x80u) % chrPageCount;
        MapNameTableMemory(slot, Image().chrRom.get() + bank * ChrPageSize, false);
    }
}

void Sunsoft4::WriteRegister(std::uint16_t address, std::uint8_t value) {
    switch (address & 0xF000) {
    case 0x8000:
    case 0x9000:
    case 0xA000:
    case 0xB000:
        MapChr2k(*this, value, (address >> 12) - 8);
        break;
    case 0xC000:
    case 0xD000:
        nameTableBanks[(address >> 12) & 1] = value & 0x7F;
        MapNameTables();
        break;
    case 0xE000:
        control = value & 0x13;
        MapNameTables();
        break;
    default:
        prg = value;
        MapPrg16k(value & 0x0F, 4);
        if (prg & 0x10) {
            MapWram8k(0, 3);
        } else {
            UnmapPrg8k(3);
        }
        break;
    }
}

} // namespace Halvo::Nes
