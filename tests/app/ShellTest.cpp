#include "app/Shell.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "app/Bridge.h"
#include "app/ProgramEntry.h"
#include "app/Timer.h"
#include "app/Window.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// Everything the fakes do goes into one journal, so that tests can check the order of calls.
Lines journal;

struct FakeConfig {
    bool timerFails = false, windowFails = false, initiateFails = false, bridgeThrows = false;
    int turns = 2; // loop turns before the quit request
    int exitCode = 0;
} config;

struct FakeTimer : App::Timer {
    ~FakeTimer() override { journal.push_back("~timer"); }
    void Update() override { journal.push_back("update"); }
};

struct FakeWindow : App::Window {
    ~FakeWindow() override { journal.push_back("~window"); }
    void ApplyMode() override {}
    void UpdateTitle() override {}
};

struct FakeBridge : App::Bridge {
    FakeBridge() {
        if (config.bridgeThrows) {
            throw std::runtime_error("no display");
        }
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
        return config.timerFails ? nullptr : Ref::New<FakeTimer>();
    }
    Ref::Ptr<App::Window> CreateWindow(App::Shell*) override {
        journal.push_back("createWindow");
        return config.windowFails ? nullptr : Ref::New<FakeWindow>();
    }
    int turns = 0;
};

struct FakeShell : App::Shell {
    using App::Shell::Shell;
    ~FakeShell() override { journal.push_back("~shell"); }
    bool OnInitiate(const std::vector<std::string>& arguments) override {
        std::string all;
        for (const std::string& argument : arguments) {
            all += "[" + argument + "]";
        }
        journal.push_back("initiate:" + all);
        return !config.initiateFails;
    }
    void OnTerminate() override { journal.push_back("terminate"); }
    void OnIdle() override { journal.push_back("idle"); }
    void OnActivate(bool) override {}
    void OnResize(std::uint32_t, std::uint32_t) override {}
    void OnKeyDown(std::uint32_t, char32_t) override {}
    void OnKeyUp(std::uint32_t, char32_t) override {}
};

class ApplicationFrame : public ::testing::Test {
protected:
    void SetUp() override {
        journal.clear();
        config = FakeConfig{};
        App::Bridge::SetFactory([]() -> App::Bridge* { return Ref::New<FakeBridge>(); });
    }
    void TearDown() override { App::Bridge::SetFactory(nullptr); }

    // Runs the program in a temporary folder; gives the exit code and the log.
    std::pair<int, std::string> RunProgram(const std::vector<std::string>& arguments) {
        TestSupport::TempDir dir;
        TestSupport::CurrentDir here(dir.Path());
        const int code = App::ProgramEntry(
            arguments, [](App::Bridge* bridge) { return Ref::Ptr<App::Shell>(Ref::New<FakeShell>(bridge)); });
        const auto log = dir.Path(App::LogFileName);
        if (!std::filesystem::exists(log)) {
            return {code, "<no log>"};
        }
        // The lines after the session's start line.
        const std::string text = TestSupport::ReadFile(log);
        EXPECT_TRUE(text.starts_with("-- Halvo ")) << text;
        return {code, text.substr(text.find('\n') + 1)};
    }
};

TEST_F(ApplicationFrame, RunsTheWholeLifeInOrder) {
    config.exitCode = 3;
    // Nothing was written to the console, so the log is gone.
    // The arguments reach the shell as they were given, one by one.
    EXPECT_EQ(RunProgram({"my \"game\".nes", "+g_windowed", "on"}),
              std::make_pair(3, std::string("<no log>")));
    EXPECT_EQ(journal, (Lines{"createTimer", "createWindow", "initiate:[my \"game\".nes][+g_windowed][on]",
                              "messages", "update", "idle", "messages", "update", "idle", "messages",
                              "terminate", "~window", "~timer", "~shell", "~bridge"}));
    // A quit before the first turn never idles.
    journal.clear();
    config.turns = 0;
    EXPECT_EQ(RunProgram({}).first, 3);
    EXPECT_EQ(journal, (Lines{"createTimer", "createWindow", "initiate:", "messages", "terminate", "~window",
                              "~timer", "~shell", "~bridge"}));
}

TEST_F(ApplicationFrame, FailedInitiationEndsWithBadInitialization) {
    const struct {
        bool FakeConfig::*failure;
        const char* message;
        Lines calls;
    } failures[] = {
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
        const auto [code, log] = RunProgram({});
        EXPECT_EQ(code, 1) << failure.message;
        EXPECT_EQ(journal, failure.calls) << failure.message;
        const std::size_t lineEnd = log.find('\n');
        EXPECT_TRUE(
            TestSupport::IsReport(log.substr(0, lineEnd), "Halvo::App::Shell::Initiate", failure.message))
            << log;
        EXPECT_EQ(log.substr(lineEnd + 1), "Exception caught: bad initialization. Terminating program...\n");
    }
}

TEST_F(ApplicationFrame, ExceptionsWhileMakingTheBridgeEndTheProgram) {
    config.bridgeThrows = true;
    EXPECT_EQ(RunProgram({}),
              std::make_pair(1, std::string("Exception caught: no display. Terminating program...\n")));
    App::Bridge::SetFactory(nullptr);
    EXPECT_EQ(RunProgram({}).first, 1);
}

TEST_F(ApplicationFrame, InitiateAndTerminateAreIdempotent) {
    Ref::Ptr<App::Bridge> bridge(App::Bridge::Instance());
    {
        Ref::Ptr<FakeShell> shell(Ref::New<FakeShell>(bridge.Get()));
        shell->Terminate();
        EXPECT_TRUE(shell->Initiate({}));
        EXPECT_TRUE(shell->Initiate({}));
        shell->Terminate();
        shell->Terminate();
    }
    EXPECT_EQ(journal, (Lines{"createTimer", "createWindow", "initiate:", "terminate", "~window", "~timer",
                              "~shell"}));
}

} // namespace
} // namespace Halvo
