#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "console/Function.h"

namespace Halvo {

// The last ten games loaded, newest first, kept from one start to the next in
// $XDG_DATA_HOME/halvo/recent (one absolute file name a line, written atomically at each load).
// "recent" lists them numbered from 1; "recent N" loads one.
class RecentGames : public Console::Function {
public:
    static constexpr std::size_t Kept = 10;

    // `load` loads a game as "loadrom" does.
    RecentGames(std::filesystem::path file, std::function<bool(const std::string&)> load);

    bool Execute(std::istream& arguments, std::ostream& out) override;
    void PrintUsage(std::ostream& out) override;

    // A game that loaded goes to the top (once); the list is written at once, a failure reported.
    void Add(const std::string& game);
    // The list as "recent" prints it, one line a game; empty without games.
    std::vector<std::string> Lines() const;

    std::vector<std::string> games;

private:
    std::filesystem::path file;
    std::function<bool(const std::string&)> load;
};

} // namespace Halvo
