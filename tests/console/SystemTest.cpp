#include "console/System.h"

#include <gtest/gtest.h>

#include "console/Variable.h"
#include "support/ConsoleCapture.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

const std::string NotValid = " is not a valid console function or variable.";

TEST(ConsoleSystem, RegistersInByteOrderAndRefusesDuplicates) {
    ConsoleCapture capture;
    auto& system = capture.System();
    for (const char* name : {"zeta", "Zulu", "ech"}) {
        EXPECT_TRUE(system.RegisterFunction(Ref::New<Console::Variable<bool>>(name, false))) << name;
    }
    EXPECT_FALSE(system.RegisterFunction(Ref::New<Console::Variable<bool>>("echo", false)));
    EXPECT_FALSE(system.RegisterFunction(nullptr));
    Lines names;
    for (const auto& function : system.functions) {
        names.push_back(function->name);
    }
    EXPECT_EQ(names, (Lines{"Zulu", "ech", "echo", "help", "run", "zeta"}));
    EXPECT_EQ(capture.Run("@echo \"still the built-in\""), Lines{"still the built-in"});
    EXPECT_TRUE(system.UnregisterFunction("zeta"));
    EXPECT_FALSE(system.UnregisterFunction("zeta"));
}

TEST(ConsoleSystem, ExecutesEchoesAndReportsUnknownWords) {
    ConsoleCapture capture;
    // A line is echoed unless it starts with '@'; names match case and all, and only a blank ends one.
    EXPECT_EQ(capture.Run("  echo  \"two\" "), (Lines{"  echo  \"two\" ", "two"}));
    EXPECT_EQ(capture.Run("Help"), (Lines{"Help", "Help" + NotValid}));
    EXPECT_EQ(capture.Run("@echo=\"x\""), Lines{"echo=\"x\"" + NotValid});
    EXPECT_EQ(capture.Run("@"), Lines{NotValid});

    // Comments and blank lines are neither run nor remembered.
    capture.System().history.clear();
    for (const char* nothing : {"", "    ", "   # echo \"no\""}) {
        EXPECT_EQ(capture.Run(nothing), Lines{}) << nothing;
    }
    EXPECT_TRUE(capture.System().history.empty());
}

TEST(ConsoleSystem, HistoryKeepsTheNewestSixteenLinesWithTheirPrefix) {
    ConsoleCapture capture;
    auto& system = capture.System();
    system.history.clear();
    system.Execute("@echo off");
    for (int i = 1; i <= 15; ++i) {
        system.Execute("unknown" + std::to_string(i));
    }
    std::string line;
    ASSERT_TRUE(system.GetHistoryLine(15, line));
    EXPECT_EQ(line, "@echo off");
    system.Execute("unknown16");
    ASSERT_TRUE(system.GetHistoryLine(0, line));
    EXPECT_EQ(line, "unknown16");
    ASSERT_TRUE(system.GetHistoryLine(15, line));
    EXPECT_EQ(line, "unknown1");
    EXPECT_FALSE(system.GetHistoryLine(16, line));
}

TEST(ConsoleVariables, BoolTakesItsWordsAndRejectsTheRest) {
    ConsoleCapture capture;
    auto* windowed = Ref::New<Console::Variable<bool>>("g_windowed", false);
    capture.System().RegisterFunction(windowed);
    const std::pair<const char*, bool> steps[] = {
        {"on", true},     {"off", false}, {"not", true}, {"!", false},
        {"= true", true}, {"= 0", false}, {"= 1", true}, {"= false", false},
    };
    for (const auto& [arguments, expected] : steps) {
        capture.System().Execute(std::string("@g_windowed ") + arguments);
        EXPECT_EQ(windowed->value, expected) << arguments;
    }
    EXPECT_EQ(capture.Run("@g_windowed"), Lines{"g_windowed is off"});
    for (const char* bad : {"@g_windowed ON", "@g_windowed =", "@g_windowed = yes", "@g_windowed =1"}) {
        EXPECT_EQ(capture.Run(bad), (Lines{"usage: g_windowed [=|on|off|{not|!}] <{true|1}|{false|0}>",
                                           "       g_windowed is off"}))
            << bad;
    }
}

// A value that is no whole decimal number, or a result out of range, shows the usage and changes nothing.
TEST(ConsoleVariables, UnsignedTakesWholeNumbersAndRefusesResultsOutOfRange) {
    ConsoleCapture capture;
    auto* width = Ref::New<Console::Variable<unsigned int>>("g_width", 640);
    capture.System().RegisterFunction(width);
    // The start value again where the usage is expected (every accepted case changes it).
    const struct {
        unsigned int start;
        const char* arguments;
        unsigned int result;
    } cases[] = {
        // clang-format off
        {640, "= 800", 800}, {640, "+= 24", 664}, {640, "-= 640", 0}, {640, "*= 2", 1280}, {640, "/= 3", 213},
        {7, "= 4294967295", 4294967295u}, {4294967294u, "+= 1", 4294967295u},
        {640, "= -1000", 640}, {640, "-= 1000", 640}, {2, "*= 4294967295", 2}, {1, "+= 4294967295", 1},
        {640, "= 4294967296", 640}, {640, "= 99999999999", 640}, {640, "= 1e9", 640}, {640, "= 0x10", 640},
        {640, "= 12abc", 640}, {640, "= +5", 640}, {640, "/= 0", 640}, {640, "+=", 640}, {640, "%= 2", 640},
        // clang-format on
    };
    for (const auto& c : cases) {
        width->value = c.start;
        const Lines printed = capture.Run(std::string("@g_width ") + c.arguments);
        EXPECT_EQ(width->value, c.result) << c.arguments;
        if (c.result == c.start) {
            EXPECT_EQ(printed, (Lines{"usage: g_width [=|+=|-=|*=|/=] [numeric value]",
                                      "       g_width is " + std::to_string(c.start)}))
                << c.arguments;
        } else {
            EXPECT_EQ(printed, Lines{}) << c.arguments;
        }
    }
    EXPECT_EQ(capture.Run("@g_width"), Lines{"g_width is 640"});
}

// A variable with a range refuses every change that would leave it, whatever the operator, and its
// usage says the range.
TEST(ConsoleVariables, RangedRefusesValuesOutsideItsRange) {
    ConsoleCapture capture;
    auto* slot = Ref::New<Console::Variable<unsigned int>>("state_slot", 0, 2, 9);
    capture.System().RegisterFunction(slot);
    const struct {
        unsigned int start;
        const char* arguments;
        unsigned int result;
    } cases[] = {
        {5, "= 9", 9}, {5, "= 2", 2},  {5, "+= 4", 9}, {5, "-= 3", 2}, {3, "*= 3", 9}, {5, "= 10", 5},
        {5, "= 1", 5}, {9, "+= 1", 9}, {2, "-= 1", 2}, {5, "*= 2", 5}, {5, "/= 3", 5},
    };
    for (const auto& c : cases) {
        slot->value = c.start;
        const Lines printed = capture.Run(std::string("@state_slot ") + c.arguments);
        EXPECT_EQ(slot->value, c.result) << c.arguments;
        EXPECT_EQ(printed, c.result == c.start ? (Lines{"usage: state_slot [=|+=|-=|*=|/=] [numeric value]",
                                                        "       state_slot goes from 2 to 9",
                                                        "       state_slot is " + std::to_string(c.start)})
                                               : Lines{})
            << c.arguments;
    }
}

} // namespace
} // namespace Halvo
