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
