#pragma once

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "console/Function.h"
#include "nes/debug/Debugger.h"

namespace Halvo {

namespace Nes {
class Process;
}

// What the debugger's commands need of the program that runs the machine.
class DebugHost {
public:
    virtual ~DebugHost() = default;
    // The running machine, or null when no cartridge is loaded.
    virtual Nes::Process* DebugMachine() = 0;
    // The file the running cartridge was loaded from ("" when unknown).
    virtual std::string DebugMachineFile() { return {}; }
    // The machine stopped at a break or after a step: the console opens to show it.
    virtual void OnDebugStop() {}
    // "continue" let the machine go on: the console closes so that the game runs.
    virtual void OnDebugContinue() {}
};

// The debugger's console commands: breaks, stepping, registers and memory, the trace and labels.
// Addresses are numbers ($C000, 0xC000, 49152) or labels of the loaded symbols.
class DebugFunctions {
public:
    DebugFunctions(DebugHost& host, std::ostream& out);

    std::vector<Console::Function*> Functions();
    // The machine the debugger watches: the host calls it when a cartridge is loaded (and with null
    // before it is unloaded).
    void Attach(Nes::Process* process) { debugger.Attach(process); }

    Nes::Debugger debugger;

private:
    class Command : public Console::Function {
    public:
        Command(std::string name, std::string usage, std::function<bool(std::istream&, std::ostream&)> run)
            : Function(std::move(name)), usage(std::move(usage)), run(std::move(run)) {}
        bool Execute(std::istream& arguments, std::ostream& out) override { return run(arguments, out); }
        void PrintUsage(std::ostream& out) override;

    private:
        std::string usage;
        std::function<bool(std::istream&, std::ostream&)> run;
    };

    // The attached machine, or null with "No game is loaded." said.
    Nes::Process* Machine(std::ostream& out);
    // A break or a trace set before the game's first frame watches it from that frame.
    void WatchLoadedGame();
    // After a command that ran the machine: a stop opens the console.
    void AfterRun();

    bool Break(std::istream& arguments, std::ostream& out);
    bool Unbreak(std::istream& arguments, std::ostream& out);
    bool Breaks(std::ostream& out);
    bool Memory(std::istream& arguments, std::ostream& out, bool ppu);
    bool Poke(std::istream& arguments, std::ostream& out);
    bool Disasm(std::istream& arguments, std::ostream& out);
    bool Oam(std::ostream& out);
    bool Trace(std::istream& arguments, std::ostream& out);
    bool LoadSymbols(std::istream& arguments, std::ostream& out);
    bool CodeDataLog(std::istream& arguments, std::ostream& out);

    DebugHost& host;
    std::vector<std::unique_ptr<Command>> commands;
};

} // namespace Halvo
