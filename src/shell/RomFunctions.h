#pragma once

#include "console/Function.h"

namespace Halvo {
class HalvoShell;
}

namespace Halvo::Nes {

// A console command of the emulator shell.
class ShellFunction : public Console::Function {
public:
    ShellFunction(std::string name, HalvoShell* shell) : Function(std::move(name)), shell(shell) {}

protected:
    HalvoShell* shell;
};

// "loadrom <file>": loads a cartridge image and makes its machine.
class LoadRomImage : public ShellFunction {
public:
    explicit LoadRomImage(HalvoShell* shell) : ShellFunction("loadrom", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "unloadrom": ends the running machine.
class UnloadRomImage : public ShellFunction {
public:
    explicit UnloadRomImage(HalvoShell* shell) : ShellFunction("unloadrom", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "reset [hard|soft]": resets the running machine.
class Reset : public ShellFunction {
public:
    explicit Reset(HalvoShell* shell) : ShellFunction("reset", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

} // namespace Halvo::Nes

namespace Halvo {

// "quit": ends the program after the current frame.
class QuitFunction : public Nes::ShellFunction {
public:
    explicit QuitFunction(HalvoShell* shell) : ShellFunction("quit", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "stats": frames emulated and shown per second, the audio buffer and its underruns.
class StatsFunction : public Nes::ShellFunction {
public:
    explicit StatsFunction(HalvoShell* shell) : ShellFunction("stats", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

// "screenshot [file]": writes the next presented frame as a PNG file.
class ScreenshotFunction : public Nes::ShellFunction {
public:
    explicit ScreenshotFunction(HalvoShell* shell) : ShellFunction("screenshot", shell) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;
};

} // namespace Halvo
