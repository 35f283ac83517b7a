#include <gtest/gtest.h>

#include "console/System.h"
#include "console/Variable.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

TEST(HelpFunction, ListsFunctionsButNotVariablesThenAnEmptyLine) {
    ConsoleCapture capture;
    auto& system = capture.System();
    Console::Variable<unsigned int> width("g_width", 640);
    system.RegisterFunction(Ref::Ptr<Console::Function>(&width));

    system.Execute("@help");
    EXPECT_EQ(capture.Lines(), (Lines{"echo", "help", "run", ""}));

    capture.Clear();
    system.Execute("@help g_width");
    EXPECT_EQ(capture.Lines(),
              (Lines{"usage: g_width [=|+=|-=|*=|/=] [numeric value]", "       g_width is 640"}));

    capture.Clear();
    system.Execute("@help nothing");
    EXPECT_EQ(capture.Lines(), (Lines{"nothing is not a valid console function or variable."}));
    system.UnregisterFunction("g_width");
}

TEST(EchoFunction, PrintsLiteralsSwitchesEchoAndExplainsItself) {
    ConsoleCapture capture;
    auto& system = capture.System();
    system.Execute("@echo \"  two  blanks \"");
    EXPECT_EQ(capture.Lines(), (Lines{"  two  blanks "}));

    const Lines usageOn{"usage: echo [on|off|{\"<string literal>\"}]", "       echo is currently on"};
    for (const char* bad : {"@echo \"unterminated", "@echo ON", "@echo"}) {
        capture.Clear();
        system.Execute(bad);
        EXPECT_EQ(capture.Lines(), usageOn) << bad;
    }

    capture.Clear();
    system.Execute("echo off");
    system.Execute("echo \"quiet\"");
    EXPECT_EQ(capture.Lines(), (Lines{"echo off", "quiet"}));
    EXPECT_FALSE(system.echo);
    system.Execute("echo on");
    EXPECT_TRUE(system.echo);
}

TEST(RunFunction, RunsScriptsAsTypedLines) {
    ConsoleCapture capture;
    auto& system = capture.System();
    TestSupport::TempDir dir;
    dir.Write("setup.cfg", "# a comment\n@echo \"first\"\r\necho \"second\"\n\n");
    dir.Write("with blank.cfg", "@echo \"quoted name\"\n");
    system.history.clear();

    system.Execute("@run " + dir.Path("setup.cfg").string());
    system.Execute("@run \"" + dir.Path("with blank.cfg").string() + "\"");
    EXPECT_EQ(capture.Lines(), (Lines{"first", "echo \"second\"", "second", "quoted name"}));
    EXPECT_EQ(system.history.size(), 5u); // two runs, and three script lines that were not comments

    capture.Clear();
    system.Execute("@run " + dir.Path("missing.cfg").string());
    system.Execute("@run \"unterminated");
    EXPECT_EQ(capture.Lines(),
              (Lines{"Could not open " + dir.Path("missing.cfg").string(), "usage: run [\"<file name>\"]"}));
}

TEST(RunFunction, AScriptThatRunsItselfStopsAtTheNestingLimit) {
    ConsoleCapture capture;
    auto& system = capture.System();
    TestSupport::TempDir dir;
    const std::string self = dir.Path("self.cfg").string();
    dir.Write("self.cfg", "@run " + self + "\n@echo \"after\"\n");

    system.Execute("@run " + self);
    const Lines lines = capture.Lines();
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "Not running " + self + ": scripts may run other scripts at most 16 levels deep.");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], "after");
    }
    // The limit is per chain: the next run starts again from the top.
    capture.Clear();
    system.Execute("@run " + self);
    EXPECT_EQ(capture.Lines().size(), 17u);
}

} // namespace
} // namespace Halvo
