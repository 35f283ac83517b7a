#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/BatteryRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// With --save-dir a battery cartridge starts from its save and writes it at the end: its count of
// starts goes on from run to run. The save holds all the battery RAM the header gives, not only the
// 8 KiB at $6000.
TEST(RunnerSaves, BatteryRamOutlivesTheRun) {
    for (const auto& [nvramShift, saveSize] : {std::pair{0, 8192u}, std::pair{9, 32768u}}) {
        TestSupport::TempDir dir;
        const std::string rom = dir.Path("quest.nes").string();
        TestSupport::WriteBatteryRom(rom, nvramShift);
        const std::string saves = dir.Path("saves").string();
        for (const char* starts : {"$6001: $01", "$6001: $02", "$6001: $03"}) {
            Tools::RunnerOptions options;
            std::string error;
            ASSERT_TRUE(Tools::ParseRunnerOptions(
                {rom, "--frames", "2", "--save-dir", saves, "--peek", "0x6001"}, options, error));
            std::ostringstream out, err;
            EXPECT_EQ(Tools::RunHeadless(options, out, err), 0) << err.str();
            EXPECT_NE(out.str().find(starts), std::string::npos) << out.str();
        }
        EXPECT_EQ(std::filesystem::file_size(dir.Path("saves/quest.sav")), saveSize);
    }
}

} // namespace
} // namespace Halvo
