#include "nes/mmc/Namco108.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

Namco108::Namco108(Process* process) : Mmc3(process) {
    // The MMC3 boards always carry work RAM; this chip's boards have none of their own.
    if (!Image().hasWram) {
        wram.reset();
    }
}

void Namco108::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address >= 0xA000) {
        return;
    }
    // Six bank lines for PRG and CHR; the select register has no mode bits.
    if (address & 1) {
        Mmc3::WriteRegister(0x8001, value & 0x3F);
    } else {
        Mmc3::WriteRegister(0x8000, value & 7);
    }
}

} // namespace Halvo::Nes

namespace Halvo::Nes {

void Namco3446::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (address < 0xA000 && (address & 1) && bankSelect < 6) {
        if (bankSelect >= 2) {
            const std::uint32_t page = (bankSelect - 2) * 2;
            MapChrBank(value * 2u, page);
            MapChrBank(value * 2u + 1, page + 1);
        }
        return;
    }
    Namco108::WriteRegister(address, value);
}

Namco3433::Namco3433(Process* process) : Namco108(process) {
    oneScreen = Image().boardName.find("3453") != std::string::npos;
}

void Namco3433::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (oneScreen) {
        SetNameTableMirroring((value & 0x40) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
    Namco108::WriteRegister(address, value);
}

void Namco3433::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    Namco108::MapChrBank(page < 4 ? (bank & 0x3F) : (bank | 0x40), page);
}

void Namco3425::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    Namco108::MapChrBank(bank, page);
    if (page == 0 || page == 2) {
        MapNameTable(page, (bank >> 5) & 1);
        MapNameTable(page + 1, (bank >> 5) & 1);
    }
}

} // namespace Halvo::Nes
