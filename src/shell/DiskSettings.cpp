#include "shell/DiskSettings.h"

#include "console/ReadToken.h"
#include "nes/mmc/Fds.h"

namespace Halvo {

bool PathVariable::Execute(std::istream& arguments, std::ostream& out) {
    std::string token;
    if (Console::ReadToken(arguments, token) == Console::NoToken) {
        out << name << " is \"" << value << "\"" << std::endl;
        return true;
    }
    if (token == "=" && Console::ReadToken(arguments, token) == Console::NoToken) {
        return false;
    }
    value = token;
    return true;
}

void PathVariable::PrintUsage(std::ostream& out) {
    out << "usage: " << name << " [=] <file>: " << usage << "\n       " << name << " is \"" << value << "\""
        << std::endl;
}

bool DiskFunction::Execute(std::istream& arguments, std::ostream& out) {
    Nes::Fds* drive = findDrive();
    if (!drive) {
        out << "No disk is playing." << std::endl;
        return true;
    }
    return action(*drive, arguments, out);
}

void DiskFunction::PrintUsage(std::ostream& out) {
    out << usage << std::endl;
}

DiskSettings::DiskSettings(std::function<Nes::Fds*()> findDrive)
    : insertFunction("fds_insert",
                     "usage: fds_insert <side>: puts side 1, 2, ... of the disk image in the drive",
                     findDrive,
                     [](Nes::Fds& drive, std::istream& arguments, std::ostream& out) {
                         std::uint32_t side = 0;
                         if (!(arguments >> side) || side == 0) {
                             return false;
                         }
                         if (side > drive.SideCount()) {
                             out << "The disk image has " << drive.SideCount() << " side"
                                 << (drive.SideCount() == 1 ? "" : "s") << "." << std::endl;
                             return true;
                         }
                         drive.InsertSide(static_cast<std::int32_t>(side - 1));
                         out << "Side " << side << " inserted." << std::endl;
                         return true;
                     }),
      ejectFunction("fds_eject", "usage: fds_eject: takes the disk out of the drive", findDrive,
                    [](Nes::Fds& drive, std::istream&, std::ostream& out) {
                        drive.Eject();
                        out << "Disk ejected." << std::endl;
                        return true;
                    }),
      flipFunction("fds_flip", "usage: fds_flip: takes the disk out and puts the next side in", findDrive,
                   [](Nes::Fds& drive, std::istream&, std::ostream& out) {
                       drive.FlipSide();
                       out << "Changing to the next side." << std::endl;
                       return true;
                   }) {}

std::vector<Console::Function*> DiskSettings::Functions() {
    return {&regionVariable, &fastLoadVariable, &biosVariable,
            &insertFunction, &ejectFunction,    &flipFunction};
}

GameSettings DiskSettings::ForGame() const {
    GameSettings settings;
    settings.region = regionVariable.value;
    settings.diskBios = biosVariable.value;
    return settings;
}

} // namespace Halvo
