#include "nes/Process.h"

#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "nes/mmc/MmcFactory.h"
#include "nes/mmc/MmcManager.h"
#include "support/ConsoleCapture.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// A board that maps 32 KiB of PRG-ROM and records its register writes.
class RecordingBoard : public Nes::Mmc {
public:
    using Mmc::Mmc;
    void Reset(bool hard) override {
        Mmc::Reset(hard);
        for (std::uint32_t slot = 4; slot < 8; ++slot) {
            MapPrg8k(slot - 4, slot);
        }
    }
    void WriteRegister(std::uint16_t address, std::uint8_t value) override {
        writes.emplace_back(address, value);
    }
    std::vector<std::pair<std::uint16_t, std::uint8_t>> writes;
};

class RecordingFactory : public Nes::MmcFactory {
public:
    RecordingFactory() : MmcFactory("TEST") {}
    bool Match(const std::string& board) override { return board == "TESTROM"; }
    Ref::Ptr<Nes::Mmc> Create(Nes::Process* process) override {
        return Ref::Ptr<Nes::Mmc>(Ref::New<RecordingBoard>(process));
    }
};

class MachineProcess : public ::testing::Test {
protected:
    MachineProcess() : boards(Nes::MmcManager::Instance()), image(TestSupport::MakeImage(2, 1, "TESTROM")) {
        boards->RegisterFactory(Ref::Ptr<Nes::MmcFactory>(Ref::New<RecordingFactory>()));
        // The reset vector points at $8000.
        image->prgRom[0x7FFC] = 0x00;
        image->prgRom[0x7FFD] = 0x80;
    }

    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Nes::MmcManager> boards;
    std::unique_ptr<Nes::RomImage> image;
};

// Each failure ends in one report naming the part that could not be made; an unknown board is
// reported by the registry first.
TEST_F(MachineProcess, CreationFailuresNameTheMissingComponent) {
    const std::tuple<const char*, const char*, std::uint32_t, std::string> cases[] = {
        {"static", "TESTROM", 0, "Cpu"},
        {"Static ", "TESTROM", 0, "Cpu"},
        {"Static", "HVC-UNKNOWN", 0, "Mmc"},
        {"Static", "TESTROM", 1, "Ports"},
    };
    for (const auto& [cpu, board, portsType, part] : cases) {
        image->boardName = board;
        image->portsType = portsType;
        capture.Clear();
        EXPECT_FALSE(Nes::Process::Create(cpu, image.get()));
        const Lines errors = capture.ErrorLines();
        ASSERT_EQ(errors.size(), part == "Mmc" ? 2u : 1u) << cpu << " " << board;
        EXPECT_TRUE(part != "Mmc" ||
                    TestSupport::IsReport(errors[0], "Halvo::Nes::MmcManager::CreateMmc",
                                          "HVC-UNKNOWN cartridges are not currently supported."));
        EXPECT_TRUE(TestSupport::IsReport(errors.back(), "Halvo::Nes::Process::Create",
                                          "Could not create Nes::Process--Could not create Nes::" + part +
                                              " object."));
    }
}

TEST_F(MachineProcess, MemoryMapRoutesEveryRangeAndResetsClearRamOnlyWhenHard) {
    Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
    ASSERT_TRUE(process);
    process->Reset(true);
    EXPECT_EQ(process->GetCpu().pc, 0x8000u);

    // The 2 KiB of RAM answer four times over $0000-$1FFF.
    process->CpuWrite(0x0801, 0x77);
    for (const std::uint16_t address : {0x0001, 0x1001, 0x1801}) {
        EXPECT_EQ(process->CpuRead(address), 0x77) << std::hex << address;
    }
    // Before the first strobe the joypad shifts out nothing; bit 6 is always set.
    EXPECT_EQ(process->CpuRead(0x4016), 0x40);
    EXPECT_EQ(process->CpuRead(0x4017), 0x40);
    EXPECT_EQ(process->CpuRead(0x4015), 0);
    EXPECT_EQ(process->CpuRead(0x4018), 0);
    // No work RAM on this board: $6000 is open.
    process->CpuWrite(0x6000, 7);
    EXPECT_EQ(process->CpuRead(0x6000), 0);
    // PRG-ROM reads directly; writes reach the board's registers with the full address.
    EXPECT_EQ(process->CpuRead(0xE000), 3);
    process->CpuWrite(0xC123, 9);
    process->CpuWrite(0xFFFF, 1);
    auto& board = static_cast<RecordingBoard&>(process->GetMmc());
    ASSERT_EQ(board.writes.size(), 2u);
    EXPECT_EQ(board.writes[0], (std::pair<std::uint16_t, std::uint8_t>{0xC123, 9}));
    EXPECT_EQ(process->CpuRead(0xC123), 2);

    // Sprite DMA stops the processor for 512 cycles.
    const std::int32_t before = process->GetCpu().counter;
    process->CpuWrite(0x4014, 0x02);
    EXPECT_EQ(process->GetCpu().counter, before - 1536);

    // A hard reset clears the internal RAM, a soft one keeps it.
    process->CpuWrite(0x0123, 0x99);
    process->Reset(false);
    EXPECT_EQ(process->CpuRead(0x0123), 0x99);
    process->Reset(true);
    EXPECT_EQ(process->CpuRead(0x0123), 0);
}

} // namespace
} // namespace Halvo
