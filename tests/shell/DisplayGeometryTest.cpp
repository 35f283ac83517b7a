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

} // namespace
} // namespace Halvo
