#include "gfx/PictureFilters.h"

#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "gfx/MemoryNesCanvas.h"
#include "gfx/NesColors.h"

namespace Halvo {
namespace {

using Gfx::NesColourTable;
using Gfx::NtscSignal;

int Red(std::uint32_t rgb) {
    return static_cast<int>(rgb >> 16 & 0xFF);
}
int Green(std::uint32_t rgb) {
    return static_cast<int>(rgb >> 8 & 0xFF);
}
int Blue(std::uint32_t rgb) {
    return static_cast<int>(rgb & 0xFF);
}
bool Gray(std::uint32_t rgb) {
    return Red(rgb) == Green(rgb) && Green(rgb) == Blue(rgb);
}

// Decoded from the signal, the colours are where the console's are: $16 red, $1A green, $12 blue, the
// columns 0 and 13 gray, $20 white and $0F black; red emphasis tints white red and darkens it, and all
// three darken every channel. The hue turns and the saturation fades the colours.
TEST(NtscSignal, DecodesTheConsolesColours) {
    const NesColourTable colours = NtscSignal(0.0f, 1.0f).Palette();
    EXPECT_GT(Red(colours[0x16]), 2 * std::max(Green(colours[0x16]), Blue(colours[0x16])));
    EXPECT_GT(Green(colours[0x1A]), std::max(Red(colours[0x1A]), Blue(colours[0x1A])));
    EXPECT_GT(Blue(colours[0x12]), std::max(Red(colours[0x12]), Green(colours[0x12])));
    for (std::uint32_t gray : {0x00u, 0x10u, 0x2Du, 0x3Du}) {
        EXPECT_TRUE(Gray(colours[gray])) << std::hex << gray;
    }
    EXPECT_LT(Red(colours[0x2D]), Red(colours[0x00])) << "$2D is darker than $00";
    EXPECT_EQ(colours[0x20], 0xFFFFFFu);
    EXPECT_EQ(colours[0x30], 0xFFFFFFu);
    EXPECT_EQ(colours[0x0F], 0u);
    const std::uint32_t reddened = colours[1 * 64 + 0x20];
    EXPECT_GT(Red(reddened), Green(reddened));
    EXPECT_GT(Red(reddened), Blue(reddened));
    EXPECT_LT(Green(reddened), 0xFF);
    const std::uint32_t darkened = colours[7 * 64 + 0x20];
    EXPECT_TRUE(Gray(darkened));
    EXPECT_LT(Red(darkened), 0xD0);

    EXPECT_NE(NtscSignal(30.0f, 1.0f).Palette()[0x16], colours[0x16]);
    const NesColourTable faded = NtscSignal(0.0f, 0.0f).Palette();
    EXPECT_TRUE(Gray(faded[0x16]) && Gray(faded[0x2A]));
}

// A frame of indices: columns left of `edge` in one colour, the rest in another.
std::vector<std::uint16_t> Split(std::uint16_t left, std::uint16_t right, std::uint32_t edge) {
    std::vector<std::uint16_t> indices(256 * 240);
    for (std::uint32_t i = 0; i < indices.size(); ++i) {
        indices[i] = i % 256 < edge ? left : right;
    }
    return indices;
}

std::vector<std::uint32_t> Filtered(Gfx::PictureFilter& filter, const std::vector<std::uint16_t>& indices,
                                    std::uint64_t frame) {
    std::vector<std::uint32_t> out(filter.width * 240 * filter.rowsPerLine);
    filter.Apply(indices.data(), 256, out.data(), filter.width, frame);
    return out;
}

// An area of one colour decodes to the palette's colour everywhere; an edge between white and black
// fringes with colour that neither side has, the fringe differs from one line to the next and from one
// frame to the next (the dot crawl), and the flat parts stay the same.
TEST(NtscFilter, FlatAreasKeepTheirColourAndEdgesFringe) {
    const NtscSignal signal(0.0f, 1.0f);
    const NesColourTable colours = signal.Palette();
    Gfx::NtscFilter filter(signal, 768);
    ASSERT_EQ(filter.width, 768u);
    const std::vector<std::uint32_t> flat = Filtered(filter, Split(0x16, 0x16, 0), 0);
    for (std::uint32_t y : {0u, 117u, 239u}) {
        for (std::uint32_t x : {0u, 300u, 767u}) {
            const std::uint32_t rgb = flat[y * 768 + x] & 0xFFFFFF;
            EXPECT_LE(std::abs(Red(rgb) - Red(colours[0x16])) + std::abs(Green(rgb) - Green(colours[0x16])) +
                          std::abs(Blue(rgb) - Blue(colours[0x16])),
                      3)
                << x << ',' << y;
            EXPECT_EQ(flat[y * 768 + x] >> 24, 0xFFu) << "opaque";
        }
    }

    const std::vector<std::uint16_t> edge = Split(0x30, 0x0F, 128);
    const std::vector<std::uint32_t> even = Filtered(filter, edge, 0);
    const std::vector<std::uint32_t> odd = Filtered(filter, edge, 1);
    // Column 384 is the edge itself (128 of 256 NES pixels, 3 columns each).
    EXPECT_EQ(even[10 * 768 + 100] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(even[10 * 768 + 700] & 0xFFFFFF, 0u);
    bool fringed = false;
    for (std::uint32_t x = 380; x < 389; ++x) {
        fringed = fringed || !Gray(even[10 * 768 + x] & 0xFFFFFF);
    }
    EXPECT_TRUE(fringed);
    const auto edgeOf = [](const std::vector<std::uint32_t>& out, std::uint32_t y) {
        return std::vector<std::uint32_t>(out.begin() + y * 768 + 378, out.begin() + y * 768 + 390);
    };
    EXPECT_NE(edgeOf(even, 10), edgeOf(even, 11));
    EXPECT_NE(edgeOf(even, 10), edgeOf(odd, 10));
    EXPECT_EQ(even[10 * 768 + 100], odd[10 * 768 + 100]);
    EXPECT_EQ(edgeOf(even, 10), edgeOf(Filtered(filter, edge, 2), 10)) << "the crawl has two frames";
}

// Each line becomes two rows of twice the width, the second darker; emphasis picks its block.
TEST(ScanlineFilter, DoublesEachLineWithADarkerSecondRow) {
    NesColourTable colours{};
    colours[0x16] = 0xC83200;
    colours[3 * 64 + 0x16] = 0x640000;
    Gfx::ScanlineFilter filter(colours);
    std::vector<std::uint16_t> indices = Split(0x16, 3 * 64 + 0x16, 1);
    const std::vector<std::uint32_t> out = Filtered(filter, indices, 0);
    ASSERT_EQ(out.size(), 512u * 480u);
    EXPECT_EQ(out[0], 0xFFC83200u);
    EXPECT_EQ(out[1], 0xFFC83200u);
    EXPECT_EQ(out[512], 0xFF6E1B00u); // 55%
    EXPECT_EQ(out[2], 0xFF640000u);
    EXPECT_EQ(out[479 * 512 + 3], 0xFF370000u);
}

// A canvas given a colour table takes the block of the emphasis in force from it, and the PPU's
// grayscale mode takes column 0 of each row.
TEST(NesColourTable, ACanvasWithATableTakesItsColours) {
    auto table = std::make_shared<NesColourTable>();
    for (std::uint32_t i = 0; i < table->size(); ++i) {
        (*table)[i] = i;
    }
    Gfx::MemoryNesCanvas<std::uint32_t, 3> canvas(Gfx::PixelFormat::X8R8G8B8);
    canvas.colourTable = table;
    canvas.emphasis = 2;
    Gfx::GenerateNesColors(canvas);
    // The table's values come back through the pixel format's float channels: within one step.
    EXPECT_NEAR(canvas.colors[0x16] & 0xFF, 2 * 64 + 0x16, 1);
    canvas.colourMode = 0;
    Gfx::GenerateNesColors(canvas);
    EXPECT_NEAR(canvas.colors[0x16] & 0xFF, 2 * 64 + 0x10, 1);
}

} // namespace
} // namespace Halvo
