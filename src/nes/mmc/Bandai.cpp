#include "nes/mmc/Bandai.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorVertical, MirrorHorizontal, MirrorSinglePage0,
                                         MirrorSinglePage1};
// Where the EEPROM's bytes lie in work RAM: at $6000, the part a battery save keeps.
constexpr std::uint32_t EepromOffset = 0x1000;
constexpr std::uint8_t Scl = 0x20;
constexpr std::uint8_t Sda = 0x40;
constexpr std::uint8_t WramEnable = 0x20;

std::uint8_t ReadLow(Process* process, std::uint32_t) {
    return static_cast<const Bandai&>(process->GetMmc()).ReadEeprom();
}

void WriteLowPage(Process* process, std::uint32_t address, std::uint8_t value) {
    process->GetMmc().WriteLow(static_cast<std::uint16_t>(address), value);
}

} // namespace

Bandai::Bandai(Process* process) : Mmc(process) {
    const std::string& name = Image().boardName;
    if (name.find("LZ93D50") != std::string::npos) {
        chip = Chip::Lz93d50;
        workRamBoard = name.find("SRAM") != std::string::npos;
        hasEeprom = !workRamBoard && name.find("24C0") != std::string::npos;
    } else if (name.find("FCG-1") != std::string::npos || name.find("FCG-2") != std::string::npos) {
        chip = Chip::Fcg;
    } else {
        // A bare "FCG" (mapper 16 without a submapper): both chips' ranges, and the EEPROM that most
        // of its games carry.
        hasEeprom = true;
    }
    if (hasEeprom || workRamBoard) {
        EnsureWram();
    }
    if (hasEeprom) {
        const bool small = name.find("24C01") != std::string::npos;
        eeprom.Attach(small ? SerialEeprom::Chip::X24C01 : SerialEeprom::Chip::C24C02,
                      wram.get() + EepromOffset);
    }
    if (workRamBoard) {
        EnsureChrRam();
    }
}

void Bandai::Reset(bool hard) {
    Mmc::Reset(hard);
    if (!workRamBoard) {
        for (std::uint32_t page = 0x6000 >> Process::PageShift; page < (0x8000 >> Process::PageShift);
             ++page) {
            MapCpuHandlers(page, ReadLow, WriteLowPage);
        }
        // Writes there reach WriteLow after the PPU has caught up.
        WatchLowWrites(0x6000, 0x7FFF);
    }
    chrBanks.fill(0);
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
    }
    prgBank = prgOuter = 0;
    control = 0;
    mirrorControl = Image().mirroring == MirrorHorizontal ? 1 : 0;
    MapBanks();
    SetNameTableMirroring(Mirrorings[mirrorControl]);
    if (hard) {
        irqEnabled = false;
        latch = counter = 0;
        counterCycle = 0;
        eeprom.Reset();
    }
}

void Bandai::MapBanks() {
    if (workRamBoard) {
        const std::uint32_t outer = std::uint32_t{prgOuter} << 4;
        MapPrg16k(outer | (prgBank & 0x0F), 4);
        MapPrg16k(outer | 0x0F, 6);
        if (control & WramEnable) {
            MapWram8k(0, 3);
        } else {
            UnmapPrg8k(3);
        }
        return;
    }
    MapPrg16k(prgBank & 0x0F, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(chrBanks[page], page);
    }
}

std::uint8_t Bandai::ReadEeprom() const {
    // The EEPROM's data line in bit 4; the chip drives no other bit.
    return hasEeprom && eeprom.Output() ? 0x10 : 0x00;
}

void Bandai::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (chip != Chip::Fcg) {
        Write(address & 0x0F, value, true);
    }
}

void Bandai::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (chip != Chip::Lz93d50) {
        Write(address & 0x0F, value, false);
    }
}

void Bandai::SyncCounter(std::uint64_t now) {
    if (irqEnabled) {
        counter = static_cast<std::uint16_t>(counter - (now - counterCycle));
    }
    counterCycle = now;
}

void Bandai::Write(std::uint32_t reg, std::uint8_t value, bool latched) {
    if (reg < 8) {
        chrBanks[reg] = value;
        if (workRamBoard) {
            prgOuter = value & 1;
        }
        MapBanks();
    } else if (reg == 8) {
        prgBank = value;
        MapBanks();
    } else if (reg == 9) {
        mirrorControl = value & 3;
        SetNameTableMirroring(Mirrorings[mirrorControl]);
    } else if (reg <= 0x0C) {
        SyncCounter(CpuCycle());
        if (reg == 0x0A) {
            // Acknowledges a raised IRQ; the LZ93D50 starts from its latch.
            irqEnabled = value & 1;
            if (latched) {
                counter = latch;
            }
            LowerIrq();
        } else {
            std::uint16_t& target = latched ? latch : counter;
            target = reg == 0x0B ? static_cast<std::uint16_t>((target & 0xFF00) | value)
                                 : static_cast<std::uint16_t>((target & 0x00FF) | value << 8);
        }
        ScheduleIrq();
    } else if (reg == 0x0D && latched) {
        control = value;
        if (hasEeprom) {
            eeprom.Lines((value & Scl) != 0, (value & Sda) != 0);
        } else if (workRamBoard) {
            MapBanks();
        }
    }
}

std::uint64_t Bandai::NextIrqCycle() {
    // A counter of 0 is reached again only after it wrapped through $FFFF.
    return irqEnabled ? counterCycle + (counter == 0 ? 0x10000u : counter) : Apu::Never;
}

void Bandai::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
