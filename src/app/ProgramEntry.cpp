#include "app/ProgramEntry.h"

#include <exception>
#include <stdexcept>

#include "app/Shell.h"
#include "console/System.h"

namespace Halvo::App {

int ProgramEntry(const std::vector<std::string>& arguments, ShellMaker makeShell) {
    Ref::Ptr<Console::System> console = Console::System::Instance();
    console->SetLogFile(LogFileName);

    int exitCode = 0;
    Ref::Ptr<Bridge> bridge;
    Ref::Ptr<Shell> shell;
    try {
        bridge = Bridge::Instance();
        shell = makeShell(bridge.Get());
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

} // namespace Halvo::App
