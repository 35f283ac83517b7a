#include <algorithm>
#include <string>
#include <vector>

#include "TestRoms.h"
#include "nes/Joypad.h"
#include "nes/Process.h"
#include "nes/state/SaveState.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The exact PPU runs behind the processor and then in stretches: whole tiles, sprite slots, idle
// runs. Two machines resume a game's state with the processor held; one PPU runs dot by dot, the
// other in batches of uneven sizes that start and end anywhere in a tile. Two frames later both have
// drawn the same picture and hold the same state (the board's counters included). `mask` replaces
// $2001 after the load: rendering off, left columns clipped, grey.
struct Stretch {
    const char* file; // under ../shared/testroms, or null for a built MMC3 program with its IRQ
    int mask = -1;    // -1 keeps the game's
};

struct Ran {
    std::uint32_t picture;
    Bytes state;
};

Ran RunPpu(const std::string& path, const Bytes& state, int mask, bool byDots) {
    Tools::HeadlessMachine machine;
    machine.settings.cpuKind = "Exact";
    EXPECT_TRUE(machine.Load(path));
    std::string error;
    EXPECT_TRUE(Nes::SaveState::Load(*machine.process, state.data(), state.size(), error)) << error;
    Nes::Ppu& ppu = machine.process->GetPpu();
    if (mask >= 0) {
        ppu.mask = static_cast<std::uint8_t>(mask);
    }
    ppu.BeginExactFrame(true);
    constexpr std::int32_t Dots = 2 * 341 * 262 + 100;
    std::int32_t batch = 1;
    for (std::int32_t run = 0; run < Dots; run += batch) {
        batch = byDots ? 1 : std::min(1 + (run * 7 + 3) % 97, Dots - run);
        if (byDots) {
            ppu.RunDot();
        } else {
            ppu.RunDots(batch);
        }
    }
    Ran ran{machine.PictureCrc(), {}};
    Nes::SaveState::WriteMachine(*machine.process, ran.state);
    return ran;
}

class ExactStretches : public testing::TestWithParam<Stretch> {};

TEST_P(ExactStretches, RunAsTheDotsOneByOne) {
    const Stretch& row = GetParam();
    TestSupport::TempDir folder;
    std::string path =
        row.file ? (TestSupport::TestRoms / row.file).string() : folder.Path("irq.nes").string();
    if (row.file) {
        HALVO_REQUIRE_TEST_ROM(path);
    } else {
        TestSupport::Mmc3IrqProgram().Write(path);
    }
    Bytes state;
    {
        Tools::HeadlessMachine machine;
        machine.settings.cpuKind = "Exact";
        ASSERT_TRUE(machine.Load(path));
        machine.RunFrames(150, {{120, Nes::Joypad::ButtonStart}});
        state = Nes::SaveState::Write(*machine.process);
    }
    const Ran dots = RunPpu(path, state, row.mask, true);
    const Ran stretches = RunPpu(path, state, row.mask, false);
    EXPECT_EQ(stretches.picture, dots.picture);
    EXPECT_TRUE(stretches.state == dots.state);
}

INSTANTIATE_TEST_SUITE_P(Games, ExactStretches,
                         testing::Values(Stretch{"games/smwstomp.nes"}, Stretch{"games/240pee.nes"},
                                         Stretch{"games/smwstomp.nes", 0x19},
                                         Stretch{"games/240pee.nes", 0x00}, Stretch{"games/240pee.nes", 0x1E},
                                         Stretch{nullptr}),
                         [](const testing::TestParamInfo<Stretch>& info) {
                             std::string name = info.param.file ? info.param.file : "built_mmc3";
                             if (info.param.file) {
                                 name = name.substr(6, name.size() - 10);
                             }
                             return name +
                                    (info.param.mask < 0 ? "" : "_mask" + std::to_string(info.param.mask));
                         });

} // namespace
} // namespace Halvo
