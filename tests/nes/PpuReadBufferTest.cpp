#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// Fills VRAM $0000-$0006 with $11 22 ... 77, points $2006 at $0001 and fills the read buffer ($22),
// then reads $2007 with "LDA $20F7,X" and X = $10, whose page crossing puts a dummy read of $2007 on
// the cycle before the read of its mirror $2107, and stores that and the next two reads at $10-$12.
TestSupport::RomBuilder DoubleReadProgram() {
    TestSupport::RomBuilder rom;
    rom.chrBanks = 0;
    rom.program = {
        0x78,                         // SEI
        0x2C, 0x02, 0x20, 0x10, 0xFB, // two vertical blanks: the PPU takes $2006 from then on
        0x2C, 0x02, 0x20, 0x10, 0xFB, //
        0xA9, 0x00, 0x8D, 0x06, 0x20, 0x8D, 0x06, 0x20,             // $2006 = $0000
        0xA2, 0x07, 0xA9, 0x11,                                     // LDX #7, LDA #$11
        0x8D, 0x07, 0x20,                                           // fill: STA $2007
        0x18, 0x69, 0x11, 0xCA, 0xD0, 0xF7,                         // CLC, ADC #$11, DEX, BNE fill
        0xA9, 0x00, 0x8D, 0x06, 0x20, 0xA9, 0x01, 0x8D, 0x06, 0x20, // $2006 = $0001
        0xAD, 0x07, 0x20,                                           // LDA $2007: the buffer takes $22
        0xA2, 0x10, 0xBD, 0xF7, 0x20, 0x85, 0x10,                   // LDX #$10, LDA $20F7,X, STA $10
        0xAD, 0x07, 0x20, 0x85, 0x11,                               // LDA $2007, STA $11
        0xAD, 0x07, 0x20, 0x85, 0x12,                               // LDA $2007, STA $12
        0x4C, 0x3E, 0x80,                                           // JMP to itself
    };
    return rom;
}

// On the console the dummy read and the read come too close together for the buffer to take the first
// one's byte: the read answers with the old $22, both move the address on, and the buffer ends up with
// the second one's byte ($44; dmc_dma_during_read4's double_2007_read). The line model has no dummy read.
TEST(PpuReadBuffer, ReadsOnConsecutiveCyclesAnswerWithTheOldByte) {
    TestSupport::TempDir dir;
    const std::string path = dir.Path("double.nes").string();
    DoubleReadProgram().Write(path);
    for (const auto& [kind, expected] :
         {std::pair{"Exact", std::array<std::uint8_t, 3>{0x22, 0x44, 0x55}},
          std::pair{"Static", std::array<std::uint8_t, 3>{0x22, 0x33, 0x44}}}) {
        Tools::HeadlessMachine machine;
        machine.settings.cpuKind = kind;
        ASSERT_TRUE(machine.Load(path));
        machine.RunFrames(5);
        const auto& ram = machine.process->Ram();
        EXPECT_EQ((std::array<std::uint8_t, 3>{ram[0x10], ram[0x11], ram[0x12]}), expected) << kind;
    }
}

} // namespace
} // namespace Halvo
