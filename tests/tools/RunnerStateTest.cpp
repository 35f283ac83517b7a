#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/BankingRom.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// The exit code and what the run printed on both streams.
std::pair<int, std::string> RunRunner(const std::vector<std::string>& arguments) {
    Tools::RunnerOptions options;
    std::string error;
    if (!Tools::ParseRunnerOptions(arguments, options, error)) {
        return {Tools::ExitBadArguments, error};
    }
    std::ostringstream out;
    const int exit = Tools::RunHeadless(options, out, out);
    return {exit, out.str()};
}

// A state written after frame 40 of 70 and run for 30 frames ends as the whole run did: the same byte at
// $0000 and the same picture CRC-32 (the summary line from "picture").
TEST(RunnerStates, ARunGoesOnFromItsSavedState) {
    TestSupport::TempDir dir;
    const std::string rom = dir.Path("banking.nes").string();
    const std::string state = dir.Path("at40.state").string();
    TestSupport::BankingProgram(1).Write(rom);
    const auto whole = RunRunner({rom, "--frames", "70", "--save-state", "40", state, "--peek", "0"});
    const auto resumed = RunRunner({rom, "--load-state", state, "--frames", "30", "--peek", "0"});
    ASSERT_EQ(whole.first, Tools::ExitPass) << whole.second;
    ASSERT_EQ(resumed.first, Tools::ExitPass) << resumed.second;
    const auto ending = [](const std::string& out) {
        return out.substr(0, 11) + out.substr(out.find("picture"), 24);
    };
    EXPECT_EQ(ending(resumed.second), ending(whole.second));

    const auto late = RunRunner({rom, "--frames", "10", "--save-state", "11", state});
    EXPECT_EQ(late.second, "--save-state names a frame after the last of --frames");
    const auto foreign = RunRunner({rom, "--load-state", rom});
    EXPECT_EQ(foreign.first, Tools::ExitNotLoaded);
    EXPECT_EQ(foreign.second, "halvo-run: cannot load the state " + rom + ": it is not a Halvo save state\n");
}

} // namespace
} // namespace Halvo
