#include "shell/StateFunctions.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/state/SaveState.h"
#include "support/BankingRom.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MachineHost : public StateHost {
public:
    Nes::Process* StateMachine() override { return running ? machine.process.Get() : nullptr; }
    std::string StateImageFile() override { return imageFile; }

    Tools::HeadlessMachine machine;
    std::string imageFile;
    bool running = true;
};

Bytes StateOf(Nes::Process& process) {
    Bytes state;
    Nes::SaveState::WriteMachine(process, state);
    return state;
}

class StateCommands : public testing::Test {
protected:
    void SetUp() override {
        host.imageFile = folder.Path("banking.nes").string();
        TestSupport::BankingProgram(1).Write(host.imageFile);
        ASSERT_TRUE(host.machine.Load(host.imageFile));
        for (Console::Function* function : functions.Functions()) {
            capture.System().RegisterFunction(Ref::Ptr<Console::Function>(function));
        }
        capture.System().echo = false;
    }
    void TearDown() override {
        for (Console::Function* function : functions.Functions()) {
            capture.System().UnregisterFunction(function->name);
        }
    }

    TestSupport::TempDir folder;
    TestSupport::ConsoleCapture capture;
    MachineHost host;
    StateFunctions functions{host, folder.Path("states")};
};

struct RoundTrip {
    const char* save;
    const char* load;
    const char* file; // under the folder
};

// Each way of naming where a state goes brings the game back to the moment it was saved.
TEST_F(StateCommands, SaveAndLoadBySlotOrFile) {
    const std::string mine = "savestate \"" + folder.Path("mine.state").string() + "\"";
    const RoundTrip trips[] = {
        {"savestate", "loadstate", "states/banking.0.state"},
        {"savestate 7", "loadstate 7", "states/banking.7.state"},
        {"state_slot = 4\nsavestate", "loadstate", "states/banking.4.state"},
        {mine.c_str(), nullptr, "mine.state"},
    };
    for (const RoundTrip& trip : trips) {
        SCOPED_TRACE(trip.save);
        host.machine.RunFrames(5);
        std::istringstream lines(trip.save);
        for (std::string line; std::getline(lines, line);) {
            capture.System().Execute(line);
        }
        const Bytes saved = StateOf(*host.machine.process);
        EXPECT_TRUE(std::filesystem::exists(folder.Path(trip.file)));
        host.machine.RunFrames(5);
        const std::string load =
            trip.load ? trip.load : "loadstate \"" + folder.Path(trip.file).string() + "\"";
        capture.Clear();
        capture.System().Execute(load);
        EXPECT_EQ(capture.LastLine(), "State loaded from " + folder.Path(trip.file).string() + ".");
        EXPECT_TRUE(StateOf(*host.machine.process) == saved);
    }
}

// A state that cannot be loaded is one clear line, and the running game is not touched.
TEST_F(StateCommands, RefusedLoadsSayWhyAndKeepTheGame) {
    const std::string other = folder.Path("other.nes").string();
    TestSupport::BankingProgram(1, 4).Write(other);
    {
        MachineHost otherHost;
        otherHost.imageFile = other;
        ASSERT_TRUE(otherHost.machine.Load(other));
        StateFunctions(otherHost, folder.Path("states")).Save("3");
    }
    const std::string missing = folder.Path("states/banking.5.state").string();
    const std::string another = folder.Path("states/other.3.state").string();
    const std::string kept = "; the game goes on as it was.";
    const struct {
        std::string command;
        bool running;
        std::string operation;
        std::string report;
    } cases[] = {
        {"loadstate 5", true, "Load",
         "Could not load the state " + missing + ": there is no such file" + kept},
        {"loadstate \"" + another + "\"", true, "Load",
         "Could not load the state " + another + ": it belongs to another cartridge" + kept},
        {"savestate", false, "Save", "No game is running: there is no state to save."},
        {"loadstate", false, "Load", "No game is running: load a cartridge first."},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.command);
        host.running = row.running;
        host.machine.RunFrames(3);
        const Bytes before = StateOf(*host.machine.process);
        capture.Clear();
        capture.System().Execute(row.command);
        EXPECT_TRUE(capture.HoldsOnly("Halvo::StateFunctions::" + row.operation, row.report));
        EXPECT_TRUE(StateOf(*host.machine.process) == before);
    }
}

TEST(StateFolder, FollowsXdgDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string previous = saved ? saved : "";
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(StateFunctions::DefaultFolder(), std::filesystem::path("/data/halvo/states"));
    setenv("XDG_DATA_HOME", "", 1);
    EXPECT_EQ(StateFunctions::DefaultFolder().filename(), "states");
    if (saved) {
        setenv("XDG_DATA_HOME", previous.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}

} // namespace
} // namespace Halvo
