#include "shell/Rewind.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "nes/Process.h"

namespace Halvo {

void Rewind::RunFrame(Nes::Process& process, bool render, double framesPerSecond) {
    const unsigned int kept = std::min(seconds.value, MaxSeconds);
    buffer.SetLimits(static_cast<std::size_t>(std::ceil(kept * framesPerSecond)),
                     static_cast<std::size_t>(kept) * bytesPer30Seconds / 30);
    if (Rewinding()) {
        buffer.StepBack(process, render);
        process.GetApu().samples.clear();
        return;
    }
    process.RunFrame(render);
    buffer.Record(process);
}

void Rewind::Key::PrintUsage(std::ostream& out) {
    out << "Runs the game backwards while held (bind it to a key), as far back as rewind_seconds.\n"
        << "usage: +rewind, then -rewind to go on" << std::endl;
}

} // namespace Halvo
