#include "nes/Ppu.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "nes/PpuMachine.h"

namespace Halvo {
namespace {

using TestSupport::PpuMachine;

struct Write {
    std::uint16_t address;
    std::uint8_t value;
};

TEST(PpuRegisters, ScrollAndAddressWritesFillTheVramAddressBits) {
    struct Case {
        std::vector<Write> writes;
        std::uint32_t temp, vram, fineX;
    };
    const Case cases[] = {
        // $2005 twice: fine X 5, coarse X 15, coarse Y 11, fine Y 6; the name table bits of $2000 stay.
        {{{0x2000, 0x03}, {0x2005, 0x7D}, {0x2005, 0x5E}}, 0x6D6F, 0x2000, 5},
        // $2006 twice: t and v; the high write drops bit 14 and the old high byte.
        {{{0x2005, 0xFF}, {0x2005, 0x00}, {0x2006, 0xE1}, {0x2006, 0x08}}, 0x2108, 0x2108, 7},
        // $2000 after $2006 changes only t's name table bits; $2002 restarts the pair.
        {{{0x2006, 0x21}, {0x2002 + 8, 0}, {0x2006, 0x3F}, {0x2006, 0x00}, {0x2008, 0x02}},
         0x3B00,
         0x3F00,
         0},
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        Nes::Ppu& ppu = machine.Ppu();
        for (const Write& write : test.writes) {
            if ((write.address & 7) == 2) {
                ppu.ReadRegister(write.address);
            } else {
                ppu.WriteRegister(write.address, write.value);
            }
        }
        EXPECT_EQ(ppu.tempAddress, test.temp) << std::hex << test.temp;
        EXPECT_EQ(ppu.vramAddress, test.vram) << std::hex << test.vram;
        EXPECT_EQ(ppu.fineX, test.fineX);
    }
    // The mapper hears the new address after the second $2006 write.
    PpuMachine machine;
    machine.Ppu().WriteRegister(0x2006, 0x21);
    machine.Ppu().WriteRegister(0x2006, 0x08);
    EXPECT_EQ(machine.log, "A8456 ");
}

TEST(PpuRegisters, StatusReadClearsVBlankAndTheWriteToggle) {
    PpuMachine machine;
    Nes::Ppu& ppu = machine.Ppu();
    ppu.WriteRegister(0x2002, 0x1F); // the latch fills the low bits
    ppu.status = 0xE0;
    ppu.WriteRegister(0x2005, 0x10);
    EXPECT_EQ(ppu.ReadRegister(0x3FFA), 0xEF);
    EXPECT_EQ(ppu.ReadRegister(0x2002), 0x6F);
    ppu.WriteRegister(0x2005, 0x08); // a first write again: coarse X
    EXPECT_EQ(ppu.tempAddress & 0x1F, 1u);
    EXPECT_EQ(ppu.ReadRegister(0x2004), 0x1F); // write-only registers give the latch
}

TEST(PpuRegisters, DataReadsAreBufferedExceptThePalette) {
    PpuMachine machine;
    Nes::Ppu& ppu = machine.Ppu();
    machine.Fill(0x2400, {0x11, 0x22});
    machine.Fill(0x3F01, {0x2A});
    machine.Fill(0x2400, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x00); // what the buffer held before
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x11);
    ppu.WriteRegister(0x2000, 0x04); // steps of 32
    machine.Fill(0x3F21, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x2A); // at once, through the mirror
    EXPECT_EQ(ppu.vramAddress, 0x3F41u);
    machine.Fill(0x2000, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x22); // the buffer outlived the palette read
}

TEST(PpuRegisters, PaletteWritesMirrorTheBackdropAndReachTheCanvas) {
    struct Case {
        std::uint16_t address;
        std::uint8_t value;
        std::vector<std::uint32_t> changed;
    };
    const Case cases[] = {
        {0x3F00, 0x05, {0, 4, 8, 12, 16, 20, 24, 28}},
        {0x3F10, 0x45, {0, 4, 8, 12, 16, 20, 24, 28}}, // 6-bit colours
        {0x3F04, 0x05, {}},
        {0x3F11, 0x05, {17}},
        {0x3FE7, 0x05, {7}},
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        auto canvas = machine.AttachCanvas();
        machine.Fill(test.address, {test.value});
        for (std::uint32_t entry = 0; entry < 32; ++entry) {
            const bool changed = std::ranges::count(test.changed, entry) > 0;
            EXPECT_EQ(machine.Ppu().palette[entry], changed ? 5 : 0) << test.address << " entry " << entry;
            EXPECT_EQ(canvas->paletteMap[entry], canvas->colors[changed ? 5 : 0]);
        }
    }
}

TEST(PpuRegisters, SpriteDmaStartsAtTheOamAddress) {
    struct Case {
        std::uint8_t oamAddress;
        std::uint8_t first[8]; // OAM 0-7 after the copy, as offsets in the page
        std::uint8_t at[2];    // OAM[oamAddress] and OAM[oamAddress - 1]
    };
    const Case cases[] = {
        {0, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 0xFF}},
        {8, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 7}},
        {0x0C, {0xFC, 0xFD, 0xFE, 0xFF, 0, 1, 2, 3}, {0, 0xFF}},
    };
    for (const Case& test : cases) {
        PpuMachine machine;
        for (std::uint32_t i = 0; i < 256; ++i) {
            machine.machine.process->ram[0x300 + i] = static_cast<std::uint8_t>(i);
        }
        Nes::Ppu& ppu = machine.Ppu();
        ppu.WriteRegister(0x2003, test.oamAddress);
        EXPECT_EQ(ppu.SpriteDma(3), 1536);
        for (std::uint32_t i = 0; i < 8; ++i) {
            EXPECT_EQ(ppu.oam[i], test.first[i]) << int(test.oamAddress) << " byte " << i;
        }
        EXPECT_EQ(ppu.oam[test.oamAddress], test.at[0]);
        EXPECT_EQ(ppu.oam[(test.oamAddress + 255) & 255], test.at[1]);
        EXPECT_EQ(ppu.oamAddress, test.oamAddress);
    }
}

TEST(PpuRegisters, MaskSetsClippingAndRegeneratesColoursOnlyWhenTheyChange) {
    PpuMachine machine;
    auto canvas = machine.AttachCanvas();
    Nes::Ppu& ppu = machine.Ppu();
    machine.Fill(0x3F01, {0x16});
    const unsigned plain = canvas->paletteMap[1];
    EXPECT_EQ(canvas->bgClipWidth, 0u); // reset leaves the left columns shown
    ppu.WriteRegister(0x2001, 0x1C);
    EXPECT_EQ(canvas->bgClipWidth, 8u);
    EXPECT_EQ(canvas->spriteClipWidth, 0u);
    EXPECT_EQ(canvas->paletteMap[1], plain);
    ppu.WriteRegister(0x2001, 0x20); // red emphasis: new colours, palette sent again
    EXPECT_EQ(canvas->emphasis, 1u);
    EXPECT_EQ(canvas->paletteMap[1], canvas->colors[0x16]);
    EXPECT_NE(canvas->paletteMap[1], plain);
    ppu.WriteRegister(0x2001, 0x01);
    EXPECT_EQ(canvas->colourMode, 0u);
    EXPECT_EQ(canvas->spriteClipWidth, 8u);
}

TEST(PpuRegisters, HardResetClearsSpriteMemoryAndPaletteSoftResetKeepsThem) {
    PpuMachine machine("", 1);
    Nes::Ppu& ppu = machine.Ppu();
    EXPECT_EQ(ppu.linesPerFrame, 312);
    ppu.WriteRegister(0x2004, 0x77);
    machine.Fill(0x3F02, {0x12});
    ppu.WriteRegister(0x2000, 0x80);
    ppu.Reset(false);
    EXPECT_EQ(ppu.oam[0], 0x77);
    EXPECT_EQ(ppu.palette[2], 0x12);
    EXPECT_EQ(ppu.control, 0);
    EXPECT_EQ(ppu.scanline, 241);
    ppu.Reset(true);
    EXPECT_EQ(ppu.oam[0], 0);
    EXPECT_EQ(ppu.palette[2], 0);
}

} // namespace
} // namespace Halvo
