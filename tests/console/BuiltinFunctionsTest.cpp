#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "console/StopRequest.h"
#include "console/System.h"
#include "console/Variable.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

// Counts its calls (and does what it is given): a script line whose running can be seen without
// reading the output.
struct Tick : Console::Function {
    explicit Tick(std::function<void()> also = [] {}) : Function("tick"), also(std::move(also)) {}
    bool Execute(std::istream&, std::ostream&) override {
        ++count;
        also();
        return true;
    }
    void PrintUsage(std::ostream&) override {}
    std::function<void()> also;
    int count = 0;
};

// A console with a folder for scripts and a "tick" function.
class Scripts : public ::testing::Test {
protected:
    Scripts() { capture.System().RegisterFunction(Ref::Ptr<Console::Function>(tick.Get())); }
    ~Scripts() override { capture.System().UnregisterFunction("tick"); }

    ConsoleCapture capture;
    TestSupport::TempDir dir;
    Ref::Ptr<Tick> tick{Ref::New<Tick>()};
};

// "help" lists the commands, then the variables; a word that names nothing lists what begins with it.
TEST(BuiltinFunctions, HelpListsFunctionsThenVariables) {
    ConsoleCapture capture;
    capture.System().RegisterFunction(Ref::New<Console::Variable<unsigned int>>("g_width", 640));
    EXPECT_EQ(capture.Run("@help"), (Lines{"echo", "help", "run", "g_width", ""}));
    EXPECT_EQ(capture.Run("@help g_"), Lines{"g_width"});
    EXPECT_EQ(capture.Run("@help e"), Lines{"echo"});
    EXPECT_EQ(capture.Run("@help g_width"),
              (Lines{"usage: g_width [=|+=|-=|*=|/=] [numeric value]", "       g_width is 640"}));
    EXPECT_EQ(capture.Run("@help nothing"), Lines{"nothing is not a valid console function or variable."});
    capture.System().UnregisterFunction("g_width");
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

TEST_F(Scripts, RunExecutesScriptLinesAsTyped) {
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

TEST_F(Scripts, AScriptThatRunsItselfStopsAtTheNestingLimit) {
    const std::string self = dir.Path("self.cfg").string();
    dir.Write("self.cfg", "@run " + self + "\n@echo \"after\"\n");
    Lines expected(17, "after");
    expected[0] = "Not running " + self + ": scripts may run other scripts at most 16 levels deep.";
    EXPECT_EQ(capture.Run("@run " + self), expected);
    // The limit is per chain: the next run starts again from the top.
    EXPECT_EQ(capture.Run("@run " + self), expected);
}

// A run reads at most 100000 script lines, however its scripts run each other.
TEST_F(Scripts, OneRunReadsAtMostItsBudgetOfLines) {
    std::string ticks;
    for (int i = 0; i <= 100000; ++i) {
        ticks += "@tick\n";
    }
    const std::string many = dir.Write("many.cfg", ticks).string();
    const std::string budget = ": one run may read at most 100000 script lines.";
    EXPECT_EQ(capture.Run("@run " + many), Lines{"Stopped running " + many + budget});
    EXPECT_EQ(tick->count, 100000);
    // Three runs of itself in each script: 3^16 lines without the budget. The run gets a budget of its
    // own, or it would not reach the nesting limit.
    const std::string self = dir.Path("self.cfg").string();
    dir.Write("self.cfg", "@tick\n@run " + self + "\n@run " + self + "\n@run " + self + "\n");
    EXPECT_EQ(capture.Run("@run " + self),
              (Lines{"Not running " + self + ": scripts may run other scripts at most 16 levels deep.",
                     "Stopped running " + self + budget}));
}

// Endless or enormous scripts, and names that are no script, end with one clear line.
TEST_F(Scripts, RunRefusesWhatIsNoScriptAndStopsAtTheBounds) {
    const std::string folder = dir.Path().string();
    const std::string big = dir.Path("big.cfg").string();
    std::ofstream(big) << "@echo \"never\"\n";
    std::filesystem::resize_file(big, 16 * 1024 * 1024 + 1);
    const std::string longLine =
        dir.Write("long.cfg", "@echo \"first\"\n#" + std::string(65536, 'x') + "\n").string();
    // Nobody writes to it: opening it to read would wait for ever.
    const std::string fifo = dir.Path("fifo.cfg").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string justRight =
        dir.Write("right.cfg", "#" + std::string(65535, 'x') + "\n@echo \"ran\"").string();
    const struct {
        std::string file;
        Lines printed;
    } cases[] = {
        {folder, {"Could not run " + folder + ": it is a directory."}},
        {big, {"Could not run " + big + ": a script may hold at most 16777216 bytes."}},
        {"/dev/zero", {"Could not run /dev/zero: it is not a file."}},
        {longLine,
         {"first",
          "Stopped running " + longLine + " at line 2: a script line may hold at most 65536 characters."}},
        {justRight, {"ran"}},
        {"/proc/self/mem", {"Could not run /proc/self/mem: it could not be read."}},
        {fifo, {"Could not run " + fifo + ": it is not a file."}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(capture.Run("@run \"" + c.file + "\""), c.printed) << c.file;
    }
}

// A stop request (SIGINT, SIGTERM) ends every script of a run before its next line.
TEST_F(Scripts, RunStopsWhenTheProgramIsAskedToEnd) {
    const std::string inner = dir.Write("inner.cfg", "@echo \"one\"\n@tick\n@echo \"two\"\n").string();
    const std::string outer = dir.Write("outer.cfg", "@run " + inner + "\n@echo \"three\"\n").string();
    tick->also = [] { Console::RequestStop(15); };
    EXPECT_EQ(capture.Run("@run " + outer),
              (Lines{"one", "Stopped running " + outer + ": the program was asked to end."}));
    Console::ClearStopRequest();
}

} // namespace
} // namespace Halvo
