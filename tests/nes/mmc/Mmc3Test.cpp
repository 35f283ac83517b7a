#include "nes/mmc/Mmc3.h"

#include <gtest/gtest.h>

#include "nes/mmc/Cartridge.h"

namespace Halvo {
namespace {

using TestSupport::Cartridge;
using Lines = std::vector<int>;

// The PPU announces each line in turn with that mask; the lines whose announcement raised an IRQ.
Lines IrqLines(Cartridge& cartridge, const Lines& lines, std::uint8_t mask = Nes::Ppu::MaskRendering) {
    Nes::Cpu& cpu = cartridge.machine.process->GetCpu();
    cartridge.Ppu().mask = mask;
    Lines raised;
    for (const int line : lines) {
        cartridge.Ppu().scanline = line;
        cartridge.Board().OnScanline();
        if (cpu.IrqAsserted()) {
            raised.push_back(line);
            cpu.SetIrqInput(Nes::Cpu::IrqBoard, false); // to see the next rise
        }
    }
    return raised;
}

TEST(Mmc3, IrqAfterLatchPlusOneCountedLinesThenEveryLatchPlusOne) {
    // From the end of vertical blank into the picture: the lines 240-260 and 0 are not counted, the
    // pre-render line (261, on PAL 311) is.
    Cartridge ntsc(TestSupport::MakeImage(8, 8, "TLROM"));
    ntsc.Apply({{0xC000, 2}, {0xC001, 0}, {0xE001, 0}});
    EXPECT_EQ(IrqLines(ntsc, {240, 241, 260, 261, 0, 1, 2, 3, 4, 5, 6}), (Lines{2, 5}));
    auto palImage = TestSupport::MakeImage(8, 8, "TLROM");
    palImage->tvSystem = Nes::TvPal;
    Cartridge pal(std::move(palImage));
    pal.Apply({{0xC000, 2}, {0xC001, 0}, {0xE001, 0}});
    EXPECT_EQ(IrqLines(pal, {240, 261, 310, 311, 0, 1, 2, 3, 4, 5, 6}), (Lines{2, 5}));

    // Latch 0: every counted line, starting with the first.
    ntsc.Apply({{0xC000, 0}, {0xC001, 0}});
    EXPECT_EQ(IrqLines(ntsc, {240, 261, 0, 1}), (Lines{261, 1}));
    // With rendering off the counter stands still; disabled IRQs are not raised.
    ntsc.Apply({{0xC000, 1}, {0xC001, 0}});
    EXPECT_EQ(IrqLines(ntsc, {1, 2, 3, 4}, 0x06), Lines{});
    EXPECT_EQ(IrqLines(ntsc, {5, 6, 7, 8}, 0x08), (Lines{6, 8}));
    ntsc.Apply({{0xE000, 0}});
    EXPECT_EQ(IrqLines(ntsc, {9, 10, 11, 12}), Lines{});

    // The chip holds the line until $E000 acknowledges it, even with the I flag holding it off.
    Nes::Cpu& cpu = ntsc.machine.process->GetCpu();
    ntsc.Apply({{0xC000, 0}, {0xC001, 0}, {0xE001, 0}});
    ntsc.Ppu().scanline = 1;
    ntsc.Board().OnScanline();
    EXPECT_TRUE(cpu.IrqAsserted());
    ntsc.Apply({{0xE001, 0}});
    EXPECT_TRUE(cpu.IrqAsserted());
    ntsc.Apply({{0xE000, 0}});
    EXPECT_FALSE(cpu.IrqAsserted());

    // A soft reset keeps the counter running, a hard one stops it.
    ntsc.Apply({{0xC000, 2}, {0xC001, 0}, {0xE001, 0}});
    EXPECT_EQ(IrqLines(ntsc, {1, 2}), Lines{});
    ntsc.Board().Reset(false);
    EXPECT_EQ(IrqLines(ntsc, {3}), (Lines{3}));
    ntsc.Board().Reset(true);
    EXPECT_EQ(IrqLines(ntsc, {1, 2, 3, 4, 5, 6, 7}), Lines{});
}

} // namespace
} // namespace Halvo
