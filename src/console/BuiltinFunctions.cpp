#include "console/BuiltinFunctions.h"

#include <fstream>

#include "console/ReadToken.h"
#include "console/System.h"

namespace Halvo::Console {

bool HelpFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        for (const auto& function : functions) {
            if ((function->flags & HiddenFlags) == 0) {
                out << function->name << '\n';
            }
        }
        out << std::endl;
        return true;
    }
    for (const auto& function : functions) {
        if (function->name == word) {
            function->PrintUsage(out);
            return true;
        }
    }
    out << word << " is not a valid console function or variable." << std::endl;
    return true;
}

void HelpFunction::PrintUsage(std::ostream& out) {
    out << "usage: help <command>" << std::endl;
}

bool EchoFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::string token;
    switch (ReadToken(arguments, token)) {
    case BareWord:
        if (token == "on" || token == "off") {
            echo = token == "on";
            return true;
        }
        return false;
    case QuotedLiteral:
        out << token << std::endl;
        return true;
    default:
        return false;
    }
}

void EchoFunction::PrintUsage(std::ostream& out) {
    out << "usage: echo [on|off|{\"<string literal>\"}]\n"
        << "       echo is currently " << (echo ? "on" : "off") << std::endl;
}

bool RunFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::string fileName;
    if (ReadToken(arguments, fileName) == NoToken) {
        return false;
    }
    std::ifstream script(fileName);
    if (!script) {
        out << "Could not open " << fileName << std::endl;
        return true;
    }
    if (depth >= MaxNesting) {
        out << "Not running " << fileName << ": scripts may run other scripts at most " << MaxNesting
            << " levels deep." << std::endl;
        return true;
    }
    ++depth;
    System::Instance()->ExecuteStream(script);
    --depth;
    return true;
}

void RunFunction::PrintUsage(std::ostream& out) {
    out << "usage: run [\"<file name>\"]" << std::endl;
}

} // namespace Halvo::Console
