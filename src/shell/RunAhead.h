#pragma once

#include <cstdint>
#include <vector>

#include "console/Function.h"
#include "console/Variable.h"
#include "nes/Process.h"

namespace Halvo {

// Run-ahead hides the lag a game builds into its own loop (it reads the pad in one frame and draws
// the answer a frame or two later): after each frame of the running machine the player is shown the
// frame "runahead" frames further on, computed from a state of the machine with the buttons now held
// still held. The running machine itself goes on from its own frame, so its sound, its save states
// and its rewind are those of the game as played.
//
// With "runahead_instance" (the default) the frames ahead run on a second machine of the same
// cartridge, which takes the running machine's state each frame; the running machine is never put
// back, so a game that reads the pad at odd times (or a state that misses some corner of the
// hardware) cannot be disturbed by it. Without it the running machine itself runs ahead and is put
// back from its state, which costs one machine less.
class RunAhead {
public:
    static constexpr unsigned int MaxFrames = 4;

    // The console entries: "runahead" and "runahead_instance".
    std::vector<Console::Function*> Functions() { return {&frames, &instance}; }

    bool On() const { return frames.value > 0; }
    // After a frame of `process` run without a picture, and after its sound samples were taken:
    // draws the picture of the frame `runahead` frames ahead into the process's canvas. The samples
    // made ahead are dropped; the buttons stay as the frame left them. A state that does not take (it cannot
    // happen for a machine's own state) turns run-ahead off with a report.
    void ShowAhead(Nes::Process& process);
    // The game changed or ended: the second machine belongs to the old one.
    void Forget();

    Console::Variable<unsigned int> frames{"runahead", 0, 0, MaxFrames};
    Console::Variable<bool> instance{"runahead_instance", true};

private:
    bool AheadOnSecondMachine(Nes::Process& process);
    bool AheadInPlace(Nes::Process& process);
    // Runs the frames ahead on `machine` with the buttons of `held`; only the last is drawn.
    void RunFramesAhead(Nes::Process& machine, const Nes::ButtonState& held);

    Ref::Ptr<Nes::Process> second;
    const Nes::Process* secondFor = nullptr;
    // The running machine's state, its buffer reused from frame to frame.
    std::vector<std::uint8_t> state;
};

} // namespace Halvo
