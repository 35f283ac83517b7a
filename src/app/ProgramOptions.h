#pragma once

#include <string>
#include <vector>

namespace Halvo::App {

// What the program's own options ask for, decided before anything starts: no window, no log.
struct ProgramOptions {
    enum class Action {
        Run,     // start the emulator with `arguments`
        Help,    // usage on standard output, exit 0
        Version, // "halvo <version>" on standard output, exit 0
        Refuse,  // `error` and the usage on standard error, exit 2
    };
    Action action = Action::Run;
    std::vector<std::string> arguments; // what the shell gets: the arguments less a "--" that ended options
    std::string error;
    bool desktop = false; // "--desktop": the desktop's menu entry started the program
};

// Options stand before the first console line ("+..."): "-h" or "--help", "--version", "--desktop", and "--",
// after which a name that begins with "-" is a cartridge image. Any other argument there that begins with "-"
// (but "-" alone) is refused, so a mistyped option never opens a window to load a cartridge of that
// name. Words of console lines are the console's, whatever they look like.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& arguments);

// The usage text of the program, ending with a newline.
std::string ProgramUsage();

// "halvo " and the version, with a newline.
std::string ProgramVersion();

} // namespace Halvo::App
