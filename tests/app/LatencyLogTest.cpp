#include "app/LatencyLog.h"

#include <gtest/gtest.h>

namespace Halvo::App {
namespace {

// A press is timed to the first present after a frame that ran after it; presents before that frame
// and presses while one waits do not count.
TEST(LatencyLog, TimesAPressToThePresentOfTheFirstFrameAfterIt) {
    LatencyLog log;
    log.FrameRun(0.990);
    log.KeyPressed(1.000, 1.004);
    EXPECT_EQ(log.Presented(1.005), "");
    log.KeyPressed(1.006, 1.007); // waits behind the first
    log.FrameRun(1.010);
    log.FrameRun(1.020);
    EXPECT_EQ(log.Presented(1.0165), "Key to picture: 16.5 ms (handed on after 4.0 ms, frame run after 10.0 "
                                     "ms, presented after 16.5 ms).");
    EXPECT_EQ(log.Presented(1.030), "");
    log.KeyPressed(2.000, 2.000);
    log.FrameRun(2.001);
    EXPECT_NE(log.Presented(2.0335), "");
    EXPECT_EQ(log.Summary(), "Key to picture over 2 presses: mean 25.0 ms, at most 33.5 ms.");
}

} // namespace
} // namespace Halvo::App
