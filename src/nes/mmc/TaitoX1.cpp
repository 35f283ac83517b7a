#include "nes/mmc/TaitoX1.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

// Work RAM begins at $5000; the chip's RAM and the X1-017's begin at $6000.
constexpr std::uint32_t RamAt6000 = 0x1000;
constexpr std::uint32_t RegisterPage = 0x7800 >> Process::PageShift;

std::uint8_t ReadX1005Page(Process* process, std::uint32_t address) {
    return static_cast<const TaitoX1005&>(process->GetMmc()).ReadRam(address);
}

void WriteX1005Page(Process* process, std::uint32_t address, std::uint8_t value) {
    process->GetMmc().WriteLow(static_cast<std::uint16_t>(address), value);
}

} // namespace

TaitoX1005::TaitoX1005(Process* process) : Mmc(process) {
    nameTablesFromChr = Image().boardName.find("207") != std::string::npos;
    EnsureWram();
}

void TaitoX1005::Reset(bool hard) {
    Mmc::Reset(hard);
    MapCpuHandlers(RegisterPage, ReadX1005Page, WriteX1005Page);
    WatchLowWrites(0x7800, 0x7FFF);
    chrBanks = {0, 2, 4, 5, 6, 7};
    prgBanks = {0, 1, 2};
    mirrorControl = Image().mirroring == MirrorVertical ? 1 : 0;
    ramEnable = 0;
    Map();
}

std::uint8_t TaitoX1005::ReadRam(std::uint32_t address) const {
    if (address >= 0x7F00 && ramEnable == 0xA3) {
        return wram[RamAt6000 + (address & 0x7F)];
    }
    return static_cast<std::uint8_t>(address >> 8); // open bus
}

void TaitoX1005::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address >= 0x7F00) {
        if (ramEnable == 0xA3) {
            wram[RamAt6000 + (address & 0x7F)] = value;
        }
        return;
    }
    if (address < 0x7EF0) {
        return;
    }
    const std::uint32_t reg = address & 0x0F;
    if (reg < 6) {
        chrBanks[reg] = value;
    } else if (reg < 8) {
        mirrorControl = value & 1;
    } else if (reg < 10) {
        ramEnable = value;
    } else {
        prgBanks[(reg - 10) / 2] = value;
    }
    Map();
}

void TaitoX1005::Map() {
    for (std::uint32_t i = 0; i < 2; ++i) {
        const std::uint32_t bank = chrBanks[i] & 0x7E;
        MapChr1k(bank, i * 2);
        MapChr1k(bank + 1, i * 2 + 1);
    }
    for (std::uint32_t i = 2; i < 6; ++i) {
        MapChr1k(chrBanks[i], i + 2);
    }
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        MapPrg8k(prgBanks[slot], 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    if (nameTablesFromChr) {
        const std::uint32_t upper = chrBanks[1] >> 7;
        const std::uint32_t lower = chrBanks[0] >> 7;
        MapNameTable(0, lower);
        MapNameTable(1, lower);
        MapNameTable(2, upper);
        MapNameTable(3, upper);
    } else {
        SetNameTableMirroring(mirrorControl ? MirrorVertical : MirrorHorizontal);
    }
}

TaitoX1017::TaitoX1017(Process* process) : Mmc(process) {
    EnsureWram();
}

void TaitoX1017::Reset(bool hard) {
    Mmc::Reset(hard);
    WatchLowWrites(0x7800, 0x7FFF);
    chrBanks = {0, 2, 4, 5, 6, 7};
    prgBanks = {0, 4, 8};
    control = Image().mirroring == MirrorVertical ? 1 : 0;
    Map();
}

void TaitoX1017::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address < 0x7EF0 || address > 0x7EFF) {
        PassLowWrite(address, value);
        return;
    }
    const std::uint32_t reg = address & 0x0F;
    if (reg < 6) {
        chrBanks[reg] = value;
    } else if (reg == 6) {
        control = value & 3;
    } else if (reg >= 10 && reg < 13) {
        prgBanks[reg - 10] = value;
    }
    // $7EF7-$7EF9: the RAM's write enables; $7EFD-$7EFF: unused.
    Map();
}

void TaitoX1017::Map() {
    const std::uint32_t invert = (control & 2) ? 4 : 0;
    for (std::uint32_t i = 0; i < 2; ++i) {
        const std::uint32_t bank = chrBanks[i] & 0xFE;
        MapChr1k(bank, (i * 2) ^ invert);
        MapChr1k(bank + 1, (i * 2 + 1) ^ invert);
    }
    for (std::uint32_t i = 2; i < 6; ++i) {
        MapChr1k(chrBanks[i], (i + 2) ^ invert);
    }
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        MapPrg8k(prgBanks[slot] >> 2, 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    SetNameTableMirroring((control & 1) ? MirrorVertical : MirrorHorizontal);
}

} // namespace Halvo::Nes
