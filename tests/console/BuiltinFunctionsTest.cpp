#include <gtest/gtest.h>

#include "console/System.h"
#include "console/Variable.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

TEST(BuiltinFunctions, HelpListsFunctionsButNotVariables) {
    ConsoleCapture capture;
    capture.System().RegisterFunction(Ref::New<Console::Variable<unsigned int>>("g_width", 640));
    EXPECT_EQ(capture.Run("@help"), (Lines{"echo", "help", "run", ""}));
    EXPECT_EQ(capture.Run("@help g_width"),
              (Lines{"usage: g_width [=|+=|-=|*=|/=] [numeric value]", "       g_width is 640"}));
    EXPECT_EQ(capture.Run("@help nothing"), Lines{"nothing is not a valid console function or variable."});
}

TEST(BuiltinFunctions, EchoPrintsLiteralsAndSwitchesEcho) {
    ConsoleCapture capture;
    EXPECT_EQ(capture.Run("@echo \"  two  blanks \""), Lines{"  two  blanks "});
    for (const char* bad : {"@echo \"unterminated", "@echo ON", "@echo"}) {
        EXPECT_EQ(capture.Run(bad),
                  (Lines{"usage: echo [on|off|{\"<string literal>\"}]", "       echo is currently on"}))
            << bad;
    }
    EXPECT_EQ(capture.Run("echo off"), Lines{"echo off"});
    EXPECT_EQ(capture.Run("echo \"quiet\""), Lines{"quiet"});
    capture.System().Execute("echo on");
    EXPECT_EQ(capture.Run("echo \"loud\""), (Lines{"echo \"loud\"", "loud"}));
}

TEST(BuiltinFunctions, RunExecutesScriptLinesAsTyped) {
    ConsoleCapture capture;
    TestSupport::TempDir dir;
    const std::string setup =
        dir.Write("setup.cfg", "# a comment\n@echo \"first\"\r\necho \"second\"\n\n").string();
    const std::string blank = dir.Write("with blank.cfg", "@echo \"quoted name\"\n").string();
    capture.System().history.clear();
    capture.System().Execute("@run " + setup);
    capture.System().Execute("@run \"" + blank + "\"");
    EXPECT_EQ(capture.Lines(), (Lines{"first", "echo \"second\"", "second", "quoted name"}));
    EXPECT_EQ(capture.System().history.size(), 5u); // two runs, and the three script lines that ran

    const std::string missing = dir.Path("missing.cfg").string();
    EXPECT_EQ(capture.Run("@run " + missing), Lines{"Could not open " + missing});
    EXPECT_EQ(capture.Run("@run \"unterminated"), Lines{"usage: run [\"<file name>\"]"});
}

TEST(BuiltinFunctions, AScriptThatRunsItselfStopsAtTheNestingLimit) {
    ConsoleCapture capture;
    TestSupport::TempDir dir;
    const std::string self = dir.Path("self.cfg").string();
    dir.Write("self.cfg", "@run " + self + "\n@echo \"after\"\n");
    Lines expected(17, "after");
    expected[0] = "Not running " + self + ": scripts may run other scripts at most 16 levels deep.";
    EXPECT_EQ(capture.Run("@run " + self), expected);
    // The limit is per chain: the next run starts again from the top.
    EXPECT_EQ(capture.Run("@run " + self), expected);
}

} // namespace
} // namespace Halvo
