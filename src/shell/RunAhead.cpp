#include "shell/RunAhead.h"

#include <string>

#include "console/System.h"
#include "nes/state/SaveState.h"

namespace Halvo {

namespace {
constexpr const char* Operation = "Halvo::RunAhead::ShowAhead";
}

void RunAhead::ShowAhead(Nes::Process& process) {
    if (!On()) {
        return;
    }
    if (instance.value ? AheadOnSecondMachine(process) : AheadInPlace(process)) {
        return;
    }
    Console::ReportError(Operation, __LINE__)
        << "Run-ahead is off: the game's state could not be run ahead." << std::endl;
    frames.value = 0;
    Forget();
}

void RunAhead::Forget() {
    second = nullptr;
    secondFor = nullptr;
}

bool RunAhead::AheadOnSecondMachine(Nes::Process& process) {
    if (secondFor != &process || second->romImage != process.romImage) {
        // The same machine: the game's timing model and region, or its states would not fit.
        second = Nes::Process::Create(process.IsExact() ? "Exact" : "Static", process.romImage);
        if (!second) {
            return false;
        }
        second->chosenRegion = process.chosenRegion;
        second->Reset(true);
        // Its sound is never heard.
        second->GetApu().SetSynthesis(false);
        secondFor = &process;
    }
    // The second machine draws what the player sees; the running one draws nothing while this is on.
    second->GetPpu().SetCanvas(process.GetPpu().canvas);
    Nes::SaveState::WriteMachine(process, state);
    std::string error;
    if (!Nes::SaveState::ReadMachine(*second, state.data(), state.size(), error)) {
        return false;
    }
    RunFramesAhead(*second, process.Buttons());
    return true;
}

bool RunAhead::AheadInPlace(Nes::Process& process) {
    Nes::SaveState::WriteMachine(process, state);
    const Nes::ButtonState held = process.Buttons();
    RunFramesAhead(process, held);
    std::string error;
    const bool back = Nes::SaveState::ReadMachine(process, state.data(), state.size(), error);
    process.Buttons() = held;
    return back;
}

void RunAhead::RunFramesAhead(Nes::Process& machine, const Nes::ButtonState& held) {
    machine.Buttons() = held;
    for (unsigned int frame = 1; frame <= frames.value; ++frame) {
        machine.RunFrame(frame == frames.value);
    }
    machine.GetApu().samples.clear();
}

} // namespace Halvo
