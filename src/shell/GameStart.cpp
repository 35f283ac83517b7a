#include "shell/GameStart.h"

#include <cstdlib>

#include "console/RegularFile.h"
#include "console/System.h"
#include "nes/mmc/Fds.h"
#include "nes/rom/RomImageIOManager.h"

namespace Halvo {

namespace {

// The BIOS into the disk image, from the file the player named or from its usual place.
bool AddDiskBios(Nes::RomImage& image, const std::string& named) {
    const std::filesystem::path path =
        named.empty() ? Game::DefaultBiosFolder() / "disksys.rom" : std::filesystem::path(named);
    std::string contents;
    std::string reason;
    const Console::FileRefusal refusal =
        Console::ReadRegularFile(path.string(), Nes::RomImage::DiskBiosSize, contents, reason);
    if (refusal != Console::FileRefusal::None || contents.size() != Nes::RomImage::DiskBiosSize) {
        Console::ReportError("Halvo::Game::Build", __LINE__)
            << "The Famicom Disk System needs its BIOS: put the 8192-byte disksys.rom in "
            << Game::DefaultBiosFolder().string() << " or name it with fds_bios (" << path.string()
            << (refusal == Console::FileRefusal::None ? " is not 8192 bytes" : ": " + reason) << ")."
            << std::endl;
        return false;
    }
    image.diskBios.assign(contents.begin(), contents.end());
    return true;
}

} // namespace

std::filesystem::path Game::DefaultBiosFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data && std::filesystem::path(data).is_absolute()) {
        return std::filesystem::path(data) / "halvo";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : ".") / ".local" / "share" / "halvo";
}

Nes::Fds* DiskDrive(Nes::Process& machine) {
    return machine.romImage && machine.romImage->diskSideCount > 0 ? static_cast<Nes::Fds*>(&machine.GetMmc())
                                                                   : nullptr;
}

Game::Outcome Game::Build(Nes::RomImageIOManager& formats, const std::string& file, Game& game,
                          const Settings& settings) {
    std::unique_ptr<Nes::RomImage> image = formats.LoadImageFile(file, "");
    if (!image) {
        return Outcome::ImageUnreadable;
    }
    if (image->diskSideCount > 0 && !AddDiskBios(*image, settings.diskBios)) {
        return Outcome::NoBios;
    }
    Ref::Ptr<Nes::Process> machine = Nes::Process::Create(settings.cpuKind, image.get());
    if (!machine) {
        return Outcome::NoMachine;
    }
    machine->chosenRegion = Nes::RegionFromName(settings.region);
    if (!machine->chosenRegion) {
        machine->chosenRegion = Nes::RegionOfImage(*image, file);
    }
    Game built;
    built.image = std::move(image);
    built.machine = std::move(machine);
    built.file = file;
    game = std::move(built);
    return Outcome::Built;
}

void Game::Begin(const std::filesystem::path& saveFolder, const Ref::Ptr<Gfx::NesCanvas>& canvas) {
    Nes::Mmc& board = machine->GetMmc();
    if (Nes::Fds* drive = DiskDrive(*machine); drive && !saveFolder.empty()) {
        // What the game wrote to its disk, never written into the image.
        battery = std::make_unique<BatterySave>(saveFolder, file, drive->tracks.data(), drive->tracks.size(),
                                                ".disk.sav");
        battery->Load();
    } else if (!saveFolder.empty() && image->hasBattery && board.wram) {
        battery = std::make_unique<BatterySave>(saveFolder, file, board.wram.get() + BatterySave::RamOffset,
                                                board.wramSize - BatterySave::RamOffset);
        battery->Load();
    }
    machine->GetPpu().SetCanvas(canvas);
    machine->Reset(true);
}

} // namespace Halvo
