#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

struct RunnerRun {
    int exit;
    std::string out;
    std::string err;
};

RunnerRun RunRunner(const std::vector<std::string>& arguments) {
    Tools::RunnerOptions options;
    std::string error;
    if (!Tools::ParseRunnerOptions(arguments, options, error)) {
        return {Tools::ExitBadArguments, "", error};
    }
    std::ostringstream out, err;
    const int exit = Tools::RunHeadless(options, out, err);
    return {exit, out.str(), err.str()};
}

// What follows "picture CRC-32 " in the summary line.
std::string PictureCrc(const std::string& out) {
    const std::size_t at = out.find("picture CRC-32 ");
    return at == std::string::npos ? "" : out.substr(at + 15, 8);
}

// A state written after frame 40 of 70 and run for 30 frames gives the picture of the whole run.
TEST(RunnerStates, ARunGoesOnFromItsSavedState) {
    TestSupport::TempDir dir;
    const std::string rom = dir.Path("banking.nes").string();
    const std::string state = dir.Path("at40.state").string();
    TestSupport::BankingProgram(1).Write(rom);
    const RunnerRun whole = RunRunner({rom, "--frames", "70", "--save-state", "40", state, "--peek", "0"});
    ASSERT_EQ(whole.exit, Tools::ExitPass) << whole.err;
    const RunnerRun resumed = RunRunner({rom, "--load-state", state, "--frames", "30", "--peek", "0"});
    ASSERT_EQ(resumed.exit, Tools::ExitPass) << resumed.err;
    EXPECT_EQ(PictureCrc(resumed.out), PictureCrc(whole.out));
    EXPECT_EQ(resumed.out.substr(0, 10), whole.out.substr(0, 10)); // "$0000: $NN"

    const struct {
        std::vector<std::string> arguments;
        int exit;
        std::string message;
    } refusals[] = {
        {{rom, "--frames", "10", "--save-state", "11", state},
         Tools::ExitBadArguments,
         "--save-state names a frame after the last of --frames"},
        {{rom, "--save-state", "5"},
         Tools::ExitBadArguments,
         "--save-state takes a frame number and a file name"},
        {{rom, "--load-state", rom},
         Tools::ExitNotLoaded,
         "halvo-run: cannot load the state " + rom + ": it is not a Halvo save state"},
        {{rom, "--load-state", state + "x"},
         Tools::ExitNotLoaded,
         "halvo-run: cannot load the state " + state + "x: it could not be read"},
    };
    for (const auto& refusal : refusals) {
        const RunnerRun run = RunRunner(refusal.arguments);
        EXPECT_EQ(run.exit, refusal.exit);
        EXPECT_NE(run.err.find(refusal.message), std::string::npos) << run.err;
    }
}

} // namespace
} // namespace Halvo
