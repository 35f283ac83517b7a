#pragma once

#include <string>
#include <vector>

#include "console/System.h"

namespace Halvo::TestSupport {

// Holds the console system for a test and reads back what was written to it.
class ConsoleCapture {
public:
    ConsoleCapture() : console(Console::System::Instance()) { console->lines.clear(); }

    Console::System& System() { return *console; }

    // The output lines, oldest first.
    std::vector<std::string> Lines() const {
        std::vector<std::string> texts;
        for (auto line = console->lines.rbegin(); line != console->lines.rend(); ++line) {
            texts.push_back(line->text);
        }
        return texts;
    }

    // The output lines that carry the error mark, oldest first.
    std::vector<std::string> ErrorLines() const {
        std::vector<std::string> texts;
        for (auto line = console->lines.rbegin(); line != console->lines.rend(); ++line) {
            if (line->isError) {
                texts.push_back(line->text);
            }
        }
        return texts;
    }

    std::string LastLine() const {
        return console->lines.empty() ? std::string() : console->lines.front().text;
    }

    void Clear() { console->lines.clear(); }

private:
    Ref::Ptr<Console::System> console;
};

// The text an error report of the given operation and message begins with, without the source line:
// matches "[operation][" ... "] Error: message".
inline bool IsReport(const std::string& line, const std::string& operation, const std::string& message) {
    const std::string head = "[" + operation + "][";
    const std::string tail = "] Error: " + message;
    if (line.compare(0, head.size(), head) != 0 || line.size() < head.size() + tail.size()) {
        return false;
    }
    const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
    return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos &&
           line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace Halvo::TestSupport
