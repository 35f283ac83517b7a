#include "shell/RecentGames.h"

#include <algorithm>
#include <sstream>

#include "console/RegularFile.h"
#include "console/System.h"
#include "shell/AtomicFile.h"

namespace Halvo {

namespace {
constexpr std::uint64_t MaxFileBytes = 64 * 1024;
} // namespace

RecentGames::RecentGames(std::filesystem::path file, std::function<bool(const std::string&)> load)
    : Function("recent"), file(std::move(file)), load(std::move(load)) {
    std::string contents;
    std::string error;
    if (Console::ReadRegularFile(this->file.string(), MaxFileBytes, contents, error) !=
        Console::FileRefusal::None) {
        return;
    }
    std::istringstream lines(contents);
    for (std::string line; std::getline(lines, line) && games.size() < Kept;) {
        if (!line.empty()) {
            games.push_back(line);
        }
    }
}

bool RecentGames::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        if (games.empty()) {
            out << "No games loaded yet." << std::endl;
        }
        for (const std::string& line : Lines()) {
            out << line << std::endl;
        }
        return true;
    }
    std::size_t used = 0;
    unsigned long number = 0;
    try {
        number = std::stoul(word, &used);
    } catch (const std::exception&) {
        return false;
    }
    if (used != word.size() || number < 1 || number > games.size()) {
        out << "recent " << word << ": there are " << games.size() << " recent games." << std::endl;
        return true;
    }
    // A copy: loading reorders the list.
    const std::string game = games[number - 1];
    load(game);
    return true;
}

void RecentGames::PrintUsage(std::ostream& out) {
    out << "Lists the last ten games loaded, or loads one of them.\n"
        << "usage: recent [<number>]" << std::endl;
}

void RecentGames::Add(const std::string& game) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(game, error);
    const std::string name = error ? game : absolute.lexically_normal().string();
    games.erase(std::remove(games.begin(), games.end(), name), games.end());
    games.insert(games.begin(), name);
    if (games.size() > Kept) {
        games.resize(Kept);
    }
    std::string contents;
    for (const std::string& line : games) {
        contents += line + '\n';
    }
    std::error_code folderError;
    std::filesystem::create_directories(file.parent_path(), folderError);
    std::string writeError = folderError ? folderError.message() : std::string();
    if (folderError || !WriteFileAtomically(file, contents.data(), contents.size(), writeError)) {
        Console::ReportError("Halvo::RecentGames::Add", __LINE__)
            << "Could not write the list of recent games " << file.string() << ": " << writeError << "."
            << std::endl;
    }
}

std::vector<std::string> RecentGames::Lines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < games.size(); ++i) {
        lines.push_back(std::to_string(i + 1) + ". " + std::filesystem::path(games[i]).filename().string() +
                        "  (" + games[i] + ")");
    }
    return lines;
}

} // namespace Halvo
