#include "app/WindowPlace.h"

#include <gtest/gtest.h>

namespace Halvo::App {
namespace {

TEST(WindowPlace, ReadsAndWritesItsWords) {
    WindowPlace place;
    ASSERT_TRUE(place.Parse("-1280,40,800,600"));
    EXPECT_EQ(place.Text(), "-1280,40,800,600");
    for (const char* refused : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,2,3,4", "1,2,3,4 ",
                                "1;2;3;4", "1,2,3,99999999999"}) {
        EXPECT_FALSE(place.Parse(refused)) << refused;
        EXPECT_EQ(place.Text(), "-1280,40,800,600") << refused;
    }
}

// A window whose top can still be grabbed on some display goes back there; one left off every
// display (a display unplugged, a smaller desktop) does not.
TEST(WindowPlace, ReachableOnlyWithItsTopOnADisplay) {
    const std::vector<WindowPlace::Rect> displays{{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}};
    const auto reachable = [&](std::int32_t x, std::int32_t y) {
        WindowPlace place;
        place.rect = {x, y, 640, 480};
        return place.Reachable(displays);
    };
    EXPECT_TRUE(reachable(100, 100));
    EXPECT_TRUE(reachable(-1000, 500));           // on the left display
    EXPECT_TRUE(reachable(1920 - 64, 1080 - 16)); // just a corner of its top left
    EXPECT_FALSE(reachable(1920 - 63, 100));      // too little of it across
    EXPECT_FALSE(reachable(100, 1080 - 15));      // too little of it down
    EXPECT_FALSE(reachable(100, -20));            // its top above every display
    EXPECT_FALSE(reachable(-1280 - 640, 0));
    EXPECT_FALSE(reachable(2147483000, 2147483000)); // no overflow
}

} // namespace
} // namespace Halvo::App
