#include "app/FrameDelay.h"

#include <gtest/gtest.h>

namespace Halvo::App {
namespace {

// The wait leaves room for twice the slowest recent frame and the margin, and none before enough
// frames were seen, for frames that do not fit, or once forgotten.
TEST(FrameDelay, WaitsAsLongAsTheSlowestRecentFrameAllows) {
    FrameDelay delay;
    for (std::uint32_t frame = 0; frame + 1 < FrameDelay::Kept; ++frame) {
        delay.Record(0.001, 0.017);
    }
    EXPECT_EQ(delay.Wait(1 / 60.0), 0.0);
    delay.Record(0.003, 0.017);
    EXPECT_NEAR(delay.Wait(1 / 60.0), 1 / 60.0 - 0.006 - FrameDelay::Margin, 1e-9);
    for (std::uint32_t frame = 0; frame + 1 < FrameDelay::Kept; ++frame) {
        delay.Record(0.001, 0.017);
    }
    EXPECT_NEAR(delay.Wait(1 / 60.0), 1 / 60.0 - 0.006 - FrameDelay::Margin, 1e-9); // still remembered
    delay.Record(0.001, 0.017);
    EXPECT_NEAR(delay.Wait(1 / 60.0), 1 / 60.0 - 0.002 - FrameDelay::Margin, 1e-9);
    EXPECT_EQ(delay.Wait(1 / 240.0), 0.0);
    delay.Record(0.01, 0.017);
    EXPECT_EQ(delay.Wait(1 / 60.0), 0.0);
    // A display that does not say its refresh has the shortest interval between presents as its own.
    for (std::uint32_t frame = 0; frame < FrameDelay::Kept; ++frame) {
        delay.Record(0.001, frame == 5 ? 0.0334 : 0.0167);
    }
    EXPECT_NEAR(delay.Wait(0), 0.0167 - 0.002 - FrameDelay::Margin, 1e-9);
    delay.Forget();
    EXPECT_EQ(delay.Wait(1 / 60.0), 0.0);
}

} // namespace
} // namespace Halvo::App
