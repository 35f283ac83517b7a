#include "app/ProgramEntry.h"

#include <exception>
#include <sstream>
#include <stdexcept>

#include "app/Shell.h"
#include "console/System.h"

namespace Halvo::App {

int ProgramEntry(const std::string& commandLine, ShellMaker makeShell) {
    Ref::Ptr<Console::System> console = Console::System::Instance();
    console->SetLogFile(LogFileName);

    int exitCode = 0;
    Ref::Ptr<Bridge> bridge;
    Ref::Ptr<Shell> shell;
    try {
        bridge = Bridge::Instance();
        shell = makeShell(bridge.Get());
        std::istringstream arguments(commandLine);
        if (!shell || !shell->Initiate(arguments)) {
            throw std::runtime_error("bad initialization");
        }
        exitCode = shell->Run();
    } catch (const std::exception& exception) {
        console->Output() << "Exception caught: " << exception.what() << ". Terminating program..."
                          << std::endl;
        exitCode = 1;
    } catch (...) {
        console->Output() << "Unknown exception caught. Terminating program..." << std::endl;
        exitCode = 1;
    }

    if (shell) {
        shell->Terminate();
    }
    shell.Reset();
    bridge.Reset();
    console.Reset();
    return exitCode;
}

std::string JoinCommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (!line.empty()) {
            line += ' ';
        }
        if (word.empty() || word.find_first_of(" \t") != std::string::npos) {
            line += '"' + word + '"';
        } else {
            line += word;
        }
    }
    return line;
}

} // namespace Halvo::App
