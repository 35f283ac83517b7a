#include "shell/FramePreview.h"

#include <string>
#include <vector>

#include "nes/Ppu.h"
#include "nes/state/SaveState.h"

namespace Halvo {

bool DrawFollowingFrame(Nes::Process& process, const Ref::Ptr<Gfx::NesCanvas>& canvas) {
    std::vector<std::uint8_t> state;
    Nes::SaveState::WriteMachine(process, state);
    Nes::Ppu& ppu = process.GetPpu();
    const Ref::Ptr<Gfx::NesCanvas> shown = ppu.canvas;
    const Nes::ButtonState held = process.Buttons();
    ppu.SetCanvas(canvas);
    process.RunFrame(true);
    process.GetApu().samples.clear();
    ppu.SetCanvas(shown);
    std::string error;
    const bool back = Nes::SaveState::ReadMachine(process, state.data(), state.size(), error);
    process.Buttons() = held;
    return back;
}

} // namespace Halvo
