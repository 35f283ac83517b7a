#include "gfx/PixelFormat.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "gfx/Palette.h"
#include "gfx/PixelFormatter.h"

namespace Halvo::Gfx {
namespace {

// The names and sizes in the table show in the graphics functions' listings.
TEST(PixelFormat, NumbersPastTheTableAreUnknown) {
    // The console passes whatever number the user typed: past the table everything is "Unknown".
    for (const std::uint32_t value : {18u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_STREQ(GetFormatName(static_cast<PixelFormat>(value)), "Unknown") << value;
        EXPECT_EQ(GetBitsPerPixel(static_cast<PixelFormat>(value)), -1) << value;
    }
}

struct Packing {
    PixelFormat format;
    float red, green, blue, alpha;
    std::uint64_t pixel;
};

TEST(PixelFormatter, PacksEachChannelAtItsPlace) {
    // clang-format off
    const Packing packings[] = {
        {PixelFormat::R5G6B5,       1.0f, 0.5f, 0.25f, 1.0f, 0xFBE7},
        {PixelFormat::X8R8G8B8,     1.0f, 0.5f, 0.0f,  1.0f, 0xFF7F00},
        {PixelFormat::A8R8G8B8,     1.0f, 0.5f, 0.0f,  0.5f, 0x7FFF7F00},
        {PixelFormat::A4R4G4B4,     1.0f, 0.0f, 0.0f,  0.5f, 0x7F00},
        {PixelFormat::R3G3B2,       0.5f, 0.5f, 0.5f,  1.0f, 0x6D},
        {PixelFormat::A8,           1.0f, 1.0f, 1.0f,  0.5f, 0x7F},
        {PixelFormat::A2B10G10R10,  1.0f, 0.0f, 0.5f,  1.0f, 0xDFF003FF},
        // Red in the low half, green in the high half, no blue at all.
        {PixelFormat::G16R16,       1.0f, 0.5f, 1.0f,  1.0f, 0x7FFFFFFF},
        {PixelFormat::X16R16G16B16, 1.0f, 0.0f, 1.0f,  1.0f, 0xFFFF0000FFFF},
        {PixelFormat::Unknown,      1.0f, 1.0f, 1.0f,  1.0f, 0},
        // A component that is not a number stays defined: 0.
        {PixelFormat::X8R8G8B8,     NAN,  0.0f, 1.0f,  1.0f, 0x0000FF},
    };
    // clang-format on
    for (const Packing& packing : packings) {
        const PixelFormatter formatter(packing.format);
        EXPECT_EQ(
            formatter.FormatPixel<std::uint64_t>(packing.red, packing.green, packing.blue, packing.alpha),
            packing.pixel)
            << GetFormatName(packing.format);
    }
}

TEST(PixelFormatter, ComponentsOutsideTheRangeStayInTheirChannel) {
    const PixelFormatter formatter(PixelFormat::X8R8G8B8);
    EXPECT_EQ(formatter.FormatPixel(0.0f, std::numeric_limits<float>::max(), 0.0f, 1.0f) & ~0x00FF00u, 0u);
    EXPECT_EQ(formatter.FormatPixel(0.0f, 0.0f, -INFINITY, 1.0f) & ~0x0000FFu, 0u);
}

TEST(Palette, FindNearestPrefersExactThenLowerIndex) {
    Palette palette;
    EXPECT_EQ(palette.FindNearest(0.3f, 0.6f, 0.9f, 1.0f), 0u); // all entries black: the first wins
    palette.entries.fill({255, 255, 255, 0});
    // 0.5 becomes 127: entries 3 and 5 are 10 away, 10 and 20 match exactly, 2 is one step away.
    palette.entries[2] = {126, 127, 127, 255};
    palette.entries[3] = {117, 0, 0, 255};
    palette.entries[5] = {137, 0, 0, 255};
    palette.entries[10] = {127, 127, 127, 255};
    palette.entries[20] = {127, 127, 127, 255};
    EXPECT_EQ(palette.FindNearest(0.5f, 0.0f, 0.0f, 1.0f), 3u);
    EXPECT_EQ(palette.FindNearest(0.5f, 0.5f, 0.5f, 1.0f), 10u);
    // Alpha counts like any other channel.
    EXPECT_EQ(palette.FindNearest(1.0f, 1.0f, 1.0f, 0.0f), 0u);
    palette.entries[20] = {127, 127, 127, 0};
    EXPECT_EQ(palette.FindNearest(0.5f, 0.5f, 0.5f, 0.0f), 20u);
}

} // namespace
} // namespace Halvo::Gfx
