#include "nes/mmc/Mmc.h"

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

using TestSupport::Machine;
using TestSupport::MakeImage;

TEST(MmcBase, ChrRomIgnoresWrites) {
    Machine machine(MakeImage(4, 1));
    Nes::Mmc mmc(machine.process.Get());
    mmc.MapChr1k(13, 2); // 8 pages: page 5
    machine.process->GetPpu().WriteVram(0x0800, 99);
    EXPECT_EQ(machine.Vram(0x0800), 5);
}

// The boards' own tests cover the types 0-4.
TEST(MmcBase, MirroringTypesMapNameTableSlots) {
    Machine machine(MakeImage(1, 1));
    Nes::Mmc mmc(machine.process.Get());
    TestSupport::ConsoleCapture capture;
    const Nes::Ppu& ppu = machine.process->GetPpu();
    const std::pair<std::uint32_t, std::array<long, 4>> cases[] = {
        {Nes::MirrorSinglePage2, {2, 2, 2, 2}},
        {Nes::MirrorSinglePage3, {3, 3, 3, 3}},
        {Nes::MirrorByMapper, {3, 3, 3, 3}}, // the slots stay
        {9, {0, 1, 2, 3}},                   // reported, then four screens
    };
    for (const auto& [type, expected] : cases) {
        mmc.SetNameTableMirroring(type);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(ppu.VramPage(8 + slot) - mmc.nameTableRam.get(), expected[slot] * 1024)
                << type << " " << slot;
            EXPECT_EQ(ppu.VramPage(12 + slot), ppu.VramPage(8 + slot)) << "the mirror at $3000";
        }
    }
    EXPECT_TRUE(capture.HoldsOnly("Halvo::Nes::Mmc::SetNameTableMirroring",
                                  "Invalid name table mirroring type used."));
    mmc.MapNameTable(1, 6); // page numbers wrap at 4
    EXPECT_EQ(ppu.VramPage(9) - mmc.nameTableRam.get(), 2 * 1024);
}

TEST(MmcBase, HardResetClearsCartridgeMemorySoftResetKeepsIt) {
    auto image = MakeImage(1, 0);
    image->hasWram = true;
    Machine machine(std::move(image));
    Nes::Mmc mmc(machine.process.Get());
    mmc.Reset(true);
    mmc.SetNameTableMirroring(Nes::MirrorVertical);
    machine.process->CpuWrite(0x5000, 1);
    machine.process->CpuWrite(0x7FFF, 2);
    machine.process->GetPpu().WriteVram(0x0000, 3);
    machine.process->GetPpu().WriteVram(0x2400, 4);
    EXPECT_EQ(mmc.wram[0], 1);
    for (const bool hard : {false, true}) {
        mmc.Reset(hard);
        const int kept = hard ? 0 : 1;
        EXPECT_EQ(machine.Cpu(0x7FFF), 2 * kept);
        EXPECT_EQ(machine.Vram(0x0000), 3 * kept);
        EXPECT_EQ(machine.Vram(0x2400), 4 * kept);
    }
}

} // namespace
} // namespace Halvo
