#include "app/FrameDelay.h"

#include <algorithm>

namespace Halvo::App {

void FrameDelay::Record(double workSeconds, double presentInterval) {
    work[next] = workSeconds;
    intervals[next] = presentInterval;
    next = (next + 1) % Kept;
    count = std::min(count + 1, Kept);
}

double FrameDelay::Wait(double refreshPeriod) const {
    // Too few frames say nothing about the slow ones yet.
    if (count < Kept) {
        return 0;
    }
    const double period =
        refreshPeriod > 0 ? refreshPeriod : *std::min_element(intervals.begin(), intervals.end());
    const double slowest = *std::max_element(work.begin(), work.end());
    return std::clamp(period - 2 * slowest - Margin, 0.0, period);
}

} // namespace Halvo::App
