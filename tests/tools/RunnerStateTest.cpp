#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "support/BankingRom.h"
#include "support/RomBuilder.h"
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

std::vector<std::int16_t> Samples(const std::string& wav) {
    const std::string bytes = TestSupport::ReadFile(wav);
    std::vector<std::int16_t> samples;
    for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) {
        samples.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                                    static_cast<std::uint8_t>(bytes[at + 1]) << 8));
    }
    return samples;
}

// The sound goes on across a state exactly as it does without one: what a run from the state records
// is, sample for sample, the end of what the whole run recorded (with the tone's pitch changing).
TEST(RunnerStates, TheSoundGoesOnFromTheStateExactly) {
    TestSupport::TempDir dir;
    const std::string rom = dir.Path("irq.nes").string();
    const std::string state = dir.Path("at40.state").string();
    TestSupport::Mmc3IrqProgram().Write(rom);
    const std::string whole = dir.Path("whole.wav").string();
    const std::string resumed = dir.Path("resumed.wav").string();
    ASSERT_EQ(RunRunner({rom, "--frames", "70", "--save-state", "40", state, "--wav", whole}).first,
              Tools::ExitPass);
    ASSERT_EQ(RunRunner({rom, "--load-state", state, "--frames", "30", "--wav", resumed}).first,
              Tools::ExitPass);
    const std::vector<std::int16_t> all = Samples(whole);
    const std::vector<std::int16_t> after = Samples(resumed);
    ASSERT_GT(after.size(), all.size() / 3);
    ASSERT_LT(after.size(), all.size() / 2);
    EXPECT_NE(*std::max_element(after.begin(), after.end()), 0);
    EXPECT_TRUE(
        std::equal(after.begin(), after.end(), all.end() - static_cast<std::ptrdiff_t>(after.size())));
}

} // namespace
} // namespace Halvo
