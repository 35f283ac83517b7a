#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/NsfBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// The loudest sample of the last third of a 16-bit WAV file written by the runner (before it the output
// stage settles from power-up).
int Peak(const std::string& wav) {
    std::ifstream in(wav, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int peak = 0;
    const std::size_t samples = bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0;
    for (std::size_t at = 44 + samples / 3 * 4; at + 1 < bytes.size(); at += 2) {
        const auto value = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                                     static_cast<std::uint8_t>(bytes[at + 1]) << 8);
        peak = std::max(peak, std::abs(static_cast<int>(value)));
    }
    return bytes.size() > 44 ? peak : -1;
}

TEST(NsfRunner, RecordsTheTrackItIsGiven) {
    TestSupport::TempDir dir;
    TestSupport::NsfBuilder nsf;
    nsf.songs = 2;
    nsf.play = 0x8018;
    // Track 2 plays a console pulse; track 1 is silent.
    nsf.program = {0xC9, 0x01, 0xD0, 0x14, 0xA9, 0x01, 0x8D, 0x15, 0x40, 0xA9, 0xBF, 0x8D, 0x00,
                   0x40, 0xA9, 0xFD, 0x8D, 0x02, 0x40, 0xA9, 0x00, 0x8D, 0x03, 0x40, 0x60};
    const std::string path = dir.Path("tune.nsf").string();
    nsf.Write(path);
    const auto run = [&](std::vector<std::string> arguments) {
        Tools::RunnerOptions options;
        std::string error;
        EXPECT_TRUE(Tools::ParseRunnerOptions(arguments, options, error)) << error;
        std::ostringstream out, err;
        const int code = Tools::RunHeadless(options, out, err);
        return code;
    };
    const std::string wav = dir.Path("tune.wav").string();
    EXPECT_EQ(run({path, "--track", "2", "--frames", "90", "--wav", wav}), 0);
    EXPECT_GT(Peak(wav), 2000);
    EXPECT_EQ(run({path, "--track", "1", "--frames", "90", "--wav", wav}), 0);
    EXPECT_LT(Peak(wav), 200);
    EXPECT_EQ(run({path, "--track", "3", "--frames", "30"}), Tools::ExitBadArguments);
}

} // namespace
} // namespace Halvo
