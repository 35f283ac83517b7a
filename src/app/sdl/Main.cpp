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
    return Halvo::App::ProgramEntry(Halvo::App::JoinCommandLine(argc, argv), Halvo::HalvoShell::Make);
}
