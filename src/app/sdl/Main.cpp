// halvo: the NES emulator.
//   halvo [ROM] [+console line ...]
#include "app/ProgramEntry.h"
#include "app/sdl/SdlBridge.h"
#include "shell/HalvoShell.h"

namespace {

Halvo::App::Bridge* MakeSdlBridge() {
    return Halvo::Ref::New<Halvo::App::SdlBridge>();
}

} // namespace

int main(int argc, char** argv) {
    Halvo::App::Bridge::SetFactory(MakeSdlBridge);
    // The arguments go on as a list: a file name stays one name whatever characters it holds.
    return Halvo::App::ProgramEntry(std::vector<std::string>(argv + 1, argv + argc), Halvo::HalvoShell::Make);
}
