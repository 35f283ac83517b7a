#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Ppu.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

TEST(CpuMemoryMap, RamIsMirroredFourTimesAndUnmappedPagesReadZero) {
    Ref::Ptr<Nes::Process> process = Ref::New<Nes::Process>(nullptr);
    process->CpuWrite(0x0801, 0x77);
    EXPECT_EQ(process->ram[1], 0x77);
    for (std::uint16_t address : {0x0001, 0x0801, 0x1001, 0x1801}) {
        EXPECT_EQ(process->CpuRead(address), 0x77) << std::hex << address;
    }
    for (std::uint32_t address = 0x2000; address < 0x10000; address += 0x7FF) {
        process->CpuWrite(address, 0xFF);
        EXPECT_EQ(process->CpuRead(address), 0) << std::hex << address;
    }
}

TEST(PpuPageTable, UnmappedPagesReadZeroAndReadOnlyPagesIgnoreWrites) {
    Nes::Ppu ppu(nullptr);
    std::vector<std::uint8_t> chrRom(1024, 0x33);
    std::vector<std::uint8_t> nameTable(1024, 0);
    ppu.vramPages[0] = chrRom.data();
    ppu.vramReadOnly[0] = true;
    ppu.vramPages[8] = nameTable.data();
    ppu.vramPages[12] = nameTable.data();

    EXPECT_EQ(ppu.ReadVram(0x2400), 0); // page 9 unmapped
    ppu.WriteVram(0x2400, 1);
    ppu.WriteVram(0x0010, 0x44);
    EXPECT_EQ(chrRom[0x10], 0x33);
    EXPECT_EQ(ppu.ReadVram(0x0010), 0x33);
    ppu.WriteVram(0x2005, 0x66);
    EXPECT_EQ(ppu.ReadVram(0x3005), 0x66); // $3000 mirrors $2000 through page 12
    EXPECT_EQ(ppu.ReadVram(0x7005), 0x66); // the PPU decodes 14 address bits
}

} // namespace
} // namespace Halvo
