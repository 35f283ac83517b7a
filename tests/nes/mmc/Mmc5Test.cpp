#include "nes/mmc/Mmc5.h"

#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using TestSupport::Pages8;

// What the PPU sees of the slots that $5105 points at the extended RAM and the fill page, of the
// per-tile banks of the extended attributes, and of the sprite and background sets with 8x16 sprites.
TEST(Mmc5, PpuSeesExtendedRamFillPageAndTheBanksOfEachFetch) {
    Cartridge cartridge(TestSupport::MakeImage(16, 16, "EKROM"));
    Nes::Ppu& ppu = cartridge.Ppu();
    cartridge.Apply({{0x5105, 0xE4}, {0x5106, 0x42}, {0x5107, 2}, {0x5C05, 0x77}});
    ppu.WriteVram(0x2000, 1);
    ppu.WriteVram(0x2400, 2);
    ppu.WriteVram(0x2C10, 9); // the fill page is read-only
    const auto vram = [&](std::uint32_t address) { return cartridge.machine.Vram(address); };
    EXPECT_EQ(vram(0x2000), 1);
    EXPECT_EQ(vram(0x2400), 2);
    EXPECT_EQ(vram(0x2805), 0x77);
    EXPECT_EQ(vram(0x2C10), 0x42);
    EXPECT_EQ(vram(0x2FC0), 0xAA);

    // Tile $21's extended byte $C5: palette 3, the 4 KiB bank 5 behind the background's table.
    cartridge.Apply({{0x5104, 1}, {0x5C21, 0xC5}});
    EXPECT_EQ(cartridge.Board().GetAttribute(0x2021) & 3, 3);
    EXPECT_EQ(cartridge.Chr(), (Pages8{20, 21, 22, 23, 4, 5, 6, 7}));

    ppu.spriteHeight = 16;
    cartridge.Apply({{0x5104, 0},
                     {0x5120, 40},
                     {0x5121, 41},
                     {0x5122, 42},
                     {0x5123, 43},
                     {0x5124, 44},
                     {0x5125, 45},
                     {0x5126, 46},
                     {0x5127, 47},
                     {0x5128, 60},
                     {0x5129, 61},
                     {0x512A, 62},
                     {0x512B, 63}});
    cartridge.Board().OnPatternPhase(true);
    EXPECT_EQ(cartridge.Chr(), (Pages8{40, 41, 42, 43, 44, 45, 46, 47}));
    cartridge.Board().OnPatternPhase(false);
    EXPECT_EQ(cartridge.Chr(), (Pages8{60, 61, 62, 63, 60, 61, 62, 63}));
}

} // namespace
} // namespace Halvo
