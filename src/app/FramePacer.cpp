#include "app/FramePacer.h"

namespace Halvo::App {

std::uint32_t FramePacer::FramesDue(double now) {
    const double period = 1.0 / (rate * speed);
    if (!started) {
        started = true;
        next = now + period;
        return 1;
    }
    // Fast forward runs several frames a turn by design; the cap grows with it.
    const auto limit = static_cast<std::uint32_t>(MaxCatchUp * (speed > 1 ? speed : 1));
    std::uint32_t frames = 0;
    while (next <= now && frames < limit) {
        next += period;
        ++frames;
    }
    if (next <= now) {
        next = now + period;
    }
    return frames;
}

double FramePacer::SecondsToNext(double now) const {
    if (!started || next <= now) {
        return 0;
    }
    return next - now;
}

} // namespace Halvo::App
