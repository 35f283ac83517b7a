#include "shell/PlayStats.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

// The averages cover only the last five seconds of play: a slow start drops out of them, and the
// line has the agreed form.
TEST(PlayStats, AveragesTheLastFiveSecondsOfPlay) {
    PlayStats stats;
    for (int turn = 0; turn < 600; ++turn) {
        stats.Add(1 / 60.0, 1, 0); // ten seconds of emulation with nothing shown
    }
    for (int turn = 0; turn < 1440; ++turn) {
        stats.Add(1 / 144.0, turn % 12 < 5 ? 1 : 0, 1); // ten at 144 Hz, 60 emulated frames a second
    }
    EXPECT_NEAR(stats.EmulatedPerSecond(), 60, 0.5);
    EXPECT_NEAR(stats.ShownPerSecond(), 144, 0.5);
    PlayStats fresh;
    for (int turn = 0; turn < 600; ++turn) {
        fresh.Add(1 / 59.94, 1, 1);
    }
    EXPECT_EQ(fresh.Line(48, 0),
              "Emulated 59.94 frames per second, shown 59.94, audio buffer 48 ms, 0 underruns.");
    EXPECT_EQ(PlayStats().Line(0, 1),
              "Emulated 0.00 frames per second, shown 0.00, audio buffer 0 ms, 1 underrun.");
}

} // namespace
} // namespace Halvo
