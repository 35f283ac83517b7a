#include "shell/CommandLine.h"

namespace Halvo {

namespace {

// The characters the console separates words at; a line end cannot be part of a console line at all.
constexpr const char* Blanks = " \t\v\f";
constexpr const char* LineEnds = "\n\r";

bool StartsConsoleLine(const std::string& argument) {
    return !argument.empty() && argument[0] == '+' && argument != "+=";
}

} // namespace

bool QuoteConsoleWord(const std::string& word, std::string& written) {
    const bool hasBlank = word.find_first_of(Blanks) != std::string::npos;
    if (word.find_first_of(LineEnds) != std::string::npos ||
        (hasBlank && word.find('"') != std::string::npos)) {
        return false;
    }
    written = hasBlank || word.empty() ? '"' + word + '"' : word;
    return true;
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine result;
    std::size_t i = 0;
    if (!arguments.empty() && !StartsConsoleLine(arguments[0])) {
        result.romFile = arguments[0];
        i = 1;
    }
    for (; i < arguments.size() && !StartsConsoleLine(arguments[i]); ++i) {
        result.problems.push_back("Ignoring the command-line word " + arguments[i] +
                                  ": console lines begin with +.");
    }
    while (i < arguments.size()) {
        const std::string head = arguments[i].substr(1);
        std::string line = head;
        bool sayable = line.find_first_of(LineEnds) == std::string::npos;
        for (++i; i < arguments.size() && !StartsConsoleLine(arguments[i]); ++i) {
            std::string word;
            sayable = QuoteConsoleWord(arguments[i], word) && sayable;
            line += ' ' + word;
        }
        if (sayable) {
            result.consoleLines.push_back(line);
        } else {
            result.problems.push_back("Ignoring the command-line console line +" + head +
                                      ": a line end, or a blank together with a double quote, cannot be "
                                      "written in a console line.");
        }
    }
    return result;
}

} // namespace Halvo
