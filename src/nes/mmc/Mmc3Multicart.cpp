#include "nes/mmc/Mmc3Multicart.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

Mmc3Multicart::Mmc3Multicart(Process* process) : Mmc3(process) {
    qj = Image().boardName.find("QJ") != std::string::npos;
    if (!Image().hasWram) {
        wram.reset();
    }
}

void Mmc3Multicart::Reset(bool hard) {
    outer = 0;
    Mmc3::Reset(hard);
    WatchLowWrites(0x6000, 0x7FFF);
    MapOuter();
}

std::uint32_t Mmc3Multicart::PrgPage(std::uint32_t bank) const {
    if (qj) {
        return (bank & 0x0F) | (outer & 1u) << 4;
    }
    const std::uint32_t block = outer & 7;
    if (block < 3) {
        return bank & 0x07;
    }
    if (block == 3) {
        return (bank & 0x07) | 0x08;
    }
    return block == 7 ? (bank & 0x07) | 0x18 : (bank & 0x0F) | 0x10;
}

void Mmc3Multicart::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    chrBanks[page] = bank;
    const std::uint32_t half = qj ? (outer & 1u) << 7 : (outer & 4u) << 5;
    Mmc3::MapChrBank((bank & 0x7F) | half, page);
}

void Mmc3Multicart::MapOuter() {
    MapPrg8k(PrgPage(r6), r6Slot);
    MapPrg8k(PrgPage(r7), 5);
    MapPrg8k(PrgPage(0xFE), fixedSlot);
    MapPrg8k(PrgPage(0xFF), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChrBank(chrBanks[page], page);
    }
}

void Mmc3Multicart::WriteRegister(std::uint16_t address, std::uint8_t value) {
    Mmc3::WriteRegister(address, value);
    if (address < 0xA000) {
        MapOuter();
    }
}

void Mmc3Multicart::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address >= 0x6000) {
        outer = value;
        MapOuter();
    } else {
        PassLowWrite(address, value);
    }
}

} // namespace Halvo::Nes
