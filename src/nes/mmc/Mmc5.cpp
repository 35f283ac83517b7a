#include "nes/mmc/Mmc5.h"

#include <algorithm>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

// From the first name-table fetch of a line (where the board sees the line begin) back to the dot
// at which the PPU tells the board about the coming line: 341 - 256 dots, in processor cycles.
constexpr std::uint64_t LineStartDelay = 85 / Cpu::DotsPerCycle;
constexpr std::uint32_t FirstWramBank = 0x6000 >> 13;

std::uint8_t ReadRegisters(Process* process, std::uint32_t address) {
    return static_cast<Mmc5&>(process->GetMmc()).ReadLowRegister(address);
}

void WriteRegisters(Process* process, std::uint32_t address, std::uint8_t value) {
    // Bank and name-table writes change what the PPU's coming fetches see.
    process->GetPpu().CatchUp();
    static_cast<Mmc5&>(process->GetMmc()).WriteLowRegister(address, value);
}

} // namespace

Mmc5::Mmc5(Process* process) : Mmc(process) {
    // The 4 KiB before the first 8 KiB bank stay behind the registers at $5000-$5FFF.
    EnsureWram(0x1000 + WramBytes);
}

void Mmc5::Reset(bool hard) {
    Mmc::Reset(hard);
    MapCpuHandlers(0x5000 >> Process::PageShift, ReadRegisters, WriteRegisters);
    MapCpuHandlers(0x5800 >> Process::PageShift, ReadRegisters, WriteRegisters);
    prgMode = 3;
    prgBanks.fill(0xFF);
    MapPrg();
    chrMode = 3;
    for (std::uint32_t i = 0; i < chrBanks.size(); ++i) {
        chrBanks[i] = static_cast<std::uint16_t>(i & 7);
    }
    chrUpper = 0;
    lastSetBackground = spritePhase = false;
    MapChr();
    ramProtect.fill(0);
    exramMode = 0;
    fillTile = fillColour = 0;
    fillTable.fill(0);
    nameTableMap = Image().mirroring == MirrorVertical ? 0x44 : 0x50;
    MapNameTables();
    factors.fill(0xFF);
    irqLine = 0;
    irqEnabled = irqFlag = inFrame = false;
    lineCount = 0;
    irqRiseCycle = Apu::Never;
    if (hard) {
        exram.fill(0);
        sound.Reset();
    }
    AttachSound(sound);
}

void Mmc5::MapPrgBank(std::uint8_t value, std::uint32_t slot) {
    if (value & 0x80) {
        MapPrg8k(value & 0x7F, slot);
    } else {
        MapWram8k(value & 0x07, slot);
    }
}

void Mmc5::MapPrg() {
    MapWram8k(prgBanks[0] & 0x07, FirstWramBank);
    // $E000 always shows PRG-ROM: the vectors live there.
    const std::uint8_t last = prgBanks[4] | 0x80;
    switch (prgMode) {
    case 0:
        for (std::uint32_t i = 0; i < 4; ++i) {
            MapPrg8k((last & 0x7C) + i, 4 + i);
        }
        break;
    case 1:
        MapPrgBank(prgBanks[2] & 0xFE, 4);
        MapPrgBank(prgBanks[2] | 0x01, 5);
        MapPrg8k(last & 0x7E, 6);
        MapPrg8k((last & 0x7E) + 1u, 7);
        break;
    case 2:
        MapPrgBank(prgBanks[2] & 0xFE, 4);
        MapPrgBank(prgBanks[2] | 0x01, 5);
        MapPrgBank(prgBanks[3], 6);
        MapPrg8k(last & 0x7F, 7);
        break;
    default:
        MapPrgBank(prgBanks[1], 4);
        MapPrgBank(prgBanks[2], 5);
        MapPrgBank(prgBanks[3], 6);
        MapPrg8k(last & 0x7F, 7);
        break;
    }
}

void Mmc5::MapChr() {
    // With 8x16 sprites the background has its own set; with 8x8 ones the set written last serves all.
    const bool background = process->GetPpu().spriteHeight == 16 ? !spritePhase : lastSetBackground;
    // Register i of the set for 1 KiB page `page` of the pattern tables; the background set of four
    // serves both tables.
    const auto reg = [&](std::uint32_t page) {
        return background ? chrBanks[8 + (page & 3)] : chrBanks[page];
    };
    switch (chrMode) {
    case 0:
        MapChr8k(reg(7));
        break;
    case 1:
        MapChr4k(reg(3), 0);
        MapChr4k(reg(7), 1);
        break;
    case 2:
        for (std::uint32_t page = 0; page < 8; page += 2) {
            const std::uint32_t bank = reg(page + 1) * 2u;
            MapChr1k(bank, page);
            MapChr1k(bank + 1, page + 1);
        }
        break;
    default:
        for (std::uint32_t page = 0; page < 8; ++page) {
            MapChr1k(reg(page), page);
        }
        break;
    }
}

void Mmc5::MapNameTables() {
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        const std::uint32_t source = (nameTableMap >> (2 * slot)) & 3;
        if (source < 2) {
            MapNameTable(slot, source);
        } else if (source == 2) {
            MapNameTableMemory(slot, exram.data(), true);
        } else {
            MapNameTableMemory(slot, fillTable.data(), false);
        }
    }
}

std::uint8_t Mmc5::ReadLowRegister(std::uint32_t address) {
    if (address >= 0x5C00) {
        // As name table or attribute memory the extended RAM is the PPU's alone.
        return exramMode >= 2 ? exram[address & 0x3FF] : 0;
    }
    switch (address) {
    case 0x5015:
        RunSound();
        return sound.ReadStatus();
    case 0x5204: {
        const auto status = static_cast<std::uint8_t>((irqFlag ? 0x80 : 0) | (inFrame ? 0x40 : 0));
        irqFlag = false;
        LowerIrq();
        return status;
    }
    case 0x5205:
        return static_cast<std::uint8_t>(factors[0] * factors[1]);
    case 0x5206:
        return static_cast<std::uint8_t>((factors[0] * factors[1]) >> 8);
    default:
        return 0;
    }
}

void Mmc5::WriteLowRegister(std::uint32_t address, std::uint8_t value) {
    if (address <= 0x5015) {
        RunSound();
        sound.Write(address, value);
        return;
    }
    if (address >= 0x5C00) {
        if (exramMode != 3) {
            exram[address & 0x3FF] = value;
        }
        return;
    }
    if (address >= 0x5113 && address <= 0x5117) {
        prgBanks[address - 0x5113] = value;
        MapPrg();
        return;
    }
    if (address >= 0x5120 && address <= 0x512B) {
        const std::uint32_t index = address - 0x5120;
        chrBanks[index] = static_cast<std::uint16_t>(value | chrUpper << 8);
        lastSetBackground = index >= 8;
        MapChr();
        return;
    }
    switch (address) {
    case 0x5100:
        prgMode = value & 3;
        MapPrg();
        break;
    case 0x5101:
        chrMode = value & 3;
        MapChr();
        break;
    case 0x5102:
    case 0x5103:
        ramProtect[address - 0x5102] = value & 3;
        break;
    case 0x5104:
        exramMode = value & 3;
        MapChr();
        break;
    case 0x5105:
        nameTableMap = value;
        MapNameTables();
        break;
    case 0x5106:
    case 0x5107:
        if (address == 0x5106) {
            fillTile = value;
        } else {
            fillColour = value & 3;
        }
        std::fill_n(fillTable.begin(), 960, fillTile);
        std::fill(fillTable.begin() + 960, fillTable.end(), static_cast<std::uint8_t>(fillColour * 0x55));
        break;
    case 0x5130:
        chrUpper = value & 3;
        break;
    case 0x5203:
        irqLine = value;
        break;
    case 0x5204:
        irqEnabled = value & 0x80;
        if (!irqEnabled) {
            LowerIrq();
        } else if (irqFlag) {
            RaiseIrq();
        }
        break;
    case 0x5205:
    case 0x5206:
        factors[address - 0x5205] = value;
        break;
    default: // the sound channels, the vertical split and the rest
        break;
    }
}

void Mmc5::OnScanline() {
    const Ppu& ppu = process->GetPpu();
    if (!ppu.RenderingEnabled() || ppu.scanline >= Ppu::VisibleLines) {
        inFrame = false;
        return;
    }
    if (!inFrame) {
        inFrame = true;
        lineCount = 0;
    } else {
        ++lineCount;
    }
    // Line 0 never matches: the count has no line before the first to be compared on.
    if (irqLine != 0 && lineCount == irqLine) {
        irqRiseCycle = CpuCycle() + LineStartDelay;
        ScheduleIrq();
    }
}

void Mmc5::OnVBlank() {
    inFrame = false;
}

std::uint64_t Mmc5::NextIrqCycle() {
    return irqRiseCycle;
}

void Mmc5::OnIrqCycle(std::uint64_t) {
    irqRiseCycle = Apu::Never;
    irqFlag = true;
    if (irqEnabled) {
        RaiseIrq();
    }
}

void Mmc5::OnPatternPhase(bool sprites) {
    spritePhase = sprites;
    // Only 8x16 sprites and the per-tile banks of the extended attributes make the phases differ.
    if (process->GetPpu().spriteHeight == 16 || exramMode == 1) {
        MapChr();
    }
}

std::uint8_t Mmc5::GetAttribute(std::uint16_t nameTableAddress) {
    if (exramMode != 1) {
        return 0;
    }
    // Each tile's extended-RAM byte picks its own 4 KiB CHR bank (bits 0-5, with the $5130 bits above)
    // and its palette (bits 6-7). Bit 2 makes the attribute non-zero, which the renderer ignores.
    const std::uint8_t extended = exram[nameTableAddress & 0x3FF];
    MapChr4k(static_cast<std::uint32_t>(extended & 0x3F) | static_cast<std::uint32_t>(chrUpper) << 6,
             process->GetPpu().bgPatternBase >> 12);
    return static_cast<std::uint8_t>(4 | extended >> 6);
}

} // namespace Halvo::Nes
