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

// With vertical sync on a display whose refresh is a whole multiple of the console's rate, every frame
// stays on screen for the same count of refreshes, even when the display's real rate is a little off
// its nominal one (59.94 Hz said as 60) or a turn comes late; 144 Hz cannot hold frames evenly and
// leaves them to the clock, as do fast forward and a display without sync.
TEST(FramePacer, HoldsEveryFrameForTheSameCountOfRefreshes) {
    struct Case {
        double console, nominal, real;
        std::uint32_t held;
    };
    for (const Case c : {Case{60.0988, 60, 59.94, 1}, Case{60.0988, 120, 120.1, 2},
                         Case{60.0988, 240, 240, 4}, Case{50.007, 100, 100, 2}, Case{60.0988, 144, 144, 0}}) {
        App::FramePacer pacer(c.console);
        pacer.SetDisplay(c.nominal, true);
        ASSERT_EQ(pacer.RefreshesPerFrame(), c.held) << c.nominal;
        if (!c.held) {
            continue;
        }
        EXPECT_NEAR(pacer.EffectiveRate(), c.nominal / c.held, 1e-9);
        std::vector<std::uint32_t> pattern;
        double now = 0;
        for (int turn = 0; turn < 2000; ++turn) {
            pattern.push_back(pacer.FramesDue(now));
            // Each turn waits for the next refresh, give or take a third of one.
            now += (1 + 0.3 * ((turn * 7919) % 3 - 1)) / c.real;
        }
        for (std::size_t turn = 1; turn < pattern.size(); ++turn) {
            EXPECT_EQ(pattern[turn], turn % c.held == 0 ? 1u : 0u) << c.nominal << " turn " << turn;
        }
    }
    App::FramePacer pacer(60.0988);
    pacer.SetDisplay(120, false);
    EXPECT_EQ(pacer.RefreshesPerFrame(), 0u);
    EXPECT_EQ(pacer.EffectiveRate(), 60.0988);
    // Turns that do not wait for the display still run the frames by the clock.
    pacer.SetDisplay(60, true);
    std::uint64_t frames = 0;
    for (double now = 0; now < 10; now += 0.001) {
        frames += pacer.FramesDue(now);
    }
    EXPECT_NEAR(static_cast<double>(frames), 600, 2);
    pacer.SetSpeed(8);
    frames = 0;
    for (double now = 10; now < 11; now += 1 / 60.0) {
        frames += pacer.FramesDue(now);
    }
    EXPECT_NEAR(static_cast<double>(frames), 8 * 60.0988, 9);
}

} // namespace
} // namespace Halvo
