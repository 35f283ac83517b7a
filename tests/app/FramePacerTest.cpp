#include "app/FramePacer.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

// Frames emulated per simulated second stay within 0.5% of the console's rate whatever the display:
// 50, 60 and 144 Hz with vertical sync (the loop turns once per refresh), and none (the loop waits
// for the next frame, with some work time each turn).
TEST(FramePacer, EmulatesAtTheConsoleRateOnEveryDisplay) {
    for (const double rate : {60.0988, 50.0070}) {
        for (const double refresh : {50.0, 60.0, 144.0, 0.0}) {
            App::FramePacer pacer(rate);
            double now = 0;
            std::uint64_t frames = 0;
            while (now < 100) {
                frames += pacer.FramesDue(now);
                now += refresh > 0 ? 1 / refresh : pacer.SecondsToNext(now) + 0.0003;
            }
            EXPECT_NEAR(static_cast<double>(frames) / now, rate, rate * 0.005) << refresh;
        }
    }
}

// A long stall catches up a few frames, not all of them; a stop forgets the time it lasted; fast
// forward multiplies the rate.
TEST(FramePacer, StallsStopsAndFastForward) {
    App::FramePacer pacer(60);
    EXPECT_EQ(pacer.FramesDue(0), 1u);
    EXPECT_EQ(pacer.FramesDue(10), App::FramePacer::MaxCatchUp);
    EXPECT_EQ(pacer.FramesDue(10.001), 0u);
    pacer.Stop();
    EXPECT_EQ(pacer.FramesDue(50), 1u);
    EXPECT_EQ(pacer.FramesDue(50.0001), 0u);
    pacer.SetSpeed(4);
    std::uint32_t frames = 0;
    for (double now = 50; now < 53; now += 1 / 60.0) {
        frames += pacer.FramesDue(now);
    }
    EXPECT_NEAR(frames, 720, 6);
}

} // namespace
} // namespace Halvo
