#include "nes/mmc/Fds.h"

#include <cstring>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/FdsIOStrategy.h"
#include "support/DiskImage.h"

namespace Halvo {
namespace {

using TestSupport::BiosStub;
using TestSupport::DiskFile;

std::unique_ptr<Nes::RomImage> LoadDisk(const std::string& bytes) {
    std::istringstream in(bytes);
    return Nes::FdsIOStrategy().LoadImage(in, false);
}

struct DiskMachine {
    explicit DiskMachine(std::uint32_t sides, std::uint8_t count = 56)
        : image(LoadDisk(DiskFile(sides, true))) {
        image->diskBios = BiosStub(count);
        Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
        Nes::RegisterBoards(*manager);
        process = Nes::Process::Create("Static", image.get());
        process->Reset(true);
    }
    Nes::Fds& Drive() { return static_cast<Nes::Fds&>(*process->mmc); }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            process->RunFrame(false);
        }
    }
    std::unique_ptr<Nes::RomImage> image;
    Ref::Ptr<Nes::Process> process;
};

TEST(FdsImage, ReadsSidesWithOrWithoutTheHeaderAndRefusesOtherFiles) {
    for (const bool header : {true, false}) {
        const auto image = LoadDisk(DiskFile(2, header));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->diskSideCount, 2u);
        EXPECT_EQ(image->boardName, "FDS");
        EXPECT_EQ(image->disk[Nes::RomImage::DiskSideSize + 21], 1); // side B's own info block
    }
    EXPECT_FALSE(LoadDisk(std::string("NES\x1A", 4) + std::string(100, '\0')));
    std::string broken = DiskFile(2, true);
    broken[16 + Nes::RomImage::DiskSideSize] = 0; // side B without its info block
    EXPECT_FALSE(LoadDisk(broken));
}

TEST(FdsAdapter, BiosReadsTheDiskThroughTheDriveAndAnswersFromRamAndRom) {
    DiskMachine machine(1);
    machine.Frames(40);
    const std::uint8_t* read = machine.process->ram.data() + 0x200;
    // The first block from its code on: the gap and the start mark are not handed on.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read), 15), std::string("\x01*NINTENDO-HVC*"));
    EXPECT_EQ(read[21], 0);
    EXPECT_EQ(read[55], 0);                            // the block's last byte
    EXPECT_EQ(machine.process->CpuRead(0xE000), 0xA9); // the BIOS
    machine.process->CpuWrite(0x6000, 0x12);
    machine.process->CpuWrite(0xDFFF, 0x34);
    EXPECT_EQ(machine.process->CpuRead(0x6000), 0x12); // 32 KiB of RAM
    EXPECT_EQ(machine.process->CpuRead(0xDFFF), 0x34);
    // The mirroring bit of $4025: $6D has it set, horizontal.
    EXPECT_EQ(machine.process->mmc->mirroring, Nes::MirrorHorizontal);
}

TEST(FdsAdapter, TimerRaisesItsIrqAfterTheReloadCountOnceOrRepeating) {
    for (const bool repeat : {false, true}) {
        DiskMachine machine(1);
        machine.Frames(40); // the stub has read the disk and waits with IRQs enabled
        Nes::Process& process = *machine.process;
        ASSERT_EQ(process.ram[0x300], 0);
        process.CpuWrite(0x4020, 0x10);
        process.CpuWrite(0x4021, 0x27); // 10,000 cycles
        process.CpuWrite(0x4022, repeat ? 0x03 : 0x02);
        machine.Frames(10); // some 298,000 cycles
        const std::uint8_t count = process.ram[0x300];
        if (repeat) {
            EXPECT_GE(count, 28);
            EXPECT_LE(count, 30);
        } else {
            EXPECT_EQ(count, 1);
        }
    }
}

TEST(FdsAdapter, ChangesSidesByCommandAndWhenTheProgramRejectsTheDiskInfo) {
    DiskMachine machine(2);
    Nes::Fds& drive = machine.Drive();
    machine.Frames(40);
    EXPECT_EQ(drive.Side(), 0);
    drive.FlipSide();
    EXPECT_EQ(drive.Side(), Nes::Fds::NoSide);
    EXPECT_EQ(machine.process->CpuRead(0x4032) & 0x01, 0x01); // no disk
    machine.Frames(40);
    machine.process->CpuRead(0x4032);
    EXPECT_EQ(drive.Side(), 1);

    // The program stops reading side B's info block at the side number: it wants the other side.
    DiskMachine wanting(2, 22);
    wanting.Drive().InsertSide(1);
    wanting.Frames(30);
    ASSERT_EQ(wanting.process->ram[0x200 + 21], 1);
    EXPECT_EQ(wanting.Drive().Side(), Nes::Fds::NoSide); // out for a moment, so the BIOS sees the change
    wanting.Frames(40);
    EXPECT_EQ(wanting.Drive().Side(), 0);
    // A program that reads the whole block takes the side it has.
    DiskMachine content(2);
    content.Drive().InsertSide(1);
    content.Frames(70);
    EXPECT_EQ(content.Drive().Side(), 1);
}

} // namespace
} // namespace Halvo
