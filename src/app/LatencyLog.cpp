#include "app/LatencyLog.h"

#include <algorithm>
#include <cstdio>

namespace Halvo::App {

void LatencyLog::KeyPressed(double eventTime, double handedTime) {
    if (waiting) {
        return;
    }
    waiting = true;
    frameDone = false;
    eventAt = std::min(eventTime, handedTime);
    handedAt = handedTime;
}

void LatencyLog::FrameRun(double time) {
    if (waiting && !frameDone) {
        frameDone = true;
        frameAt = time;
    }
}

std::string LatencyLog::Presented(double time) {
    if (!waiting || !frameDone) {
        return {};
    }
    waiting = false;
    const double total = time - eventAt;
    ++presses;
    totalSeconds += total;
    longestSeconds = std::max(longestSeconds, total);
    char line[160];
    std::snprintf(
        line, sizeof line,
        "Key to picture: %.1f ms (handed on after %.1f ms, frame run after %.1f ms, presented after "
        "%.1f ms).",
        total * 1000, (handedAt - eventAt) * 1000, (frameAt - eventAt) * 1000, total * 1000);
    return line;
}

std::string LatencyLog::Summary() const {
    if (presses == 0) {
        return {};
    }
    char line[120];
    std::snprintf(line, sizeof line, "Key to picture over %u presses: mean %.1f ms, at most %.1f ms.",
                  presses, totalSeconds / presses * 1000, longestSeconds * 1000);
    return line;
}

} // namespace Halvo::App
