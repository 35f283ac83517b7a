#pragma once

#include <string>
#include <vector>

#include "ref/Object.h"

namespace Halvo::App {

class Bridge;
class Shell;

// Makes the program's shell for the bridge (the emulator shell, or a fake in tests).
using ShellMaker = Ref::Ptr<Shell> (*)(Bridge* bridge);

// The log every run of the program writes, in the current folder.
inline constexpr const char* LogFileName = "halvo.log";

// The program: console and log, bridge, shell, Initiate, the main loop, Terminate. Returns the exit
// code: the bridge's on a normal end, 1 when an exception ended the program.
int ProgramEntry(const std::vector<std::string>& arguments, ShellMaker makeShell);

} // namespace Halvo::App
