#include "nes/mmc/Homebrew.h"

#include <cstring>

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

UNRom512::UNRom512(Process* process) : Mmc(process) {
    EnsureChrRam(4 * ChrRamSize);
    flash = Image().hasBattery && prgPageCount != 0;
    if (flash) {
        // The chip starts out with the image's contents; a battery save read afterwards replaces them.
        flashSize = prgPageCount * PrgPageSize;
        EnsureWram(0x1000 + flashSize);
        std::memcpy(Flash(), Image().prgRom.get(), flashSize);
    }
}

void UNRom512::MapPrg(std::uint32_t bank, std::uint32_t slot) {
    if (!flash) {
        MapPrg16k(bank, slot);
        return;
    }
    const std::uint32_t pages = prgPageCount;
    MapPrgMemory8k(Flash() + (bank * 2 % pages) * PrgPageSize, slot);
    MapPrgMemory8k(Flash() + ((bank * 2 + 1) % pages) * PrgPageSize, slot + 1);
}

void UNRom512::WriteFlash(std::uint32_t address, std::uint8_t value) {
    const std::uint32_t command = address & 0x7FFF;
    const bool unlock1 = command == 0x5555 && value == 0xAA;
    const bool unlock2 = command == 0x2AAA && value == 0x55;
    switch (flashStep) {
    case 0:
    case 3:
        flashStep = unlock1 ? flashStep + 1 : 0;
        break;
    case 1:
    case 4:
        flashStep = unlock2 ? flashStep + 1 : 0;
        break;
    case 2:
        flashStep = command == 0x5555 && value == 0xA0 ? 6 : command == 0x5555 && value == 0x80 ? 3 : 0;
        break;
    case 5:
        if (value == 0x30) {
            std::memset(Flash() + (address % flashSize & ~0xFFFu), 0xFF, 0x1000);
        } else if (value == 0x10 && command == 0x5555) {
            std::memset(Flash(), 0xFF, flashSize);
        }
        flashStep = 0;
        break;
    default: // programming clears bits, never sets them
        Flash()[address % flashSize] &= value;
        flashStep = 0;
        break;
    }
}

void UNRom512::Reset(bool hard) {
    Mmc::Reset(hard);
    // The header's four-screen bit without the vertical bit gives the board's one-screen control.
    oneScreenControl = Image().mirroring == MirrorByMapper;
    latch = 0;
    flashStep = 0;
    if (flash) {
        // The chip's copy is the board's, not RAM the CPU sees at $6000.
        UnmapPrg8k(3);
    }
    MapPrg(0, 4);
    MapPrg(PrgPageFromEnd(2) / 2, 6);
    MapChrRam4k(0, 0);
    MapChrRam4k(1, 1);
    SetNameTableMirroring(oneScreenControl ? MirrorSinglePage0 : Image().mirroring);
}

void UNRom512::WriteRegister(std::uint16_t address, std::uint8_t value) {
    if (flash && address < 0xC000) {
        WriteFlash((latch & 0x1Fu) * 0x4000 + (address & 0x3FFFu), value);
        return;
    }
    latch = value;
    MapPrg(value & 0x1F, 4);
    const std::uint32_t chrBank = (value >> 5) & 3;
    MapChrRam4k(chrBank * 2, 0);
    MapChrRam4k(chrBank * 2 + 1, 1);
    if (oneScreenControl) {
        SetNameTableMirroring((value & 0x80) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
}

Action53::Action53(Process* process) : Mmc(process) {
    EnsureChrRam(4 * ChrRamSize);
}

void Action53::Reset(bool hard) {
    Mmc::Reset(hard);
    WatchLowWrites(0x5000, 0x5FFF);
    // The menu lives in the last 32 KiB, which the outer bank's reset value shows.
    select = chr = inner = mode = 0;
    outer = 0xFF;
    mirrorControl = Image().mirroring == MirrorVertical ? 2 : 3;
    Map();
}

void Action53::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address >= 0x5000) {
        select = value & 0x81;
    } else {
        PassLowWrite(address, value);
    }
}

void Action53::WriteRegister(std::uint16_t, std::uint8_t value) {
    switch (select) {
    case 0x00:
    case 0x01:
        if (select == 0) {
            chr = value & 3;
        } else {
            inner = value & 0x0F;
        }
        // In the one-screen modes bit 4 picks the page.
        if (!(mirrorControl & 2)) {
            mirrorControl = (value >> 4) & 1;
        }
        break;
    case 0x80:
        mode = value & 0x3F;
        mirrorControl = value & 3;
        break;
    default:
        outer = value;
        break;
    }
    Map();
}

void Action53::Map() {
    const std::uint32_t size = (mode >> 4) & 3;
    const std::uint32_t prgMode = (mode >> 2) & 3;
    // In 16 KiB banks: the game's part of the outer bank's bits, and the inner bank's bits below it.
    const std::uint32_t mask = (2u << size) - 1;
    const std::uint32_t outer16 = std::uint32_t{outer} << 1;
    const auto game = [&](std::uint32_t bank) { return (outer16 & ~mask) | (bank & mask); };
    std::uint32_t low;
    std::uint32_t high;
    if (prgMode < 2) {
        low = game(std::uint32_t{inner} << 1);
        high = game((std::uint32_t{inner} << 1) | 1);
    } else if (prgMode == 2) {
        low = outer16;
        high = game(inner);
    } else {
        low = game(inner);
        high = outer16 | 1;
    }
    MapPrg16k(low, 4);
    MapPrg16k(high, 6);
    MapChrRam4k(chr * 2u, 0);
    MapChrRam4k(chr * 2u + 1, 1);
    constexpr std::uint32_t Mirrorings[4] = {MirrorSinglePage0, MirrorSinglePage1, MirrorVertical,
                                             MirrorHorizontal};
    SetNameTableMirroring(Mirrorings[mirrorControl & 3]);
}

GTRom::GTRom(Process* process)
    : Mmc(process), nameTables(std::make_unique<std::uint8_t[]>(2 * NameTableBankSize)) {
    EnsureChrRam(2 * ChrRamSize);
}

void GTRom::Reset(bool hard) {
    Mmc::Reset(hard);
    if (hard) {
        std::memset(nameTables.get(), 0, 2 * NameTableBankSize);
    }
    WatchLowWrites(0x5000, 0x7FFF);
    latch = 0;
    Map();
}

void GTRom::WriteLow(std::uint16_t address, std::uint8_t value) {
    if ((address >= 0x5000 && address < 0x6000) || address >= 0x7000) {
        latch = value;
        Map();
    } else {
        PassLowWrite(address, value);
    }
}

void GTRom::Map() {
    MapPrg32k(latch & 0x0F);
    const std::uint32_t chrBank = (latch >> 4) & 1;
    MapChrRam4k(chrBank * 2, 0);
    MapChrRam4k(chrBank * 2 + 1, 1);
    std::uint8_t* bank = nameTables.get() + ((latch >> 5) & 1) * NameTableBankSize;
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
        MapNameTableMemory(slot, bank + slot * ChrPageSize, true);
    }
}

Mmc::OwnMemory GTRom::StateMemory(std::uint32_t index) {
    return index == 0 ? OwnMemory{nameTables.get(), 2 * NameTableBankSize, true} : OwnMemory{};
}

} // namespace Halvo::Nes
