#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/System.h"

namespace Halvo::TestSupport {

// Whether a line is the error report of the given operation and message, whatever its source line:
// "[operation][" digits "] Error: message".
inline bool IsReport(const std::string& line, const std::string& operation, const std::string& message) {
    const std::string head = "[" + operation + "][";
    const std::string tail = "] Error: " + message;
    if (line.size() <= head.size() + tail.size() || line.compare(0, head.size(), head) != 0 ||
        line.compare(line.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

// Holds the console system for a test and reads back what was written to it.
class ConsoleCapture {
public:
    ConsoleCapture() : console(Console::System::Instance()) { console->lines.clear(); }

    Console::System& System() { return *console; }

    // The output lines (all, or only those with the error mark), oldest first.
    std::vector<std::string> Lines(bool errorsOnly = false) const {
        std::vector<std::string> texts;
        for (auto line = console->lines.rbegin(); line != console->lines.rend(); ++line) {
            if (line->isError || !errorsOnly) {
                texts.push_back(line->text);
            }
        }
        return texts;
    }
    std::vector<std::string> ErrorLines() const { return Lines(true); }

    std::string LastLine() const {
        return console->lines.empty() ? std::string() : console->lines.front().text;
    }

    void Clear() { console->lines.clear(); }

    // Whether the console holds one line only, the report of the operation with the message; or no line at
    // all when the message is empty.
    testing::AssertionResult HoldsOnly(const std::string& operation, const std::string& message) const {
        const std::vector<std::string> lines = Lines();
        if (message.empty() ? lines.empty()
                            : lines.size() == 1 && console->lines.front().isError &&
                                  IsReport(lines[0], operation, message)) {
            return testing::AssertionSuccess();
        }
        return testing::AssertionFailure() << "the console holds " << testing::PrintToString(lines);
    }

    // Executes one console line and gives the lines it printed.
    std::vector<std::string> Run(const std::string& line) {
        Clear();
        console->Execute(line);
        return Lines();
    }

private:
    Ref::Ptr<Console::System> console;
};

} // namespace Halvo::TestSupport
