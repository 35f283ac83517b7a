#include "nes/Ppu.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "nes/PpuMachine.h"

namespace Halvo {
namespace {

using TestSupport::PpuMachine;

TEST(PpuRegisters, StatusAndDataReads) {
    PpuMachine machine;
    Nes::Ppu& ppu = machine.Ppu();
    ppu.WriteRegister(0x2002, 0x1F); // the latch fills the low bits of a status read
    ppu.status = 0xE0;
    ppu.WriteRegister(0x2005, 0x10);
    EXPECT_EQ(ppu.ReadRegister(0x3FFA), 0xEF);
    EXPECT_EQ(ppu.ReadRegister(0x2002), 0x6F); // vertical blank cleared by the first read
    ppu.WriteRegister(0x2005, 0x08);           // a first write again: coarse X
    EXPECT_EQ(ppu.tempAddress & 0x1F, 1u);
    ppu.WriteRegister(0x2003, 2);
    ppu.WriteRegister(0x2004, 0xFF);
    ppu.WriteRegister(0x2003, 2);
    EXPECT_EQ(ppu.ReadRegister(0x2004), 0xE3); // attribute bits 2-4 do not exist
    EXPECT_EQ(ppu.ReadRegister(0x2004), 0xE3); // and reading does not move the address

    machine.Fill(0x2400, {0x11, 0x22});
    machine.Fill(0x2F21, {0x33});
    machine.Fill(0x3F01, {0x2A});
    machine.Fill(0x2400, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x00); // what the buffer held before
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x11);
    ppu.WriteRegister(0x2000, 0x04); // steps of 32
    machine.Fill(0x3F21, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x2A); // at once, through the mirror
    EXPECT_EQ(ppu.vramAddress, 0x3F41u);
    machine.Fill(0x2000, {});
    EXPECT_EQ(ppu.ReadRegister(0x2007), 0x33); // the palette read filled the buffer from $2F21
    machine.Fill(0x3F04, {0x2B}); // colour 0 of palettes 1-3 is never shown: the write is dropped
    EXPECT_EQ(ppu.palette[4], ppu.palette[0]);
}

// The copy starts at the OAM address and wraps, and stalls the processor for 512 cycles.
TEST(PpuRegisters, SpriteDmaWrapsFromTheOamAddress) {
    for (const std::uint8_t oamAddress : {0x00, 0x08}) {
        PpuMachine machine;
        for (std::uint32_t i = 0; i < 256; ++i) {
            machine.machine.process->Ram()[0x300 + i] = static_cast<std::uint8_t>(i);
        }
        Nes::Ppu& ppu = machine.Ppu();
        ppu.WriteRegister(0x2003, oamAddress);
        EXPECT_EQ(ppu.SpriteDma(3), 1536);
        for (std::uint32_t i = 0; i < 256; ++i) {
            ASSERT_EQ(ppu.oam[(oamAddress + i) % 256], i) << int(oamAddress) << " byte " << i;
        }
    }
}

TEST(PpuPageTable, UnmappedPagesReadZeroAndReadOnlyPagesIgnoreWrites) {
    Nes::Ppu ppu(nullptr);
    std::vector<std::uint8_t> chrRom(1024, 0x33);
    std::vector<std::uint8_t> nameTable(1024, 0);
    ppu.MapVramPage(0, chrRom.data(), false);
    ppu.MapVramPage(8, nameTable.data(), true);
    ppu.MapVramPage(12, nameTable.data(), true);

    EXPECT_EQ(ppu.ReadVram(0x2400), 0); // page 9 unmapped
    ppu.WriteVram(0x2400, 1);
    ppu.WriteVram(0x0010, 0x44);
    EXPECT_EQ(chrRom[0x10], 0x33);
    ppu.WriteVram(0x2005, 0x66);
    EXPECT_EQ(ppu.ReadVram(0x3005), 0x66); // $3000 mirrors $2000 through page 12
    EXPECT_EQ(ppu.ReadVram(0x7005), 0x66); // the PPU decodes 14 address bits
}

} // namespace
} // namespace Halvo
