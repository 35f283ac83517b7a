#pragma once

#include <cstdint>

namespace Halvo::App {

// Schedules emulated frames by the console's own rate, whatever the display does: each turn of the
// main loop asks how many frames are due by the clock. A 60 Hz display then shows every frame once,
// a 144 Hz one shows some twice, a 50 Hz one skips some; without vertical sync the loop waits for the
// next frame instead. A loop held up for long (a dragged window, a slow disk) catches up at most
// `MaxCatchUp` frames and forgets the rest, rather than racing.
class FramePacer {
public:
    static constexpr std::uint32_t MaxCatchUp = 4;

    explicit FramePacer(double framesPerSecond = 60.0988) : rate(framesPerSecond) {}

    // The console's frame rate; a change keeps the present schedule's phase.
    void SetRate(double framesPerSecond) { rate = framesPerSecond; }
    double Rate() const { return rate; }
    // Runs at `speed` times the rate (fast forward), from now on.
    void SetSpeed(double factor) { speed = factor; }

    // The frames to run at time `now` (seconds), counted as run.
    std::uint32_t FramesDue(double now);
    // Seconds from `now` until the next frame is due (0 when one is due).
    double SecondsToNext(double now) const;
    // Time stops counting (the game is paused): the next call of FramesDue starts afresh.
    void Stop() { started = false; }

private:
    double rate;
    double speed = 1;
    double next = 0;
    bool started = false;
};

} // namespace Halvo::App
