#pragma once

#include <string>
#include <vector>

namespace Halvo {

// What the program's arguments ask for:  halvo [ROM] [+console line ...]
// An argument that begins with "+" starts a console line: the rest of that argument begins the line,
// and the arguments up to the next such one are its further words. The operator "+=" is a word, not the
// start of a line. A first argument without "+" names the cartridge image, whatever its characters.
struct CommandLine {
    std::string romFile;                   // empty when none was given
    std::vector<std::string> consoleLines; // in the order given
    std::vector<std::string> problems;     // one message for each argument or line left out
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Writes a word so that the console reads it back as the same word: as it is when it holds no blank, in
// double quotes when it holds one or is empty. False when no console line can hold the word: it has a
// line end, or a blank together with a double quote (console literals have no escapes).
bool QuoteConsoleWord(const std::string& word, std::string& written);

} // namespace Halvo
