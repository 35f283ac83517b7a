#include "shell/DisplayGeometry.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

TEST(DisplayGeometry, PictureKeepsItsShapeCentredOrFillsTheBackBuffer) {
    const struct {
        std::uint32_t width, height;
        bool keepShape;
        Gfx::ScreenRect rect;
    } cases[] = {
        {1024, 768, true, {73, 0, 950, 768}},  // wider than 8:7: bars left and right
        {640, 1024, true, {0, 232, 640, 792}}, // taller: bars above and below
        {256, 224, true, {0, 0, 256, 224}},    // exactly 8:7
        {1024, 768, false, {0, 0, 1024, 768}}, {1, 1, true, {0, 0, 1, 0}},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(DisplayRectangle(test.width, test.height, test.keepShape), test.rect)
            << test.width << "x" << test.height;
    }
}

TEST(DisplayGeometry, FontHeightFollowsTheShorterSide) {
    const struct {
        std::uint32_t width, height, fontHeight;
    } cases[] = {
        {640, 480, 12}, {480, 640, 12}, {1024, 768, 20}, {400, 300, 10}, {400, 301, 7}, {20, 20, 0},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(ConsoleFontHeight(test.width, test.height), test.fontHeight)
            << test.width << "x" << test.height;
    }
}

// Whole multiples only: 1920 x 1080 holds 4 x 224 = 896 rows (not 1080), 300 x 300 one, and a back
// buffer smaller than the picture falls back to the shaped rectangle.
TEST(DisplayGeometry, IntegerScaleTakesTheLargestWholeMultiple) {
    EXPECT_EQ(IntegerDisplayRectangle(1920, 1080), (Gfx::ScreenRect{448, 92, 1472, 988}));
    EXPECT_EQ(IntegerDisplayRectangle(300, 300), (Gfx::ScreenRect{22, 38, 278, 262}));
    EXPECT_EQ(IntegerDisplayRectangle(200, 100), DisplayRectangle(200, 100, true));
}

} // namespace
} // namespace Halvo
