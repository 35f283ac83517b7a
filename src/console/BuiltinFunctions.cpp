#include "console/BuiltinFunctions.h"

#include <sstream>

#include "console/LineReader.h"
#include "console/ReadToken.h"
#include "console/RegularFile.h"
#include "console/System.h"
#include "console/Variable.h"

namespace Halvo::Console {

bool HelpFunction::Execute(std::istream& arguments, std::ostream& out) {
    std::string word;
    if (!(arguments >> word)) {
        // The commands, then the variables.
        for (const std::uint32_t kind : {0u, Variable<bool>::VariableFlags}) {
            for (const auto& function : functions) {
                if ((function->flags & HiddenFlags) == kind) {
                    out << function->name << '\n';
                }
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
    // A word that names nothing lists what begins with it ("help g_": the graphics variables).
    bool listed = false;
    for (const auto& function : functions) {
        if ((function->flags & 1) == 0 && function->name.compare(0, word.size(), word) == 0) {
            out << function->name << '\n';
            listed = true;
        }
    }
    if (listed) {
        out << std::flush;
        return true;
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
    std::string contents;
    std::string reason;
    switch (ReadRegularFile(fileName, MaxScriptBytes, contents, reason)) {
    case FileRefusal::None:
        break;
    case FileRefusal::Missing:
    case FileRefusal::Failed:
        out << "Could not open " << fileName << std::endl;
        return true;
    case FileRefusal::TooLarge:
        out << "Could not run " << fileName << ": a script may hold at most " << MaxScriptBytes << " bytes."
            << std::endl;
        return true;
    case FileRefusal::Directory:
    case FileRefusal::NotAFile:
    case FileRefusal::Unreadable:
        out << "Could not run " << fileName << ": " << reason << "." << std::endl;
        return true;
    }
    std::istringstream script(contents);
    if (depth >= MaxNesting) {
        // Said once per run: a script that runs itself several times hits the limit at every leaf.
        if (!nestingReported) {
            out << "Not running " << fileName << ": scripts may run other scripts at most " << MaxNesting
                << " levels deep." << std::endl;
            nestingReported = true;
        }
        return true;
    }
    const bool topLevel = depth == 0;
    if (topLevel) {
        linesLeft = MaxLinesPerRun;
        runEnd = StreamEnd::Finished;
        nestingReported = false;
    }
    ++depth;
    std::uint64_t lineNumber = 0;
    const StreamEnd end = System::Instance()->ExecuteStream(script, linesLeft, lineNumber);
    --depth;
    switch (end) {
    case StreamEnd::LineTooLong:
        out << "Stopped running " << fileName << " at line " << lineNumber
            << ": a script line may hold at most " << MaxLineLength << " characters." << std::endl;
        break;
    case StreamEnd::TooLarge:
        out << "Stopped running " << fileName << ": a script may hold at most " << MaxScriptBytes << " bytes."
            << std::endl;
        break;
    case StreamEnd::ReadError:
        out << "Stopped running " << fileName << ": it could not be read." << std::endl;
        break;
    case StreamEnd::OutOfLines:
    case StreamEnd::Stopped:
        // Every script of the run stops here; the one the user ran says why, once.
        runEnd = end;
        break;
    case StreamEnd::Finished:
        break;
    }
    if (topLevel && runEnd == StreamEnd::OutOfLines) {
        out << "Stopped running " << fileName << ": one run may read at most " << MaxLinesPerRun
            << " script lines." << std::endl;
    } else if (topLevel && runEnd == StreamEnd::Stopped) {
        out << "Stopped running " << fileName << ": the program was asked to end." << std::endl;
    }
    return true;
}

void RunFunction::PrintUsage(std::ostream& out) {
    out << "usage: run [\"<file name>\"]" << std::endl;
}

} // namespace Halvo::Console
