#pragma once

#include <filesystem>
#include <string>

namespace Halvo {

namespace Console {
class System;
}

// The lines typed into the console, kept from one start to the next: one line each, oldest first, in
// $XDG_DATA_HOME/halvo/history (~/.local/share/halvo/history when the variable is unset, empty or
// relative).
namespace ConsoleHistory {

std::filesystem::path DefaultFile();
// Puts the file's lines (as many as the console keeps, the newest) into the console's history; a
// missing file is an empty history.
void Load(Console::System& console, const std::filesystem::path& file);
// Writes the console's history atomically, making the folder if need be; false with the reason.
bool Save(const Console::System& console, const std::filesystem::path& file, std::string& error);

} // namespace ConsoleHistory

} // namespace Halvo
