#pragma once

#include <cmath>
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
    void SetSpeed(double factor) {
        // The schedule starts afresh: held frames and the clock count differently.
        started = started && factor == speed;
        speed = factor;
    }
    // The display the frames go to: its refresh rate (0 when unknown) and whether presenting waits for
    // its refresh. Where the refresh is within `HeldTolerance` of a whole multiple of the console's rate
    // (60 or 59.94 Hz, 120, 240; 50 or 100 for PAL) and presenting waits for it, every frame is held for
    // the same count of refreshes: the loop's turns count as refreshes and the game runs at the display's
    // rate divided by that count (on 60 Hz 0.16% slower than the console, which the sound follows).
    // Elsewhere (144 or 165 Hz, no sync, a variable-refresh display) the clock paces, and on a fixed
    // refresh some frames stay a refresh longer than others.
    void SetDisplay(double refreshRate, bool waitsForRefresh);
    // The refreshes each frame is held for; 0 while the clock paces.
    std::uint32_t RefreshesPerFrame() const;
    // The rate frames run at now (before fast forward): the console's, or the display's share.
    double EffectiveRate() const;

    static constexpr double HeldTolerance = 0.005;

    // The frames to run at time `now` (seconds), counted as run.
    std::uint32_t FramesDue(double now);
    // Seconds from `now` until the next frame is due (0 when one is due).
    double SecondsToNext(double now) const;
    // Time stops counting (the game is paused): the next call of FramesDue starts afresh.
    void Stop() { started = false; }

private:
    std::uint32_t HeldFramesDue(double now, std::uint32_t held);

    double rate;
    double speed = 1;
    double next = 0;
    bool started = false;
    double refresh = 0;
    bool synchronised = false;
    // Held frames: the time of the last turn, refreshes counted towards the next frame, and the part
    // of a refresh that short turns have added up to.
    double lastTurn = 0;
    std::uint32_t refreshesCounted = 0;
    double refreshCarry = 0;
};

} // namespace Halvo::App
