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
constexpr std::uintmax_t MaxStateFile = 64 * 1024 * 1024;

constexpr char TrailerTag[8] = {'H', 'A', 'L', 'V', 'O', 'M', 'O', 'V'};

std::uint32_t WordAt(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
    }
    return value;
}

// Takes what follows the machine's state (whose file says its own length at byte 12) off `state`; false
// when something follows that is no trailer.
bool SplitTrailer(std::string& state, std::string& trailer) {
    if (state.size() < 16 || state.compare(0, 8, "HALVOSTA") != 0 || WordAt(state, 12) >= state.size()) {
        return true;
    }
    const std::size_t length = WordAt(state, 12);
    const std::size_t rest = state.size() - length;
    if (rest < 12 || state.compare(length, 8, std::string(TrailerTag, 8)) != 0 ||
        WordAt(state, length + 8) != rest - 12) {
        return false;
    }
    trailer = state.substr(length + 12);
    state.resize(length);
    return true;
}

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
    std::vector<std::uint8_t> state = Nes::SaveState::Write(*process);
    if (const std::string trailer = host.StateTrailer(); !trailer.empty()) {
        state.insert(state.end(), TrailerTag, TrailerTag + sizeof TrailerTag);
        for (std::size_t i = 0; i < 4; ++i) {
            state.push_back(static_cast<std::uint8_t>(trailer.size() >> (8 * i)));
        }
        state.insert(state.end(), trailer.begin(), trailer.end());
    }
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
    std::string trailer;
    if (error.empty() && !SplitTrailer(state, trailer)) {
        error = "it is corrupted (something follows the machine's state)";
    }
    if (error.empty()) {
        host.CheckStateTrailer(trailer, error);
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
    host.OnStateTrailer(trailer);
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
