#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/Cpu.h"
#include "nes/mmc/Cartridge.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Code = std::vector<std::uint8_t>;

struct Family {
    const char* name;
    std::uint8_t mapper;
    Code setup;       // board writes after power-up, before the picture is drawn
    Code acknowledge; // in the IRQ handler; empty for a board without IRQ
};

// An iNES file of 32 KiB PRG-ROM and 8 KiB CHR-ROM (tile 1 solid in colour 1). The program in the last
// 8 KiB page silences the sound unit's IRQ, sets the board up, waits for vertical blank, sets two colours,
// fills the first name table with tile 1 (its lower half with tile 0), turns the background on and waits with
// IRQs enabled; the IRQ handler counts at $0000.
std::string Image(const Family& family) {
    const std::string header = std::string("NES\x1A\x02\x01", 6) +
                               static_cast<char>((family.mapper & 0x0F) << 4) +
                               static_cast<char>(family.mapper & 0xF0) + std::string(8, 0);
    std::string prg(32768, static_cast<char>(0xEA));
    // SEI, CLD, LDX #$FF, TXS, and the sound unit's frame IRQ off ($4017 = $40).
    Code code = {0x78, 0xD8, 0xA2, 0xFF, 0x9A, 0xA9, 0x40, 0x8D, 0x17, 0x40};
    code.insert(code.end(), family.setup.begin(), family.setup.end());
    const Code picture = {
        0x2C, 0x02, 0x20, 0x10, 0xFB,                               // wait: BIT $2002, BPL wait
        0xA9, 0x3F, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $3F00
        0xA9, 0x0F, 0x8D, 0x07, 0x20, 0xA9, 0x16, 0x8D, 0x07, 0x20, // black, red
        0xA9, 0x20, 0x8D, 0x06, 0x20, 0xA9, 0x00, 0x8D, 0x06, 0x20, // $2006 = $2000
        0xA2, 0x00, 0xA9, 0x01,                                     // LDX #0, LDA #1
        0x8D, 0x07, 0x20, 0x8D, 0x07, 0x20, 0xE8, 0xD0, 0xF7,       // 512 x tile 1
        0xA9, 0x00, 0x8D, 0x05, 0x20, 0x8D, 0x05, 0x20,             // scroll 0, 0
        0xA9, 0x0A, 0x8D, 0x01, 0x20,                               // background on
        0x58, 0xD0, 0xFE,                                           // CLI, BNE to itself (Z stays clear)
    };
    code.insert(code.end(), picture.begin(), picture.end());
    std::copy(code.begin(), code.end(), prg.begin() + 0x6000);
    Code handler = {0xE6, 0x00}; // INC $00
    handler.insert(handler.end(), family.acknowledge.begin(), family.acknowledge.end());
    handler.push_back(0x40);
    std::copy(handler.begin(), handler.end(), prg.begin() + 0x7000);
    const Code vectors = {0x00, 0xF0, 0x00, 0xE0, 0x00, 0xF0}; // NMI (never enabled), reset, IRQ
    std::copy(vectors.begin(), vectors.end(), prg.begin() + 0x7FFA);
    std::string chr(8192, 0);
    std::fill_n(chr.begin() + 16, 8, static_cast<char>(0xFF));
    return header + prg + chr;
}

const Code AcknowledgeVrc4 = {0xA9, 0x00, 0x8D, 0x03, 0xF0};

// clang-format off
const Family Families[] = {
    // VRC4 scanline IRQ every 128 lines (latch $80), registers where each mapper's wiring puts them.
    {"VRC4 mapper 21", 21, TestSupport::Stores({{0xF000, 0x00}, {0xF002, 0x08}, {0xF004, 0x03}}), {0xA9, 0x00, 0x8D, 0x06, 0xF0}},
    {"VRC2 mapper 22", 22, TestSupport::Stores({{0x9000, 1}, {0xB000, 0}}), {}},
    {"VRC4 mapper 23", 23, TestSupport::Stores({{0xF000, 0x00}, {0xF001, 0x08}, {0xF002, 0x03}}), AcknowledgeVrc4},
    {"VRC4 mapper 25", 25, TestSupport::Stores({{0xF000, 0x00}, {0xF002, 0x08}, {0xF001, 0x03}}), AcknowledgeVrc4},
    // FME-7: the first IRQ after 10,000 cycles, then one every 65,536.
    {"FME-7", 69, TestSupport::Stores({{0x8000, 0x0E}, {0xA000, 0x10}, {0x8000, 0x0F}, {0xA000, 0x27}, {0x8000, 0x0D}, {0xA000, 0x81}}),
     {0xA9, 0x81, 0x8D, 0x00, 0xA0}},
    // MMC5 with extended attributes, IRQ at line 100.
    {"MMC5", 5, TestSupport::Stores({{0x5104, 1}, {0x5105, 0x44}, {0x5203, 100}, {0x5204, 0x80}}), {0xAD, 0x04, 0x52}},
};
// clang-format on

// Every family runs its program to a picture of the tile and the backdrop without halting, and the
// boards with an IRQ raise it, in both timing models: the exact one clocks the scanline counters from the
// PPU's fetches instead of the line starts.
TEST(BoardFamilies, RunAProgramToAPicture) {
    TestSupport::TempDir folder;
    for (const char* kind : {"Static", "Exact"})
        for (const Family& family : Families) {
            SCOPED_TRACE(testing::Message() << family.name << " " << kind);
            const auto path = folder.Write(std::string(family.name) + ".nes", Image(family));
            Tools::HeadlessMachine machine;
            machine.settings.cpuKind = kind;
            ASSERT_TRUE(machine.Load(path.string()));
            machine.RunFrames(30);
            EXPECT_FALSE(machine.process->GetCpu().jammed)
                << "halted at $" << std::hex << machine.process->GetCpu().pc;
            EXPECT_EQ(machine.PictureColours(), 2u);
            EXPECT_EQ(machine.process->Ram()[0] > 10, !family.acknowledge.empty())
                << int{machine.process->Ram()[0]};
        }
}

} // namespace
} // namespace Halvo
