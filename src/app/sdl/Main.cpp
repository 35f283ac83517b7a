// halvo: the NES emulator.
//   halvo [--desktop] [--] [ROM] [+console line ...]
//   halvo --help | --version
#include <iostream>

#include "app/ProgramEntry.h"
#include "app/ProgramOptions.h"
#include "app/sdl/SdlBridge.h"
#include "console/StopRequest.h"
#include "shell/HalvoShell.h"

namespace {

Halvo::App::Bridge* MakeSdlBridge() {
    return Halvo::Ref::New<Halvo::App::SdlBridge>();
}

} // namespace

int main(int argc, char** argv) {
    using Halvo::App::ProgramOptions;
    // Decided before the log or a window exists: asking for help must not leave a "halvo.log" behind or
    // take the screen. The arguments go on as a list: a file name stays one name whatever it holds.
    const ProgramOptions options =
        Halvo::App::ParseProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (options.action) {
    case ProgramOptions::Action::Help:
        std::cout << Halvo::App::ProgramUsage() << std::flush;
        return std::cout ? 0 : 1;
    case ProgramOptions::Action::Version:
        std::cout << Halvo::App::ProgramVersion() << std::flush;
        return std::cout ? 0 : 1;
    case ProgramOptions::Action::Refuse:
        std::cerr << "halvo: " << options.error << "\n\n" << Halvo::App::ProgramUsage() << std::flush;
        return 2;
    case ProgramOptions::Action::Run:
        break;
    }

    Halvo::HalvoShell::startedFromDesktop = options.desktop;
    Halvo::App::Bridge::SetFactory(MakeSdlBridge);
    // Installed before SDL starts, which then leaves them in place: SDL's own handlers only queue an
    // event, which nothing reads while a script runs.
    Halvo::Console::InstallStopSignalHandlers();
    return Halvo::App::ProgramEntry(options.arguments, Halvo::HalvoShell::Make);
}
