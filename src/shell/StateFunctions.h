#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"

namespace Halvo {

namespace Nes {
class Process;
}

// What the state commands need of the program that runs the machine.
class StateHost {
public:
    virtual ~StateHost() = default;
    // The running machine, or null when no cartridge is loaded.
    virtual Nes::Process* StateMachine() = 0;
    // The image file it was loaded from: its name without the extension names the slots.
    virtual std::string StateImageFile() = 0;
    // Called after a state was loaded into the running machine.
    virtual void OnStateLoaded() {}
    // What a state file keeps after the machine's state (a movie's position); empty for nothing.
    virtual std::string StateTrailer() { return {}; }
    // Whether a state file with this trailer (empty for none) may be loaded now; false with the reason.
    virtual bool CheckStateTrailer(const std::string&, std::string&) { return true; }
    // After the machine's state of such a file was loaded.
    virtual void OnStateTrailer(const std::string&) {}
};

// The save-state commands: "savestate [slot|file]", "loadstate [slot|file]" and the variable
// "state_slot" (0-9), the slot used when none is named. A slot is the file
// <folder>/<image file name without extension>.<slot>.state. Files are written atomically, so a
// crash leaves the old state or the new one. Whatever is wrong with a state (another cartridge's, a
// newer format, truncated or corrupted, missing, a section of the wrong size) is said on the console and
// leaves the running game exactly as it was. What the host adds to a state (a movie's position) follows
// the machine's state in the file, as "HALVOMOV", a 32-bit little-endian length and that many bytes; a
// file without it loads as before.
class StateFunctions {
public:
    static constexpr unsigned int SlotCount = 10;

    // $XDG_DATA_HOME/halvo/states, or ~/.local/share/halvo/states when the variable is unset, empty or
    // relative.
    static std::filesystem::path DefaultFolder();

    // Slots in `folder`; an empty one stands for DefaultFolder() as it is when a slot is used.
    StateFunctions(StateHost& host, std::filesystem::path folder);

    // The three console entries, for registering.
    std::vector<Console::Function*> Functions() { return {&save, &load, &slot}; }

    // "" stands for the slot of "state_slot", one digit for that slot, anything else for a file name:
    // in the slots' folder unless it holds a "/".
    bool Save(const std::string& target);
    bool Load(const std::string& target);
    std::filesystem::path SlotPath(unsigned int number) const;

    Console::Variable<unsigned int> slot{"state_slot", 0, 0, SlotCount - 1};

private:
    class Command : public Console::Function {
    public:
        Command(std::string name, StateFunctions& owner, bool saves)
            : Function(std::move(name)), owner(owner), saves(saves) {}
        bool Execute(std::istream& arguments, std::ostream& out) override;
        void PrintUsage(std::ostream& out) override;

    private:
        StateFunctions& owner;
        bool saves;
    };

    std::filesystem::path Target(const std::string& target);

    StateHost& host;
    std::filesystem::path folder;
    Command save{"savestate", *this, true};
    Command load{"loadstate", *this, false};
};

} // namespace Halvo
