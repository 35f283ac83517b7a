// Turns arbitrary bytes into a cartridge of any board the iNES reader knows and runs its machine for
// 30 frames into a 32-bit canvas, with the joypad pressed as the bytes say. Nothing may crash, hang or
// leak, and every frame must end where frames end (vertical blank about to begin).
//
// Input: byte 0 chooses the row of the iNES board table (modulo its length plus one), which gives the
// board name, submapper and battery, or (one past the last row) the Disk System; byte 1 the sizes and
// header (bits 0-1 PRG banks above the row's least, or the disk's sides less one, bits 2-3 CHR banks
// above its least, bits 4-6 mirroring, bit 7 PAL, with bit 6 a Dendy), both kept within the row's
// ranges and at most 8 banks; bytes 2-31 are the buttons of each frame; the rest, repeated, fill
// PRG-ROM and CHR-ROM, or the BIOS and the disk (each side keeping the mark of its first block).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include "console/System.h"
#include "gfx/MemoryNesCanvasBase.h"
#include "nes/ButtonState.h"
#include "nes/Cartridges.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImage.h"
#include "nes/rom/RomImageIOManager.h"

namespace {

using namespace Halvo;

constexpr std::size_t Frames = 30;

void Fill(std::uint8_t* target, std::size_t size, const std::uint8_t* data, std::size_t available) {
    for (std::size_t i = 0; i < size; ++i) {
        target[i] = available ? data[i % available] : 0;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 + Frames) {
        return 0;
    }
    constexpr std::size_t Rows = std::size(Nes::INesIOStrategy::CompatTable);
    const bool disk = data[0] % (Rows + 1) == Rows;
    const Nes::INesCompatRow& row = Nes::INesIOStrategy::CompatTable[disk ? 0 : data[0] % (Rows + 1)];
    const std::uint8_t setup = data[1];
    const std::uint8_t* buttons = data + 2;
    const std::uint8_t* contents = data + 2 + Frames;
    const std::size_t contentSize = size - 2 - Frames;
    const auto banks = [](std::uint32_t least, std::uint32_t most, std::uint32_t extra) {
        return std::min({least + extra, most, std::max(least, 8u)});
    };

    Ref::Ptr<Console::System> console(Console::System::Instance());
    Ref::Ptr<Nes::RomImageIOManager> formats(Nes::RomImageIOManager::Instance());
    Ref::Ptr<Nes::MmcManager> boards(Nes::MmcManager::Instance());
    Nes::RegisterCartridgeSupport(*formats, *boards);

    auto image = std::make_unique<Nes::RomImage>();
    image->boardName = row.boardName;
    image->submapper = row.submapper;
    image->hasWram = image->hasBattery = row.battery == Nes::INesBattery::Present;
    image->prgBankCount = banks(row.minPrgBanks, row.maxPrgBanks, setup & 3);
    image->prgRom = std::make_unique<std::uint8_t[]>(image->prgBankCount * Nes::RomImage::PrgBankSize);
    Fill(image->prgRom.get(), image->prgBankCount * Nes::RomImage::PrgBankSize, contents, contentSize);
    image->chrBankCount = banks(row.minChrBanks, row.maxChrBanks, (setup >> 2) & 3);
    if (image->chrBankCount != 0) {
        image->chrRom = std::make_unique<std::uint8_t[]>(image->chrBankCount * Nes::RomImage::ChrBankSize);
        Fill(image->chrRom.get(), image->chrBankCount * Nes::RomImage::ChrBankSize, contents, contentSize);
    } else {
        image->hasChrRam = true;
    }
    image->mirroring = row.mirroring == Nes::INesMirroring::FourScreen ? std::uint32_t{Nes::MirrorFourScreen}
                                                                       : (setup >> 4) & 7u;
    image->tvSystem = (setup & 0x80) ? 1 : 0;
    if (disk) {
        image->boardName = "FDS";
        image->diskSideCount = 1 + (setup & 3);
        image->disk.resize(image->diskSideCount * Nes::RomImage::DiskSideSize);
        Fill(image->disk.data(), image->disk.size(), contents, contentSize);
        for (std::uint32_t side = 0; side < image->diskSideCount; ++side) {
            std::memcpy(image->disk.data() + side * Nes::RomImage::DiskSideSize, "\x01*NINTENDO-HVC*", 15);
        }
        image->diskBios.assign(image->prgRom.get(), image->prgRom.get() + Nes::RomImage::DiskBiosSize);
    }

    Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
    if (!process) {
        std::abort(); // every board of the table is registered: the machine must be made
    }
    if (setup & 0x80) {
        process->chosenRegion = (setup & 0x40) ? Nes::Region::Dendy : Nes::Region::Pal;
    }
    Ref::Ptr<Gfx::MemoryNesCanvasBase> canvas = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
    process->GetPpu().SetCanvas(Ref::Ptr<Gfx::NesCanvas>(canvas.Get()));
    process->Reset(true);

    for (std::size_t frame = 0; frame < Frames; ++frame) {
        process->Buttons().Clear();
        process->Buttons().SetHeld(0, Nes::ButtonState::Keys, buttons[frame]);
        process->RunFrame(true);
        if (process->GetPpu().scanline != process->GetPpu().vblankLine) {
            std::abort();
        }
    }
    process = nullptr;
    console->lines.clear();
    return 0;
}
