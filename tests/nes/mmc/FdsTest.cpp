#include "nes/mmc/Fds.h"

#include <cstring>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/FdsIOStrategy.h"
#include "nes/state/SaveState.h"
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
        : DiskMachine(sides, BiosStub(count)) {}
    DiskMachine(std::uint32_t sides, std::vector<std::uint8_t> bios)
        : image(LoadDisk(DiskFile(sides, true))) {
        image->diskBios = std::move(bios);
        Nes::RegisterBoards(*boards);
        process = Nes::Process::Create("Static", image.get());
        process->Reset(true);
    }
    Nes::Fds& Drive() { return static_cast<Nes::Fds&>(process->GetMmc()); }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            process->RunFrame(false);
        }
    }
    // The registry outlives the machine: a state is checked on a trial machine made from it.
    Ref::Ptr<Nes::MmcManager> boards{Nes::MmcManager::Instance()};
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
    const std::uint8_t* read = machine.process->Ram().data() + 0x200;
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
    EXPECT_EQ(machine.process->GetMmc().mirroring, Nes::MirrorHorizontal);
}

TEST(FdsAdapter, TimerRaisesItsIrqAfterTheReloadCountOnceOrRepeating) {
    for (const bool repeat : {false, true}) {
        DiskMachine machine(1);
        machine.Frames(40); // the stub has read the disk and waits with IRQs enabled
        Nes::Process& process = *machine.process;
        ASSERT_EQ(process.Ram()[0x300], 0);
        process.CpuWrite(0x4020, 0x10);
        process.CpuWrite(0x4021, 0x27); // 10,000 cycles
        process.CpuWrite(0x4022, repeat ? 0x03 : 0x02);
        machine.Frames(10); // some 298,000 cycles
        const std::uint8_t count = process.Ram()[0x300];
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
    ASSERT_EQ(wanting.process->Ram()[0x200 + 21], 1);
    EXPECT_EQ(wanting.Drive().Side(), Nes::Fds::NoSide); // out for a moment, so the BIOS sees the change
    wanting.Frames(40);
    wanting.process->CpuRead(0x4032); // the program looks at the drive again
    EXPECT_EQ(wanting.Drive().Side(), 0);
    // A program that reads the whole block takes the side it has.
    DiskMachine content(2);
    content.Drive().InsertSide(1);
    content.Frames(70);
    EXPECT_EQ(content.Drive().Side(), 1);
}

// A BIOS of `code` at $E000 with its vectors.
std::vector<std::uint8_t> Bios(std::initializer_list<std::uint8_t> code, std::uint16_t nmi,
                               std::uint16_t irq) {
    std::vector<std::uint8_t> bios(Nes::RomImage::DiskBiosSize, 0xEA);
    std::copy(code.begin(), code.end(), bios.begin());
    const std::uint16_t vectors[] = {nmi, 0xE000, irq};
    for (std::size_t i = 0; i < 3; ++i) {
        bios[0x1FFA + 2 * i] = static_cast<std::uint8_t>(vectors[i]);
        bios[0x1FFB + 2 * i] = static_cast<std::uint8_t>(vectors[i] >> 8);
    }
    return bios;
}

// "Set side B": a program that waits, reading the status without end, for the disk to come out and go
// in again gets the next side; one that looks at the status once a frame keeps its disk.
TEST(FdsAdapter, AProgramWaitingForTheDiskToComeOutGetsTheNextSide) {
    DiskMachine waiting(2, Bios(
                               {
                                   0xA9, 0x83, 0x8D, 0x23, 0x40,             // disk registers on
                                   0xA9, 0x40, 0x8D, 0x17, 0x40,             // no frame IRQ
                                   0xAD, 0x32, 0x40, 0x29, 0x01, 0xF0, 0xF9, // until the disk is out
                                   0xEE, 0x00, 0x03,                         // INC $0300
                                   0xAD, 0x32, 0x40, 0x29, 0x01, 0xD0, 0xF9, // until a disk is in
                                   0xEE, 0x01, 0x03,                         // INC $0301
                                   0x4C, 0x1E, 0xE0,                         // JMP *
                                   0x40,                                     // RTI
                               },
                               0xE021, 0xE021));
    waiting.Frames(150);
    EXPECT_EQ(waiting.process->Ram()[0x300], 1);
    EXPECT_EQ(waiting.process->Ram()[0x301], 1);
    EXPECT_EQ(waiting.Drive().Side(), 1);

    DiskMachine looking(2, Bios(
                               {
                                   0xA9, 0x83, 0x8D, 0x23, 0x40, // disk registers on
                                   0xA9, 0x40, 0x8D, 0x17, 0x40, // no frame IRQ
                                   0xA9, 0x80, 0x8D, 0x00, 0x20, // NMI on
                                   0x4C, 0x0F, 0xE0,             // JMP *
                                   0xAD, 0x32, 0x40, 0x40,       // NMI: LDA $4032, RTI
                               },
                               0xE012, 0xE015));
    looking.Frames(150);
    EXPECT_EQ(looking.Drive().Side(), 0);
}

// A state taken while the drive turns towards the first block, or while a side change waits, loaded
// into a fresh machine: both read the same bytes at the same time and end in the same state.
TEST(FdsAdapter, StatesTakenWhileTheDriveTurnsGoOnExactly) {
    for (const bool changing : {false, true}) {
        SCOPED_TRACE(changing ? "side change" : "reading");
        DiskMachine first(2);
        first.Frames(changing ? 40 : 12);
        if (changing) {
            first.Drive().FlipSide();
        }
        const std::vector<std::uint8_t> state = Nes::SaveState::Write(*first.process);
        first.Frames(60);
        DiskMachine second(2);
        std::string error;
        ASSERT_TRUE(Nes::SaveState::Load(*second.process, state.data(), state.size(), error)) << error;
        second.Frames(60);
        first.process->CpuRead(0x4032);
        second.process->CpuRead(0x4032);
        EXPECT_EQ(second.process->Ram()[0x201], '*');
        EXPECT_EQ(second.Drive().Side(), changing ? 1 : 0);
        EXPECT_TRUE(first.process->Ram() == second.process->Ram());
        std::vector<std::uint8_t> firstState, secondState;
        Nes::SaveState::WriteMachine(*first.process, firstState);
        Nes::SaveState::WriteMachine(*second.process, secondState);
        EXPECT_TRUE(firstState == secondState);
    }
}

} // namespace
} // namespace Halvo
