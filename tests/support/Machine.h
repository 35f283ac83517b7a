#pragma once

#include <cstring>
#include <memory>

#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::TestSupport {

// A cartridge image with `prgBanks` 16 KiB banks and `chrBanks` 8 KiB banks whose every 1 KiB page
// starts with its own page number (PRG pages are 8 KiB), so tests can see which page a bank switch
// mapped.
inline std::unique_ptr<Nes::RomImage> MakeImage(std::uint32_t prgBanks, std::uint32_t chrBanks,
                                                const char* board = "NROM") {
    auto image = std::make_unique<Nes::RomImage>();
    image->boardName = board;
    image->prgBankCount = prgBanks;
    image->prgRom = std::make_unique<std::uint8_t[]>(prgBanks * Nes::RomImage::PrgBankSize);
    for (std::uint32_t page = 0; page < 2 * prgBanks; ++page) {
        std::memset(image->prgRom.get() + page * 8192, static_cast<int>(page), 8192);
    }
    image->chrBankCount = chrBanks;
    if (chrBanks > 0) {
        image->chrRom = std::make_unique<std::uint8_t[]>(chrBanks * Nes::RomImage::ChrBankSize);
        for (std::uint32_t page = 0; page < 8 * chrBanks; ++page) {
            std::memset(image->chrRom.get() + page * 1024, static_cast<int>(page), 1024);
        }
    } else {
        image->hasChrRam = true;
    }
    return image;
}

// A process around an image with a PPU (for its page table) but no processor, mapper or ports.
struct Machine {
    explicit Machine(std::unique_ptr<Nes::RomImage> romImage)
        : image(std::move(romImage)), process(Ref::New<Nes::Process>(image.get())) {
        process->SetPpu(Nes::Ppu::Create(process.Get()));
    }

    std::uint8_t Cpu(std::uint32_t address) { return process->CpuRead(address); }
    std::uint8_t Vram(std::uint32_t address) { return process->GetPpu().ReadVram(address); }

    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> process;
};

} // namespace Halvo::TestSupport
