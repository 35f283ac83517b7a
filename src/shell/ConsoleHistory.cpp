#include "shell/ConsoleHistory.h"

#include <sstream>

#include "console/RegularFile.h"
#include "console/System.h"
#include "shell/AtomicFile.h"
#include "shell/BatterySave.h"

namespace Halvo::ConsoleHistory {

namespace {
// Far more than the console keeps; a larger file is not the history Halvo wrote.
constexpr std::uint64_t MaxFileBytes = 1024 * 1024;
} // namespace

std::filesystem::path DefaultFile() {
    // Beside the saves folder: the data folder of Halvo.
    return BatterySave::DefaultFolder().parent_path() / "history";
}

void Load(Console::System& console, const std::filesystem::path& file) {
    std::string contents;
    std::string error;
    if (Console::ReadRegularFile(file.string(), MaxFileBytes, contents, error) !=
        Console::FileRefusal::None) {
        return;
    }
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line);) {
        if (line.find_first_not_of(' ') == std::string::npos) {
            continue;
        }
        console.history.push_front(line);
        if (console.history.size() > console.maxHistory) {
            console.history.pop_back();
        }
    }
}

bool Save(const Console::System& console, const std::filesystem::path& file, std::string& error) {
    std::string contents;
    for (auto line = console.history.rbegin(); line != console.history.rend(); ++line) {
        contents += *line + '\n';
    }
    std::error_code folderError;
    std::filesystem::create_directories(file.parent_path(), folderError);
    if (folderError) {
        error = folderError.message();
        return false;
    }
    return WriteFileAtomically(file, contents.data(), contents.size(), error);
}

} // namespace Halvo::ConsoleHistory
