#include "shell/StateFunctions.h"

#include <cstdlib>

#include "console/ReadToken.h"
#include "console/RegularFile.h"
#include "console/System.h"
#include "nes/Process.h"
#include "nes/state/SaveState.h"
#include "shell/AtomicFile.h"
#include "shell/BatterySave.h"

namespace Halvo {

namespace {

// No state comes near this; a larger file is not read at all.
constexpr std::uintmax_t MaxStateFile = 16 * 1024 * 1024;

} // namespace

std::filesystem::path StateFunctions::DefaultFolder() {
    return BatterySave::DefaultFolder().parent_path() / "states";
}

StateFunctions::StateFunctions(StateHost& host, std::filesystem::path folder)
    : host(host), folder(std::move(folder)) {}

std::filesystem::path StateFunctions::SlotPath(unsigned int number) const {
    return (folder.empty() ? DefaultFolder() : folder) /
           (std::filesystem::path(host.StateImageFile()).stem().string() + "." + std::to_string(number) +
            ".state");
}

std::filesystem::path StateFunctions::Target(const std::string& target) {
    if (target.size() == 1 && target[0] >= '0' && target[0] <= '9') {
        return SlotPath(static_cast<unsigned int>(target[0] - '0'));
    }
    if (target.find('/') != std::string::npos) {
        return target;
    }
    if (!target.empty()) {
        return (folder.empty() ? DefaultFolder() : folder) / target;
    }
    if (slot.value >= SlotCount) {
        Console::System::Instance()->Output() << "state_slot goes from 0 to 9." << std::endl;
        slot.value = SlotCount - 1;
    }
    return SlotPath(slot.value);
}

bool StateFunctions::Save(const std::string& target) {
    const char* operation = "Halvo::StateFunctions::Save";
    Nes::Process* process = host.StateMachine();
    if (!process) {
        Console::ReportError(operation, __LINE__)
            << "No game is running: there is no state to save." << std::endl;
        return false;
    }
    const std::filesystem::path path = Target(target);
    const std::vector<std::uint8_t> state = Nes::SaveState::Write(*process);
    std::error_code folderError;
    if (path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), folderError);
    }
    std::string error = folderError ? folderError.message() : std::string();
    if (folderError || !WriteFileAtomically(path, state.data(), state.size(), error)) {
        Console::ReportError(operation, __LINE__)
            << "Could not write the state " << path.string() << ": " << error << "." << std::endl;
        return false;
    }
    Console::System::Instance()->Output() << "State saved to " << path.string() << "." << std::endl;
    return true;
}

bool StateFunctions::Load(const std::string& target) {
    const char* operation = "Halvo::StateFunctions::Load";
    Nes::Process* process = host.StateMachine();
    if (!process) {
        Console::ReportError(operation, __LINE__)
            << "No game is running: load a cartridge first." << std::endl;
        return false;
    }
    const std::filesystem::path path = Target(target);
    std::string error;
    std::string state;
    if (Console::ReadRegularFile(path, MaxStateFile, state, error) == Console::FileRefusal::TooLarge) {
        error = "it is far too large to be a state";
    }
    if (error.empty()) {
        Nes::SaveState::Load(*process, reinterpret_cast<const std::uint8_t*>(state.data()), state.size(),
                             error);
    }
    if (!error.empty()) {
        Console::ReportError(operation, __LINE__) << "Could not load the state " << path.string() << ": "
                                                  << error << "; the game goes on as it was." << std::endl;
        return false;
    }
    host.OnStateLoaded();
    Console::System::Instance()->Output() << "State loaded from " << path.string() << "." << std::endl;
    return true;
}

bool StateFunctions::Command::Execute(std::istream& arguments, std::ostream&) {
    std::string target;
    Console::ReadToken(arguments, target);
    if (saves) {
        owner.Save(target);
    } else {
        owner.Load(target);
    }
    return true;
}

void StateFunctions::Command::PrintUsage(std::ostream& out) {
    if (saves) {
        out << "Saves the running game's state in a slot (0-9; state_slot when none is given) or a file.\n"
            << "usage: savestate [<slot>|\"<filename>\"]" << std::endl;
    } else {
        out << "Goes back to a state saved in a slot (0-9; state_slot when none is given) or a file.\n"
            << "usage: loadstate [<slot>|\"<filename>\"]" << std::endl;
    }
}

} // namespace Halvo
