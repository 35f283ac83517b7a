#pragma once

#include <string>
#include <vector>

namespace Halvo::Console {

class System;

// What Tab makes of the line being typed: the first word is completed from the names of the commands
// and variables (those "help" does not hide), the word after "loadrom" or "run" from the files of the
// folder it names. The line is lengthened by what every candidate shares; with one candidate, a
// command is followed by a space and a folder by "/", and a name with a blank is put in quotes.
struct Completion {
    std::string line;
    // Every candidate, in order of name.
    std::vector<std::string> candidates;
};

Completion Complete(const System& console, const std::string& line);

} // namespace Halvo::Console
