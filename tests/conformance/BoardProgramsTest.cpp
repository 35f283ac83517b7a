#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Cpu.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// A program that writes 0 to a board register, paints the backdrop light blue and waits: on every
// board, in either timing model, it must keep running from bank 0 and draw the picture it draws on NROM.
std::uint32_t PictureOf(std::uint8_t mapper, std::uint8_t chrBanks, std::uint16_t registerAddress,
                        const char* kind = "Static") {
    SCOPED_TRACE(testing::Message() << "mapper " << int{mapper} << " " << kind);
    TestSupport::RomBuilder rom;
    rom.mapper = mapper;
    rom.chrBanks = chrBanks;
    const auto low = static_cast<std::uint8_t>(registerAddress);
    const auto high = static_cast<std::uint8_t>(registerAddress >> 8);
    rom.program = {
        0x78, 0xA9, 0x00, 0x8D, low,  high, // SEI; LDA #0; STA register
        0xA9, 0x3F, 0x8D, 0x06, 0x20,       // LDA #$3F; STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20,       // LDA #0; STA $2006
        0xA9, 0x21, 0x8D, 0x07, 0x20,       // LDA #$21; STA $2007
        0x4C, 0x15, 0x80,                   // loop: JMP loop
    };
    TestSupport::TempDir folder;
    rom.Write(folder.Path("board.nes").string());
    Tools::HeadlessMachine machine;
    machine.settings.cpuKind = kind;
    EXPECT_TRUE(machine.Load(folder.Path("board.nes").string()));
    machine.RunFrames(5);
    EXPECT_FALSE(machine.process && machine.process->GetCpu().jammed);
    return machine.process ? machine.PictureCrc() : 0;
}

TEST(BoardPrograms, EveryNewBoardRunsAProgramToItsPicture) {
    // The exact model shows the palette entry the address points at while rendering is off, so each
    // model's boards are compared with its own NROM picture.
    const std::uint32_t expected[] = {PictureOf(0, 1, 0x8000, "Static"), PictureOf(0, 1, 0x8000, "Exact")};
    // Mapper, CHR-ROM banks, a register address.
    const std::tuple<std::uint8_t, std::uint8_t, std::uint16_t> boards[] = {
        {10, 1, 0xA000},  {11, 1, 0x8000},  {13, 0, 0x8000},  {34, 0, 0x8000},  {34, 2, 0x7FFD},
        {71, 1, 0xC000},  {79, 1, 0x4100},  {118, 1, 0x8000}, {119, 1, 0x8000}, {140, 1, 0x6000},
        {180, 0, 0x8000}, {206, 1, 0x8000}, {232, 0, 0x8000},
    };
    for (const auto& [mapper, chrBanks, registerAddress] : boards) {
        EXPECT_EQ(PictureOf(mapper, chrBanks, registerAddress, "Static"), expected[0])
            << "mapper " << int{mapper};
        EXPECT_EQ(PictureOf(mapper, chrBanks, registerAddress, "Exact"), expected[1])
            << "mapper " << int{mapper};
    }
}

} // namespace
} // namespace Halvo
