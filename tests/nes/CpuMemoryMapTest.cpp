#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Ppu.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

std::vector<std::uint32_t> handlerReads;
std::vector<std::uint32_t> handlerWrites;

std::uint8_t RecordRead(Nes::Process*, std::uint32_t address) {
    handlerReads.push_back(address);
    return 0x5A;
}

void RecordWrite(Nes::Process*, std::uint32_t address, std::uint8_t) {
    handlerWrites.push_back(address);
}

class CpuMemoryMap : public testing::Test {
protected:
    void SetUp() override {
        handlerReads.clear();
        handlerWrites.clear();
    }

    Ref::Ptr<Nes::Process> process = Ref::New<Nes::Process>(nullptr);
};

TEST_F(CpuMemoryMap, InternalRamIsMirroredFourTimes) {
    process->CpuWrite(0x0801, 0x77);
    EXPECT_EQ(process->ram[1], 0x77);
    for (std::uint16_t address : {0x0001, 0x0801, 0x1001, 0x1801}) {
        EXPECT_EQ(process->CpuRead(address), 0x77) << std::hex << address;
    }
}

TEST_F(CpuMemoryMap, UnmappedPagesReadZeroAndDropWrites) {
    for (std::uint32_t address = 0x2000; address < 0x10000; address += 0x7FF) {
        process->CpuWrite(address, 0xFF);
        EXPECT_EQ(process->CpuRead(address), 0) << std::hex << address;
    }
}

TEST_F(CpuMemoryMap, HandlersSeeTheFullAddress) {
    process->readHandlers[4] = &RecordRead;
    process->writeHandlers[8] = &RecordWrite;
    EXPECT_EQ(process->CpuRead(0x2002), 0x5A);
    process->CpuWrite(0x4014, 2);
    EXPECT_EQ(handlerReads, std::vector<std::uint32_t>{0x2002});
    EXPECT_EQ(handlerWrites, std::vector<std::uint32_t>{0x4014});
}

// PRG-ROM pages are read directly and written through the mapper's register handler.
TEST_F(CpuMemoryMap, WritesToAReadOnlyPageReachTheHandlerNotTheStorage) {
    std::vector<std::uint8_t> rom(Nes::Process::PageSize, 0x11);
    process->MapCpuPage(16, rom.data(), nullptr);
    process->writeHandlers[16] = &RecordWrite;
    process->CpuWrite(0x8123, 0x99);
    EXPECT_EQ(rom[0x123], 0x11);
    EXPECT_EQ(process->CpuRead(0x8123), 0x11);
    EXPECT_EQ(handlerWrites, std::vector<std::uint32_t>{0x8123});
    EXPECT_TRUE(handlerReads.empty());
}

TEST_F(CpuMemoryMap, WordReadWrapsAtTheTopOfTheAddressSpace) {
    process->readHandlers[31] = &RecordRead;
    process->ram[0] = 0x12;
    EXPECT_EQ(process->CpuReadWord(0xFFFF), 0x125A);
    EXPECT_EQ(handlerReads, std::vector<std::uint32_t>{0xFFFF});
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
