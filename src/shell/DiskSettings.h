#pragma once

#include <functional>
#include <string>
#include <vector>

#include "console/ChoiceVariable.h"
#include "console/Function.h"
#include "console/Variable.h"
#include "shell/GameStart.h"

namespace Halvo {

namespace Nes {
class Fds;
}

// "fds_bios [file]": shows or names the Disk System's BIOS file; "" goes back to disksys.rom in the
// data folder.
class PathVariable : public Console::Function {
public:
    PathVariable(std::string name, std::string usage)
        : Function(std::move(name), 2), usage(std::move(usage)) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

    std::string value;

private:
    std::string usage;
};

// A console command that acts on the disk in the drive of the running machine.
class DiskFunction : public Console::Function {
public:
    using Action = std::function<bool(Nes::Fds& drive, std::istream& arguments, std::ostream& out)>;
    DiskFunction(std::string name, std::string usage, std::function<Nes::Fds*()> findDrive, Action action)
        : Function(std::move(name)), usage(std::move(usage)), findDrive(std::move(findDrive)),
          action(std::move(action)) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

private:
    std::string usage;
    std::function<Nes::Fds*()> findDrive;
    Action action;
};

// The console's region and Disk System settings and commands: "nes_region", "fds_bios",
// "fds_fastload", "fds_insert SIDE", "fds_eject" and "fds_flip" (the next side, bound to F8).
class DiskSettings {
public:
    // `findDrive` gives the running machine's disk drive, or null when no disk is playing.
    explicit DiskSettings(std::function<Nes::Fds*()> findDrive);

    std::vector<Console::Function*> Functions();
    // What a game being loaded is built with.
    GameSettings ForGame() const;

    Console::ChoiceVariable regionVariable{"nes_region", {"auto", "ntsc", "pal", "dendy"}, "auto"};
    Console::Variable<bool> fastLoadVariable{"fds_fastload", true};
    PathVariable biosVariable{"fds_bios", "names the Disk System's BIOS file (\"\": disksys.rom in the data "
                                          "folder)"};
    DiskFunction insertFunction;
    DiskFunction ejectFunction;
    DiskFunction flipFunction;
};

} // namespace Halvo
