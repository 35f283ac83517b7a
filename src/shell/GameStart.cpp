#include "shell/GameStart.h"

#include "nes/rom/RomImageIOManager.h"

namespace Halvo {

Game::Outcome Game::Build(Nes::RomImageIOManager& formats, const std::string& file, Game& game,
                          const std::string& cpuKind) {
    std::unique_ptr<Nes::RomImage> image = formats.LoadImageFile(file, "");
    if (!image) {
        return Outcome::ImageUnreadable;
    }
    Ref::Ptr<Nes::Process> machine = Nes::Process::Create(cpuKind, image.get());
    if (!machine) {
        return Outcome::NoMachine;
    }
    Game built;
    built.image = std::move(image);
    built.machine = std::move(machine);
    built.file = file;
    game = std::move(built);
    return Outcome::Built;
}

void Game::Begin(const std::filesystem::path& saveFolder, const Ref::Ptr<Gfx::NesCanvas>& canvas) {
    Nes::Mmc& board = *machine->mmc;
    if (!saveFolder.empty() && image->hasBattery && board.wram) {
        battery = std::make_unique<BatterySave>(saveFolder, file, board.wram.get() + BatterySave::RamOffset,
                                                board.wramSize - BatterySave::RamOffset);
        battery->Load();
    }
    machine->ppu->SetCanvas(canvas);
    machine->Reset(true);
}

} // namespace Halvo
