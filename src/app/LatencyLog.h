#pragma once

#include <cstdint>
#include <string>

namespace Halvo::App {

// Measures the time from a key press to the first presented picture of a frame emulated after it:
// the press's time stamp from the platform, the moment the shell got it, the end of the first frame
// run after it, and the end of the present that showed that frame. Times are in seconds of one clock.
// While a press waits for its picture, later presses are not timed.
class LatencyLog {
public:
    // A key went down at `eventTime` and reached the shell at `handedTime`.
    void KeyPressed(double eventTime, double handedTime);
    // A frame was emulated (its joypad reads done), ending at `time`.
    void FrameRun(double time);
    // A present ended at `time`. Gives the line that times the waiting press when this present showed
    // a frame run after it, else an empty string.
    std::string Presented(double time);
    // "Key to picture over N presses: mean ..., at most ... ms." (empty before the first).
    std::string Summary() const;

    std::uint32_t Presses() const { return presses; }

private:
    bool waiting = false;
    bool frameDone = false;
    double eventAt = 0;
    double handedAt = 0;
    double frameAt = 0;
    std::uint32_t presses = 0;
    double totalSeconds = 0;
    double longestSeconds = 0;
};

} // namespace Halvo::App
