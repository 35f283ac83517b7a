#include "app/Shell.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "app/ProgramEntry.h"
#include "support/ConsoleCapture.h"
#include "support/FakeDriver.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// Everything the fakes do goes into one journal, so that tests can check the order of calls. The
// shell's own destructor body runs before the base releases window, timer and bridge, in that order.
Lines journal;

struct FakeConfig {
    bool timerFails = false;
    bool windowFails = false;
    bool initiateFails = false;
    bool bridgeThrows = false;
    int turns = 2; // loop turns before the quit request
    int exitCode = 0;
};
FakeConfig config;

class FakeTimer : public App::Timer {
public:
    ~FakeTimer() override { journal.push_back("~timer"); }
    void Update() override {
        journal.push_back("update");
        frameTime = 0.5f;
    }
};

class FakeWindow : public App::Window {
public:
    ~FakeWindow() override { journal.push_back("~window"); }
    void ApplyMode() override {}
    void UpdateTitle() override {}
};

class FakeBridge : public App::Bridge {
public:
    FakeBridge() {
        if (config.bridgeThrows) {
            throw std::runtime_error("no display");
        }
        AddDriver(Ref::Ptr<Gfx::Driver>(Ref::New<TestSupport::FakeDriver>("Fake")));
    }
    ~FakeBridge() override { journal.push_back("~bridge"); }
    bool ProcessMessages() override {
        journal.push_back("messages");
        return turns++ < config.turns;
    }
    void Quit(std::int32_t) override {}
    std::int32_t GetExitCode() override { return config.exitCode; }
    Ref::Ptr<App::Timer> CreateTimer() override {
        journal.push_back("createTimer");
        return config.timerFails ? nullptr : Ref::Ptr<App::Timer>(Ref::New<FakeTimer>());
    }
    Ref::Ptr<App::Window> CreateWindow(App::Shell* shell) override {
        journal.push_back("createWindow");
        if (config.windowFails) {
            return nullptr;
        }
        Ref::Ptr<App::Window> window(Ref::New<FakeWindow>());
        window->shell = shell;
        return window;
    }

    int turns = 0;
};

class FakeShell : public App::Shell {
public:
    using App::Shell::Shell;
    ~FakeShell() override { journal.push_back("~shell"); }
    bool OnInitiate(std::istream& commandLine) override {
        std::string all;
        std::getline(commandLine, all);
        journal.push_back("initiate:" + all);
        return !config.initiateFails;
    }
    void OnTerminate() override { journal.push_back("terminate"); }
    void OnIdle() override { journal.push_back("idle"); }
    void OnActivate(bool) override {}
    void OnResize(std::uint32_t, std::uint32_t) override {}
    void OnKeyDown(std::uint32_t, char) override {}
    void OnKeyUp(std::uint32_t, char) override {}

    bool IsInitiated() const { return initiated; }
    App::Timer* GetTimer() const { return timer.Get(); }
};

App::Bridge* MakeFakeBridge() {
    return Ref::New<FakeBridge>();
}
Ref::Ptr<App::Shell> MakeFakeShell(App::Bridge* bridge) {
    return Ref::Ptr<App::Shell>(Ref::New<FakeShell>(bridge));
}

class ApplicationFrame : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        config = FakeConfig{};
        App::Bridge::SetFactory(MakeFakeBridge);
    }
    void TearDown() override { App::Bridge::SetFactory(nullptr); }

    // Runs the program in a temporary folder and returns the exit code and the log.
    std::pair<int, std::string> RunProgram(const std::string& commandLine) {
        TestSupport::TempDir dir;
        TestSupport::CurrentDir here(dir.Path());
        const int code = App::ProgramEntry(commandLine, MakeFakeShell);
        const auto log = dir.Path(App::LogFileName);
        return {code, std::filesystem::exists(log) ? TestSupport::ReadFile(log) : std::string("<no log>")};
    }
};

TEST_F(ApplicationFrame, RunsTheWholeLifeInOrder) {
    config.exitCode = 3;
    const auto [code, log] = RunProgram("game.nes +g_windowed on");
    EXPECT_EQ(code, 3);
    EXPECT_EQ(journal, (Lines{"createTimer", "createWindow", "initiate:game.nes +g_windowed on", "messages",
                              "update", "idle", "messages", "update", "idle", "messages", "terminate",
                              "~window", "~timer", "~shell", "~bridge"}));
    // Nothing was written to the console, so the log is gone.
    EXPECT_EQ(log, "<no log>");
}

TEST_F(ApplicationFrame, AQuitBeforeTheFirstTurnNeverIdles) {
    config.turns = 0;
    const auto [code, log] = RunProgram("");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "idle"), 0);
}

struct InitiationFailure {
    bool FakeConfig::*failure;
    const char* message;
    Lines calls;
};

TEST_F(ApplicationFrame, FailedInitiationEndsWithBadInitialization) {
    const InitiationFailure failures[] = {
        {&FakeConfig::timerFails, "Could not create timer object!", {"createTimer", "~shell", "~bridge"}},
        {&FakeConfig::windowFails,
         "Could not create window object!",
         {"createTimer", "createWindow", "~shell", "~timer", "~bridge"}},
        {&FakeConfig::initiateFails,
         "Could not initiate application!",
         {"createTimer", "createWindow", "initiate:", "~shell", "~window", "~timer", "~bridge"}},
    };
    for (const auto& failure : failures) {
        journal.clear();
        config = FakeConfig{};
        config.*failure.failure = true;
        const auto [code, log] = RunProgram("");
        EXPECT_EQ(code, 1) << failure.message;
        EXPECT_EQ(journal, failure.calls) << failure.message;
        std::istringstream lines(log);
        std::string report, ending;
        std::getline(lines, report);
        std::getline(lines, ending);
        EXPECT_TRUE(TestSupport::IsReport(report, "Halvo::App::Shell::Initiate", failure.message)) << report;
        EXPECT_EQ(ending, "Exception caught: bad initialization. Terminating program...");
    }
}

TEST_F(ApplicationFrame, ExceptionsWhileMakingTheBridgeEndTheProgram) {
    config.bridgeThrows = true;
    const auto [code, log] = RunProgram("");
    EXPECT_EQ(code, 1);
    EXPECT_EQ(log, "Exception caught: no display. Terminating program...\n");

    App::Bridge::SetFactory(nullptr);
    EXPECT_EQ(RunProgram("").first, 1);
}

TEST_F(ApplicationFrame, InitiateAndTerminateAreIdempotent) {
    TestSupport::ConsoleCapture capture;
    Ref::Ptr<App::Bridge> bridge(App::Bridge::Instance());
    EXPECT_EQ(bridge->GetDriverCount(), 1u);
    EXPECT_EQ(bridge->GetDriver(0)->name, "Fake");
    EXPECT_FALSE(bridge->GetDriver(1));
    {
        Ref::Ptr<FakeShell> shell(Ref::New<FakeShell>(bridge.Get()));
        shell->Terminate();
        std::istringstream none;
        EXPECT_TRUE(shell->Initiate(none));
        App::Timer* timer = shell->GetTimer();
        EXPECT_TRUE(shell->Initiate(none));
        EXPECT_EQ(shell->GetTimer(), timer);
        shell->Terminate();
        shell->Terminate();
        EXPECT_FALSE(shell->IsInitiated());
    }
    EXPECT_EQ(journal, (Lines{"createTimer", "createWindow", "initiate:", "terminate", "~window", "~timer",
                              "~shell"}));
    bridge.Reset();
    EXPECT_EQ(journal.back(), "~bridge");
}

TEST(CommandLine, JoinsArgumentsQuotingThoseWithBlanks) {
    const char* argv[] = {"halvo", "my game.nes", "+echo", "\"hi\"", "", "plain"};
    EXPECT_EQ(App::JoinCommandLine(6, argv), "\"my game.nes\" +echo \"hi\" \"\" plain");
    EXPECT_EQ(App::JoinCommandLine(1, argv), "");
}

} // namespace
} // namespace Halvo
