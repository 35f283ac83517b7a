#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Cpu.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// A program that writes 0 to a board register, paints the backdrop light blue and waits: on every
// board it must keep running from bank 0 and draw the same picture as on NROM.
TestSupport::RomBuilder BoardProgram(std::uint8_t mapper, std::uint8_t chrBanks,
                                     std::uint16_t registerAddress) {
    TestSupport::RomBuilder rom;
    rom.mapper = mapper;
    rom.chrBanks = chrBanks;
    const auto low = static_cast<std::uint8_t>(registerAddress);
    const auto high = static_cast<std::uint8_t>(registerAddress >> 8);
    rom.program = {
        0x78, 0xA9, 0x00, 0x8D, low,  high, // SEI; LDA #0; STA register
        0xA9, 0x3F, 0x8D, 0x06, 0x20,       // LDA #$3F; STA $2006
        0xA9, 0x00, 0x8D, 0x06, 0x20,       // LDA #$00; STA $2006
        0xA9, 0x21, 0x8D, 0x07, 0x20,       // LDA #$21; STA $2007
        0x4C, 0x15, 0x80,                   // loop: JMP loop
    };
    return rom;
}

std::uint32_t PictureOf(const TestSupport::RomBuilder& rom, const std::string& name) {
    TestSupport::TempDir folder;
    const std::string path = folder.Path(name + ".nes").string();
    rom.Write(path);
    Tools::HeadlessMachine machine;
    if (!machine.Load(path)) {
        ADD_FAILURE() << name << " did not load";
        return 0;
    }
    machine.RunFrames(5);
    EXPECT_FALSE(machine.process->cpu->jammed)
        << name << " halted at $" << std::hex << machine.process->cpu->pc;
    return machine.PictureCrc();
}

TEST(BoardPrograms, EveryNewBoardRunsAProgramToItsPicture) {
    const std::uint32_t expected = PictureOf(BoardProgram(0, 1, 0x8000), "NROM");
    const struct {
        const char* name;
        std::uint8_t mapper, chrBanks;
        std::uint16_t registerAddress;
    } boards[] = {
        {"MMC4", 10, 1, 0xA000},    {"Color Dreams", 11, 1, 0x8000},  {"CPROM", 13, 0, 0x8000},
        {"BNROM", 34, 0, 0x8000},   {"NINA-001", 34, 2, 0x7FFD},      {"BF9093", 71, 1, 0xC000},
        {"NINA-03", 79, 1, 0x4100}, {"TxSROM", 118, 1, 0x8000},       {"TQROM", 119, 1, 0x8000},
        {"JF-14", 140, 1, 0x6000},  {"UNROM+74HC08", 180, 0, 0x8000}, {"Namco 108", 206, 1, 0x8000},
        {"BF9096", 232, 0, 0x8000},
    };
    for (const auto& board : boards) {
        EXPECT_EQ(PictureOf(BoardProgram(board.mapper, board.chrBanks, board.registerAddress), board.name),
                  expected)
            << board.name;
    }
}

} // namespace
} // namespace Halvo
