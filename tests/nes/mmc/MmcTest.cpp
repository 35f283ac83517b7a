#include "nes/mmc/Mmc.h"

#include <gtest/gtest.h>

#include "nes/mmc/MmcFactory.h"
#include "nes/mmc/MmcManager.h"
#include "support/ConsoleCapture.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;
using TestSupport::Machine;
using TestSupport::MakeImage;

TEST(MmcBase, MapsPrgAndChrPagesModuloTheirCounts) {
    Machine machine(MakeImage(4, 1)); // 8 PRG pages, 8 CHR pages
    Nes::Mmc mmc(machine.process.Get());
    EXPECT_EQ(mmc.prgPageCount, 8u);
    EXPECT_EQ(mmc.chrPageCount, 8u);
    mmc.MapPrg8k(9, 4);
    EXPECT_EQ(machine.Cpu(0x8000), 1);
    EXPECT_EQ(machine.Cpu(0x9FFF), 1);
    mmc.MapChr1k(13, 2);
    EXPECT_EQ(machine.Vram(0x0800), 5);
    // PRG-ROM pages are read directly but never written: writes go to the mapper's handler.
    EXPECT_EQ(machine.process->writePages[16], nullptr);
    EXPECT_TRUE(machine.process->ppu->vramReadOnly[2]);
    machine.process->ppu->WriteVram(0x0800, 99);
    EXPECT_EQ(machine.Vram(0x0800), 5);
}

TEST(MmcBase, WithoutChrRomLeavesPatternPagesAlone) {
    Machine machine(MakeImage(1, 0));
    Nes::Mmc mmc(machine.process.Get());
    mmc.MapChr1k(3, 0);
    EXPECT_EQ(machine.process->ppu->vramPages[0], nullptr);
    mmc.Reset(true);
    // The image has CHR-RAM: it is writable at PPU $0000-$1FFF.
    machine.process->ppu->WriteVram(0x1234, 0x5A);
    EXPECT_EQ(machine.Vram(0x1234), 0x5A);
}

TEST(MmcBase, MirroringTypesMapNameTableSlots) {
    Machine machine(MakeImage(1, 1));
    Nes::Mmc mmc(machine.process.Get());
    auto& pages = machine.process->ppu->vramPages;
    const auto page = [&](int slot) { return (pages[8 + slot] - mmc.nameTableRam.get()) / 1024; };
    const std::pair<std::uint32_t, std::array<int, 4>> cases[] = {
        {0, {0, 0, 1, 1}}, {1, {0, 1, 0, 1}}, {2, {0, 0, 0, 0}}, {3, {1, 1, 1, 1}},
        {4, {0, 1, 2, 3}}, {6, {2, 2, 2, 2}}, {7, {3, 3, 3, 3}},
    };
    for (const auto& [type, expected] : cases) {
        mmc.SetNameTableMirroring(type);
        EXPECT_EQ(mmc.mirroring, type);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(page(slot), expected[slot]) << "type " << type << " slot " << slot;
            EXPECT_EQ(pages[12 + slot], pages[8 + slot]);
        }
    }
    mmc.SetNameTableMirroring(1);
    mmc.SetNameTableMirroring(5); // by mapper: slots stay
    EXPECT_EQ(page(1), 1);
    mmc.MapNameTable(1, 6); // page numbers wrap at 4
    EXPECT_EQ(page(1), 2);
    EXPECT_EQ(mmc.mirroring, 5u);

    TestSupport::ConsoleCapture capture;
    mmc.SetNameTableMirroring(9);
    EXPECT_EQ(mmc.mirroring, 9u);
    EXPECT_EQ(page(3), 3);
    ASSERT_EQ(capture.ErrorLines().size(), 1u);
    EXPECT_TRUE(TestSupport::IsReport(capture.ErrorLines()[0], "Halvo::Nes::Mmc::SetNameTableMirroring",
                                      "Invalid name table mirroring type used."));
}

TEST(MmcBase, HardResetClearsCartridgeMemorySoftResetKeepsIt) {
    auto image = MakeImage(1, 0);
    image->hasWram = true;
    Machine machine(std::move(image));
    Nes::Mmc mmc(machine.process.Get());
    mmc.Reset(true);
    mmc.SetNameTableMirroring(1);
    machine.process->CpuWrite(0x5000, 1);
    machine.process->CpuWrite(0x7FFF, 2);
    machine.process->ppu->WriteVram(0x0000, 3);
    machine.process->ppu->WriteVram(0x2400, 4);
    EXPECT_EQ(mmc.wram[0], 1);
    EXPECT_EQ(mmc.wram[Nes::Mmc::WramSize - 1], 2);

    mmc.Reset(false);
    EXPECT_EQ(machine.Cpu(0x7FFF), 2);
    EXPECT_EQ(machine.Vram(0x0000), 3);
    EXPECT_EQ(machine.Vram(0x2400), 4);
    mmc.Reset(true);
    EXPECT_EQ(machine.Cpu(0x7FFF), 0);
    EXPECT_EQ(machine.Vram(0x0000), 0);
    EXPECT_EQ(machine.Vram(0x2400), 0);
}

class NamedFactory : public Nes::MmcFactory {
public:
    NamedFactory(std::string name, std::string accepts, bool creates = true)
        : MmcFactory(std::move(name)), accepts(std::move(accepts)), creates(creates) {}
    bool Match(const std::string& board) override {
        asked.push_back(name);
        return board.find(accepts) != std::string::npos;
    }
    Ref::Ptr<Nes::Mmc> Create(Nes::Process* process) override {
        if (!creates) {
            return nullptr;
        }
        return Ref::Ptr<Nes::Mmc>(Ref::New<Nes::Mmc>(process));
    }
    std::string accepts;
    bool creates;
    static inline Lines asked;
};

TEST(MmcManager, KeepsFactoriesInNameOrderAndAsksThemInThatOrder) {
    TestSupport::ConsoleCapture capture;
    Ref::Ptr<Nes::MmcManager> manager(Nes::MmcManager::Instance());
    EXPECT_TRUE(
        manager->RegisterFactory(Ref::Ptr<Nes::MmcFactory>(Ref::New<NamedFactory>("NES-NROM", "NROM"))));
    EXPECT_TRUE(manager->RegisterFactory(Ref::Ptr<Nes::MmcFactory>(Ref::New<NamedFactory>("MMC1", "SNROM"))));
    EXPECT_TRUE(manager->RegisterFactory(
        Ref::Ptr<Nes::MmcFactory>(Ref::New<NamedFactory>("NES-AOROM", "AO", false))));
    EXPECT_FALSE(manager->RegisterFactory(Ref::Ptr<Nes::MmcFactory>(Ref::New<NamedFactory>("MMC1", "X"))));
    EXPECT_FALSE(manager->RegisterFactory(nullptr));
    Lines names;
    for (const auto& factory : manager->Factories()) {
        names.push_back(factory->name);
    }
    EXPECT_EQ(names, (Lines{"MMC1", "NES-AOROM", "NES-NROM"}));

    Machine machine(MakeImage(1, 1, "NES-SNROM"));
    NamedFactory::asked.clear();
    EXPECT_TRUE(manager->CreateMmc(machine.process.Get()));
    EXPECT_EQ(NamedFactory::asked, (Lines{"MMC1"}));

    // The first factory that accepts the name decides, even when it makes nothing.
    machine.image->boardName = "AOROM";
    NamedFactory::asked.clear();
    EXPECT_FALSE(manager->CreateMmc(machine.process.Get()));
    EXPECT_EQ(NamedFactory::asked, (Lines{"MMC1", "NES-AOROM"}));

    machine.image->boardName = "HVC-FOO";
    capture.Clear();
    EXPECT_FALSE(manager->CreateMmc(machine.process.Get()));
    ASSERT_EQ(capture.ErrorLines().size(), 1u);
    EXPECT_TRUE(TestSupport::IsReport(capture.ErrorLines()[0], "Halvo::Nes::MmcManager::CreateMmc",
                                      "HVC-FOO cartridges are not currently supported."));
}

} // namespace
} // namespace Halvo
