#include "gfx/DebugPictures.h"

#include <array>

#include <gtest/gtest.h>

#include "gfx/NesColors.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

std::uint32_t Rgb(std::uint8_t nesColour) {
    return Gfx::ClassicNesColours()[nesColour] & 0xFFFFFF;
}

// Tile 1 has colour 1 in its top left pixel and colour 2 in its top right one; the name table's first
// tile is tile 1; sprite 0 shows tile 1 flipped left to right.
struct Viewed : ::testing::Test {
    Viewed() : machine(TestSupport::MakeImage(1, 0)), ppu(machine.process->GetPpu()) {
        for (std::uint32_t page = 0; page < 8; ++page) {
            ppu.MapVramPage(page, chr.data() + page * 1024, true);
        }
        for (std::uint32_t page = 8; page < 16; ++page) {
            ppu.MapVramPage(page, names.data() + (page & 1) * 1024, true);
        }
        chr[16] = 0x80;     // tile 1, row 0, low plane: leftmost pixel
        chr[16 + 8] = 0x01; // high plane: rightmost pixel
        names[0] = 1;
        ppu.palette[0] = 0x0F;
        ppu.palette[1] = 0x16;
        ppu.palette[2] = 0x2A;
        ppu.palette[18] = 0x12;
        ppu.oam[1] = 1;
        ppu.oam[2] = 0x40;
        ppu.bgPatternBase = 0;
        ppu.spritePatternBase = 0;
        ppu.spriteHeight = 8;
    }

    TestSupport::Machine machine;
    Nes::Ppu& ppu;
    std::array<std::uint8_t, 8192> chr{};
    std::array<std::uint8_t, 2048> names{};
    Gfx::DebugPicture picture;
};

TEST_F(Viewed, PatternsNameTablesSpritesAndPalette) {
    Gfx::DrawPatternTables(ppu, 0, picture);
    EXPECT_EQ(picture.At(8, 0), Rgb(0x16));
    EXPECT_EQ(picture.At(15, 0), Rgb(0x2A));
    EXPECT_EQ(picture.At(9, 0), Rgb(0x0F));

    // The scroll starts 32 pixels into the first table: the window's left edge is outlined there.
    ppu.tempAddress = 4;
    Gfx::DrawNameTables(ppu, picture);
    ASSERT_EQ(std::make_pair(picture.width, picture.height), std::make_pair(512u, 480u));
    EXPECT_EQ(picture.At(0, 0), Rgb(0x16));
    EXPECT_EQ(picture.At(7, 0), Rgb(0x2A));
    EXPECT_EQ(picture.At(32, 10), 0xFF00FFu);
    EXPECT_EQ(picture.At(287, 10), 0xFF00FFu);
    EXPECT_NE(picture.At(31, 10), 0xFF00FFu);

    // Flipped: the right column's colour 2 comes first, in the sprite palette.
    Gfx::DrawSprites(ppu, picture);
    EXPECT_EQ(picture.At(4, 4), Rgb(0x12));
    EXPECT_EQ(picture.At(5, 4), 0x404040u);

    Gfx::DrawPalette(ppu, picture);
    EXPECT_EQ(picture.At(16 + 8, 8), Rgb(0x16));
    // The sprites' first entry shows the backdrop; their palette 0 colour 2 is $3F12.
    EXPECT_EQ(picture.At(0, 16), Rgb(0x0F));
    EXPECT_EQ(picture.At(2 * 16, 16), Rgb(0x12));
}

TEST_F(Viewed, EventsAreMarkedWhereTheyHappened) {
    ppu.linesPerFrame = 262;
    Gfx::DrawEvents(ppu, {{100, 300, 0xFF3030}}, picture);
    ASSERT_EQ(std::make_pair(picture.width, picture.height), std::make_pair(341u, 262u));
    EXPECT_EQ(picture.At(300, 100), 0xFF3030u);
    EXPECT_EQ(picture.At(301, 101), 0xFF3030u);
    EXPECT_NE(picture.At(303, 100), 0xFF3030u);
    // The picture under the marks, dimmed: tile 1's colour 1 in the top left corner.
    EXPECT_EQ(picture.At(0, 0), (Rgb(0x16) >> 1) & 0x7F7F7Fu);
}

TEST(DebugMemory, ChangedBytesAreRed) {
    std::array<std::uint8_t, 64> ram{};
    std::vector<std::uint8_t> previous;
    Gfx::DebugPicture picture;
    Gfx::DrawMemory(ram.data(), ram.size(), previous, picture);
    EXPECT_EQ(picture.At(6, 0), 0u);
    ram[1] = 0x80;
    Gfx::DrawMemory(ram.data(), ram.size(), previous, picture);
    EXPECT_EQ(picture.At(6, 0), 0xFF8000u);
    EXPECT_EQ(picture.At(0, 0), 0u);
    Gfx::DrawMemory(ram.data(), ram.size(), previous, picture);
    EXPECT_EQ(picture.At(6, 0), 0x808080u);
}

} // namespace
} // namespace Halvo
