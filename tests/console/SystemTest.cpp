#include "console/System.h"

#include <gtest/gtest.h>

#include "console/Variable.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

// Records the arguments it was called with.
class Recorder : public Console::Function {
public:
    explicit Recorder(std::string name, bool result = true) : Function(std::move(name)), result(result) {}
    bool Execute(std::istream& arguments, std::ostream&) override {
        ++calls;
        std::getline(arguments, rest);
        return result;
    }
    void PrintUsage(std::ostream& out) override { out << "usage: " << name << std::endl; }

    bool result;
    int calls = 0;
    std::string rest;
};

TEST(ConsoleSystem, IsOneInstanceUntilTheLastReleaseAndStartsWithTheBuiltIns) {
    Console::System* first = Console::System::Instance();
    {
        Ref::Ptr<Console::System> held(first);
        EXPECT_EQ(Console::System::Instance(), first);
        std::vector<std::string> names;
        for (const auto& function : held->functions) {
            names.push_back(function->name);
        }
        EXPECT_EQ(names, (Lines{"echo", "help", "run"}));
    }
    // The last release destroyed it; the next use makes a new one.
    Ref::Ptr<Console::System> again(Console::System::Instance());
    EXPECT_EQ(again->functions.size(), 3u);
}

TEST(ConsoleSystem, RegistersInByteOrderAndRefusesDuplicates) {
    ConsoleCapture capture;
    auto& system = capture.System();
    Ref::Ptr<Recorder> zeta(Ref::New<Recorder>("zeta"));
    EXPECT_TRUE(system.RegisterFunction(zeta));
    EXPECT_TRUE(system.RegisterFunction(Ref::Ptr<Console::Function>(Ref::New<Recorder>("Zulu"))));
    EXPECT_TRUE(system.RegisterFunction(Ref::Ptr<Console::Function>(Ref::New<Recorder>("ech"))));
    EXPECT_FALSE(system.RegisterFunction(Ref::Ptr<Console::Function>(Ref::New<Recorder>("echo"))));
    EXPECT_FALSE(system.RegisterFunction(nullptr));

    Lines names;
    for (const auto& function : system.functions) {
        names.push_back(function->name);
    }
    EXPECT_EQ(names, (Lines{"Zulu", "ech", "echo", "help", "run", "zeta"}));

    // The first "echo" is still the built-in one.
    system.Execute("echo \"still here\"");
    EXPECT_EQ(capture.LastLine(), "still here");

    EXPECT_EQ(system.UnregisterFunction("zeta"), zeta);
    EXPECT_FALSE(system.UnregisterFunction("zeta"));
    system.UnregisterFunction("Zulu");
    system.UnregisterFunction("ech");
}

TEST(ConsoleSystem, ExecutesEchoesAndReportsUnknownWords) {
    ConsoleCapture capture;
    auto& system = capture.System();
    Ref::Ptr<Recorder> recorder(Ref::New<Recorder>("record"));
    system.RegisterFunction(recorder);

    system.Execute("  record  one \"two\"");
    EXPECT_EQ(recorder->calls, 1);
    EXPECT_EQ(recorder->rest, "  one \"two\"");
    system.Execute("@record silently");
    system.Execute("Help");
    system.Execute("@");
    system.Execute("g_windowed=1");
    EXPECT_EQ(capture.Lines(),
              (Lines{"  record  one \"two\"", "Help", "Help is not a valid console function or variable.",
                     " is not a valid console function or variable.", "g_windowed=1",
                     "g_windowed=1 is not a valid console function or variable."}));
    EXPECT_EQ(recorder->calls, 2);

    // A false result prints the function's usage.
    recorder->result = false;
    capture.Clear();
    system.Execute("@record");
    EXPECT_EQ(capture.Lines(), (Lines{"usage: record"}));
    system.UnregisterFunction("record");
}

TEST(ConsoleSystem, CommentsAndBlankLinesLeaveNoTrace) {
    ConsoleCapture capture;
    auto& system = capture.System();
    system.history.clear();
    system.Execute("");
    system.Execute("    ");
    system.Execute("   # echo \"no\"");
    EXPECT_TRUE(capture.Lines().empty());
    EXPECT_TRUE(system.history.empty());
}

TEST(ConsoleSystem, HistoryKeepsTheNewestSixteenLinesWithTheirPrefix) {
    ConsoleCapture capture;
    auto& system = capture.System();
    system.history.clear();
    system.Execute("@echo off");
    std::string line;
    ASSERT_TRUE(system.GetHistoryLine(0, line));
    EXPECT_EQ(line, "@echo off");
    EXPECT_FALSE(system.echo);
    for (int i = 1; i <= 17; ++i) {
        system.Execute("unknown" + std::to_string(i));
    }
    system.echo = true;
    EXPECT_EQ(system.history.size(), 16u);
    ASSERT_TRUE(system.GetHistoryLine(0, line));
    EXPECT_EQ(line, "unknown17");
    ASSERT_TRUE(system.GetHistoryLine(15, line));
    EXPECT_EQ(line, "unknown2");
    EXPECT_FALSE(system.GetHistoryLine(16, line));
}

TEST(ConsoleVariables, BoolTakesItsWordsAndRejectsTheRest) {
    ConsoleCapture capture;
    auto& system = capture.System();
    Console::Variable<bool> windowed("g_windowed", false);
    system.RegisterFunction(Ref::Ptr<Console::Function>(&windowed));
    system.echo = false;

    const std::pair<const char*, bool> steps[] = {
        {"g_windowed on", true},  {"g_windowed off", false},     {"g_windowed not", true},
        {"g_windowed !", false},  {"g_windowed = true", true},   {"g_windowed = 0", false},
        {"g_windowed = 1", true}, {"g_windowed = false", false},
    };
    for (const auto& [line, expected] : steps) {
        system.Execute(line);
        EXPECT_EQ(windowed.value, expected) << line;
    }
    EXPECT_TRUE(capture.Lines().empty());

    system.Execute("g_windowed");
    EXPECT_EQ(capture.LastLine(), "g_windowed is off");
    for (const char* bad : {"g_windowed ON", "g_windowed =", "g_windowed = yes", "g_windowed =1"}) {
        capture.Clear();
        system.Execute(bad);
        EXPECT_EQ(capture.Lines(), (Lines{"usage: g_windowed [=|on|off|{not|!}] <{true|1}|{false|0}>",
                                          "       g_windowed is off"}))
            << bad;
    }
    system.echo = true;
    system.UnregisterFunction("g_windowed");
}

TEST(ConsoleVariables, UnsignedArithmeticWrapsAndRefusesDivisionByZero) {
    ConsoleCapture capture;
    auto& system = capture.System();
    Console::Variable<unsigned int> width("g_width", 640);
    system.RegisterFunction(Ref::Ptr<Console::Function>(&width));
    system.echo = false;

    system.Execute("g_width = 800");
    EXPECT_EQ(width.value, 800u);
    system.Execute("g_width += 24");
    system.Execute("g_width *= 2");
    system.Execute("g_width /= 3");
    EXPECT_EQ(width.value, 549u);
    system.Execute("g_width = 0");
    system.Execute("g_width -= 1");
    EXPECT_EQ(width.value, 4294967295u);
    system.Execute("g_width");
    EXPECT_EQ(capture.LastLine(), "g_width is 4294967295");

    const Lines usage{"usage: g_width [=|+=|-=|*=|/=] [numeric value]", "       g_width is 7"};
    system.Execute("g_width = 7");
    for (const char* bad : {"g_width +=", "g_width %= 2", "g_width = x", "g_width /= 0"}) {
        capture.Clear();
        system.Execute(bad);
        EXPECT_EQ(capture.Lines(), usage) << bad;
        EXPECT_EQ(width.value, 7u) << bad;
    }
    system.echo = true;
    system.UnregisterFunction("g_width");
}

} // namespace
} // namespace Halvo
