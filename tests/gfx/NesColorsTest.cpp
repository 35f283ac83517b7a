#include "gfx/NesColors.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "gfx/MemoryNesCanvas.h"

namespace Halvo::Gfx {
namespace {

// The colours as a 32-bit canvas stores them, 0xRRGGBB: what the user sees.
class NesColors : public testing::Test {
protected:
    void Expect(std::uint32_t emphasis, std::initializer_list<std::pair<int, std::uint32_t>> expected) {
        canvas->colors.fill(0xDEADBEEF);
        canvas->emphasis = emphasis;
        GenerateNesColors(*canvas);
        for (const auto& [index, rgb] : expected) {
            EXPECT_EQ(canvas->colors[index], rgb)
                << std::hex << "colour " << index << ", emphasis " << emphasis;
        }
        EXPECT_EQ(std::count(canvas->colors.begin(), canvas->colors.end(), 0xDEADBEEF), 0)
            << "all 64 are made";
    }

    Ref::Ptr<MemoryNesCanvas<unsigned int, 3>> canvas =
        Ref::New<MemoryNesCanvas<unsigned int, 3>>(PixelFormat::X8R8G8B8);
};

TEST_F(NesColors, DefaultsGiveTheGraysWhitesAndHues) {
    // Hues from the colour wheel: reds, a blue, a green; channels below 0 or above 1 are clamped.
    Expect(0, {{0x0F, 0x050505}, {0x0D, 0x000000}, {0x00, 0x7F7F7F}, {0x20, 0xFFFFFF}, {0x30, 0xFFFFFF}});
    Expect(0, {{0x16, 0xF72B55}, {0x12, 0x3D6DF1}, {0x06, 0xC90027}, {0x0A, 0x008100}, {0x21, 0x3FD0FF}});
}

TEST_F(NesColors, GrayscaleModeGivesEachRowItsGray) {
    canvas->colourMode = 0;
    Expect(0, {{0x00, 0x7F7F7F}, {0x06, 0x7F7F7F}, {0x1A, 0xBFBFBF}, {0x26, 0xFFFFFF}, {0x3F, 0xFFFFFF}});
}

TEST_F(NesColors, EmphasisScalesAndClamps) {
    Expect(7, {{0x20, 0xBFBFBF}, {0x0F, 0x030303}});
    // Red emphasis lifts white's red to 1.239, which is clamped.
    Expect(1, {{0x20, 0xFFE9BD}});
    // Only the register's three bits exist: a new canvas (all bits set) reads as 7.
    Expect(0xFFFFFFFFu, {{0x20, 0xBFBFBF}});
}

} // namespace
} // namespace Halvo::Gfx
