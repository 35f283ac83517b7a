#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "nes/PpuMachine.h"

namespace Halvo {
namespace {

using TestSupport::PpuMachine;

// The log of one frame (see ScriptedCpu and LoggingMmc): vertical blank with the NMI 20 dots in, the
// idle lines up to the pre-render line, then the pre-render and visible lines with 32 tile slices, the
// scanline hook at dot 256, eight evaluation slices and the two prefetches (8 + 13 dots), and the
// post-render line.
std::string ExpectedFrame(std::int32_t lines, bool nmi, bool shortPreRender) {
    std::string log = std::string("V |20 ") + (nmi ? "N " : "") + "236 S242 85 ";
    for (std::int32_t line = 243; line < lines; ++line) {
        log += "|256 S" + std::to_string(line) + " 85 ";
    }
    for (std::int32_t next = 0; next <= 240; ++next) {
        log += "|";
        for (int slice = 0; slice < 32; ++slice) {
            log += "8 ";
        }
        log += "S" + std::to_string(next) + " ";
        for (int slice = 0; slice < 9; ++slice) {
            log += "8 ";
        }
        log += next == 0 && shortPreRender ? "12 " : "13 ";
    }
    return log + "|256 S241 85 ";
}

void Scroll(PpuMachine& machine, std::uint8_t x) {
    Nes::Ppu& ppu = machine.Ppu();
    ppu.ReadRegister(0x2002);
    ppu.WriteRegister(0x2006, 0);
    ppu.WriteRegister(0x2006, 0);
    ppu.WriteRegister(0x2005, x);
    ppu.WriteRegister(0x2005, 0);
}

// The given sprites first; every other sprite below the picture.
void SetOam(PpuMachine& machine, const std::vector<std::uint8_t>& bytes) {
    machine.Ppu().WriteRegister(0x2003, 0);
    for (std::uint32_t i = 0; i < 256; ++i) {
        machine.Ppu().WriteRegister(0x2004, i < bytes.size() ? bytes[i] : 0xF0);
    }
}

TEST(PpuFrame, GivesTheCpuItsSlicesAndTheMapperItsHooksInHardwareOrder) {
    struct Case {
        std::uint32_t tvSystem;
        std::uint8_t control, mask;
    };
    for (const Case test : {Case{0, 0x80, 0x18}, Case{0, 0x00, 0x00}, Case{1, 0x80, 0x1E}}) {
        PpuMachine machine("", test.tvSystem);
        Nes::Ppu& ppu = machine.Ppu();
        machine.Fill(0x2345, {});
        ppu.WriteRegister(0x2000, test.control);
        ppu.WriteRegister(0x2001, test.mask);
        machine.log.clear();
        ppu.RunFrame(false);
        ppu.RunFrame(false);
        const std::int32_t lines = test.tvSystem == 1 ? 312 : 262;
        const bool nmi = test.control != 0;
        // Every second frame the pre-render line is a dot short.
        EXPECT_EQ(machine.log, ExpectedFrame(lines, nmi, false) + ExpectedFrame(lines, nmi, true));
        EXPECT_EQ(ppu.scanline, 241);
        EXPECT_EQ(machine.Cpu().counter, 0);
        if (test.mask == 0) {
            EXPECT_EQ(ppu.vramAddress, 0x2345u); // rendering off leaves the address alone
        }
    }
}

TEST(PpuFrame, NmiEveryFrameOnceEnabledButNotWhenEnabledLateInVBlank) {
    PpuMachine machine("Static");
    // Five NOPs carry the write to $2000 past dot 20 of the first frame.
    machine.Program(0x8000, {0xEA, 0xEA, 0xEA, 0xEA, 0xEA, 0xA9, 0x80, 0x8D, 0x00, 0x20, 0x4C, 0x0A, 0x80});
    machine.Program(0x9000, {0xE6, 0x00, 0x40}); // INC $00; RTI
    machine.Program(0xFFFA, {0x00, 0x90, 0x00, 0x80});
    machine.Cpu().Reset(true);
    for (int frame = 0; frame < 3; ++frame) {
        machine.Ppu().RunFrame(false);
    }
    EXPECT_EQ(machine.machine.process->ram[0], 2);
}

TEST(PpuFrame, SpriteZeroHitsAtTheFirstPixelOpaqueInBoth) {
    struct Case {
        std::uint8_t spriteRow, attribute, x, backgroundRow, fineX;
        std::int32_t hitX; // -1: no hit
    };
    const Case cases[] = {
        {0xFF, 0x00, 100, 0xFF, 0, 100}, {0x01, 0x40, 100, 0xFF, 0, 100}, // flipped: rightmost pixel first
        {0x01, 0x00, 100, 0xFF, 0, 107}, {0x00, 0x00, 100, 0xFF, 0, -1},
        {0xFF, 0x20, 100, 0x80, 0, 104}, // behind the background still hits
        {0xFF, 0x00, 0, 0x80, 3, 5},     {0xFF, 0x00, 100, 0x00, 0, -1},
    };
    for (const Case& test : cases) {
        for (const bool drawn : {false, true}) {
            PpuMachine machine;
            auto canvas = machine.AttachCanvas();
            machine.Fill(0x0010, {test.backgroundRow}, 8);
            machine.Fill(0x0020, {test.spriteRow}, 8);
            machine.Fill(0x2000, {0x01}, 960);
            SetOam(machine, {49, 0x02, test.attribute, test.x});
            Scroll(machine, test.fineX);
            machine.Ppu().WriteRegister(0x2001, 0x1E);
            machine.Ppu().RunFrame(drawn);
            Nes::Ppu& ppu = machine.Ppu();
            const std::int32_t hitX = (ppu.status & 0x40) ? 340 - ppu.spriteZeroTime : -1;
            EXPECT_EQ(hitX, test.hitX)
                << "sprite x " << int(test.x) << " row " << int(test.spriteRow) << (drawn ? " drawn" : "");
        }
    }
}

TEST(PpuFrame, SpriteZeroHitShowsInStatusOnceTheCpuReachesItsDot) {
    PpuMachine machine;
    machine.Fill(0x0010, {0xFF}, 16);
    machine.Fill(0x2000, {0x01}, 960);
    SetOam(machine, {49, 0x01, 0x00, 100});
    Scroll(machine, 0);
    Nes::Ppu& ppu = machine.Ppu();
    ppu.WriteRegister(0x2001, 0x18);
    std::vector<std::uint8_t> reads;
    machine.scripted->onSlice = [&](std::int32_t dot) {
        if (ppu.scanline == 50 && dot == 96) {
            Nes::Cpu& cpu = machine.Cpu();
            const std::int32_t counter = cpu.counter;
            cpu.counter = cpu.lineStart - 100; // pixel 100 is out at dot 101
            reads.push_back(ppu.ReadRegister(0x2002) & 0x40);
            cpu.counter = cpu.lineStart - 101;
            reads.push_back(ppu.ReadRegister(0x2002) & 0x40);
            cpu.counter = counter;
        }
    };
    ppu.RunFrame(false);
    EXPECT_EQ(reads, (std::vector<std::uint8_t>{0x00, 0x40}));
}

TEST(PpuFrame, NineSpritesOnALineSetOverflowForThatLineAndOnlyEightAreDrawn) {
    for (const std::uint8_t count : {8, 9}) {
        PpuMachine machine;
        auto canvas = machine.AttachCanvas();
        machine.Fill(0x3F00, {0x30, 0x16});
        machine.Fill(0x3F11, {0x16});
        machine.Fill(0x0010, {0xFF}, 8);
        std::vector<std::uint8_t> oam;
        for (std::uint8_t sprite = 0; sprite < count; ++sprite) {
            oam.insert(oam.end(), {49, 0x01, 0x00, static_cast<std::uint8_t>(16 * sprite + 8)});
        }
        SetOam(machine, oam);
        Nes::Ppu& ppu = machine.Ppu();
        ppu.WriteRegister(0x2001, 0x14);
        std::set<std::int32_t> overflowLines;
        machine.scripted->onSlice = [&](std::int32_t) {
            if (ppu.status & 0x20) {
                overflowLines.insert(ppu.scanline);
            }
        };
        ppu.RunFrame(true);
        // The nine 8-line sprites cover lines 50-57; the flag lasts from their evaluation to each line's end.
        const std::set<std::int32_t> covered = {50, 51, 52, 53, 54, 55, 56, 57};
        EXPECT_EQ(overflowLines, count == 9 ? covered : std::set<std::int32_t>{});
        const unsigned sprite = canvas->paletteMap[17];
        const unsigned backdrop = canvas->paletteMap[0];
        EXPECT_EQ(canvas->GetPixel(7 * 16 + 8, 50), sprite);
        EXPECT_EQ(canvas->GetPixel(8 * 16 + 8, 50), backdrop);
        EXPECT_EQ(canvas->GetPixel(8, 49), backdrop); // sprites show one line below their y
    }
}

TEST(PpuFrame, SpriteRowsComeFromTheirPatternAddress) {
    struct Case {
        std::uint8_t control, tile, attribute, row;
        std::uint32_t address;
    };
    const Case cases[] = {
        {0x00, 0x05, 0x00, 2, 0x0052}, {0x08, 0x05, 0x00, 2, 0x1052},
        {0x00, 0x05, 0x80, 2, 0x0055}, // vertical flip
        {0x20, 0x01, 0x00, 0, 0x1000}, // 8x16: tile bit 0 picks the table, whatever $2000 says
        {0x28, 0x02, 0x00, 9, 0x0031}, // lower tile
        {0x20, 0x04, 0x80, 0, 0x0057}, // flipped: the top row is the lower tile's last
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        Nes::Ppu& ppu = machine.Ppu();
        // Every row's two planes spell out the row's own address.
        for (std::uint32_t address = 0; address < 0x2000; ++address) {
            const std::uint32_t row = address & ~8u;
            ppu.WriteVram(address, static_cast<std::uint8_t>((address & 8) ? row >> 8 : row));
        }
        // On line 240, so the last evaluation of the frame finds it.
        SetOam(machine, {static_cast<std::uint8_t>(239 - test.row), test.tile, test.attribute, 0});
        ppu.WriteRegister(0x2000, test.control);
        ppu.WriteRegister(0x2001, 0x10);
        ppu.RunFrame(false);
        ASSERT_EQ(ppu.spriteCount, 1u);
        EXPECT_EQ(ppu.sprites[0].pattern, test.address) << std::hex << test.address;
    }
}

TEST(PpuFrame, BackgroundFollowsFineScrollAttributesAndLeftClip) {
    struct Case {
        std::uint8_t mask;
        std::int32_t x, y;
        std::int32_t entry; // palette entry, or -1 for the clear colour
    };
    const Case cases[] = {
        {0x0A, 0, 0, 5},   {0x0A, 4, 0, 5},  {0x0A, 5, 0, 7},  {0x0A, 13, 0, 1},
        {0x0A, 253, 0, 0}, {0x0A, 0, 16, 9}, {0x08, 0, 0, -1}, {0x08, 8, 0, 7},
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        auto canvas = machine.AttachCanvas();
        machine.Fill(0x0010, {0xFF}, 8);   // tile 1: colour 1
        machine.Fill(0x0020, {0xFF}, 16);  // tile 2: colour 3
        machine.Fill(0x2000, {1, 2}, 480); // columns alternate
        machine.Fill(0x23C0, {0x21});      // palettes 1 top left, 0 top right, 2 bottom left
        machine.Fill(0x3F00, {0x30, 0x01, 0x02, 0x03, 0x00, 0x05, 0x06, 0x07, 0x00, 0x09});
        Scroll(machine, 3);
        machine.Ppu().WriteRegister(0x2001, test.mask);
        machine.Ppu().RunFrame(true);
        const unsigned expected = test.entry < 0 ? canvas->colors[0x0D] : canvas->paletteMap[test.entry];
        EXPECT_EQ(canvas->GetPixel(test.x, test.y), expected) << test.x << "," << test.y;
    }
}

} // namespace
} // namespace Halvo
