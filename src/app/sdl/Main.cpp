// halvo: the NES emulator.
//   halvo [ROM] [+console line ...]
#include "app/ProgramEntry.h"
#include "app/sdl/SdlBridge.h"
#include "console/StopRequest.h"
#include "shell/HalvoShell.h"

namespace {

Halvo::App::Bridge* MakeSdlBridge() {
    return Halvo::Ref::New<Halvo::App::SdlBridge>();
}

} // namespace

int main(int argc, char** argv) {
    Halvo::App::Bridge::SetFactory(MakeSdlBridge);
    // Installed before SDL starts, which then leaves them in place: SDL's own handlers only queue an
    // event, which nothing reads while a script runs.
    Halvo::Console::InstallStopSignalHandlers();
    // The arguments go on as a list: a file name stays one name whatever characters it holds.
    return Halvo::App::ProgramEntry(std::vector<std::string>(argv + 1, argv + argc), Halvo::HalvoShell::Make);
}
