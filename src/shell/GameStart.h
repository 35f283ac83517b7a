#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "gfx/NesCanvas.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"
#include "ref/Object.h"
#include "shell/BatterySave.h"

namespace Halvo {

namespace Nes {
class Fds;
class RomImageIOManager;
} // namespace Nes

// What the player chose beyond the file: the console ("auto", "ntsc", "pal", "dendy"; auto: what the
// image says) and the Disk System's BIOS file (empty: disksys.rom in Game::DefaultBiosFolder()).
struct GameSettings {
    std::string region = "auto";
    std::string diskBios;
    // The timing model's processor: "Static" (line) or "Exact".
    std::string cpuKind = "Static";
};

// A game as it starts, the same road for the windowed program and the headless runner: Build reads the
// image from its file and builds the machine for it (its board and both joypads); Begin then reads the
// battery save into the board's RAM when the cartridge keeps one, sends the picture to the canvas and
// hard-resets the machine. A program that replaces a running game builds the new one first, so that a
// file that cannot be played leaves the old game running, and begins it only once the old game has
// written its own battery save, which may be the same file. The machine points into the image, so a
// Game is released machine first.
struct Game {
    enum class Outcome { Built, ImageUnreadable, NoBios, NoMachine };

    using Settings = GameSettings;

    // $XDG_DATA_HOME/halvo, or ~/.local/share/halvo when the variable is unset, empty or relative.
    static std::filesystem::path DefaultBiosFolder();
    // A disk image without a readable BIOS is NoBios, reported with where the BIOS belongs.
    static Outcome Build(Nes::RomImageIOManager& formats, const std::string& file, Game& game,
                         const Settings& settings = {});
    // `saveFolder` empty: the battery RAM is not read from or written to a file.
    void Begin(const std::filesystem::path& saveFolder, const Ref::Ptr<Gfx::NesCanvas>& canvas);

    Game() = default;
    Game(Game&&) = default;
    Game& operator=(Game&& other) noexcept {
        // The machine that points into the old image goes before it.
        machine = nullptr;
        battery = std::move(other.battery);
        image = std::move(other.image);
        machine = std::move(other.machine);
        file = std::move(other.file);
        return *this;
    }
    ~Game() { machine = nullptr; }

    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> machine;
    std::unique_ptr<BatterySave> battery;
    std::string file;
};

// The RAM adapter of a machine that plays a disk, or null.
Nes::Fds* DiskDrive(Nes::Process& machine);

} // namespace Halvo
