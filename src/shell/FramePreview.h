#pragma once

#include "gfx/NesCanvas.h"
#include "nes/Process.h"

namespace Halvo {

// Draws the frame that follows the machine's present moment onto `canvas`, without the machine moving
// on: it runs that frame from a state of itself and is then put back. For a picture while the game
// stands still (paused, or in the console) and for the game's own 256 x 240 frame. The frame's sound is
// dropped; false when the machine could not be put back (its own state always fits it).
bool DrawFollowingFrame(Nes::Process& process, const Ref::Ptr<Gfx::NesCanvas>& canvas);

} // namespace Halvo
