#include <gtest/gtest.h>

#include "console/System.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

TEST(ConsoleOutput, OnlyFlushedLinesBecomeConsoleLines) {
    ConsoleCapture capture;
    auto& out = capture.System().Output();
    out << "first\nsecond\n";
    EXPECT_TRUE(capture.Lines().empty());
    out.flush();
    EXPECT_EQ(capture.Lines(), (Lines{"first", "second"}));
    EXPECT_EQ(capture.System().lines.front().text, "second");

    capture.Clear();
    out << "no line end" << std::flush;
    EXPECT_TRUE(capture.Lines().empty());
    out << "next" << std::endl;
    EXPECT_EQ(capture.Lines(), (Lines{"next"}));
}

TEST(ConsoleOutput, LongLinesGrowTheBufferAndReachTheLog) {
    ConsoleCapture capture;
    TestSupport::TempDir dir;
    const auto log = dir.Path("halvo.log");
    capture.System().SetLogFile(log.string());
    const std::string longLine(300, 'x');
    capture.System().Output() << longLine << std::endl;
    capture.System().Output() << std::string(1000, 'y') << '\n' << std::flush;
    EXPECT_EQ(capture.Lines(), (Lines{longLine, std::string(1000, 'y')}));
    EXPECT_EQ(TestSupport::ReadFile(log), longLine + "\n" + std::string(1000, 'y') + "\n");
    capture.System().CloseLogFile();
}

TEST(ConsoleOutput, KeepsTheNewest196Lines) {
    ConsoleCapture capture;
    for (int i = 1; i <= 197; ++i) {
        capture.System().Output() << i << std::endl;
    }
    const Lines lines = capture.Lines();
    ASSERT_EQ(lines.size(), 196u);
    EXPECT_EQ(lines.front(), "2");
    EXPECT_EQ(lines.back(), "197");
}

TEST(ConsoleOutput, ErrorReportsCarryOperationLineAndMark) {
    ConsoleCapture capture;
    capture.System().Output() << "plain" << std::endl;
    Console::ReportError("Halvo::Nes::INesIOStrategy::LoadImage", 42) << "Invalid iNES header." << std::endl;
    capture.System().Output() << "plain again" << std::endl;
    EXPECT_EQ(capture.Lines(),
              (Lines{"plain", "[Halvo::Nes::INesIOStrategy::LoadImage][42] Error: Invalid iNES header.",
                     "plain again"}));
    EXPECT_EQ(capture.ErrorLines(),
              (Lines{"[Halvo::Nes::INesIOStrategy::LoadImage][42] Error: Invalid iNES header."}));

    // Every line finished by the flush that ends a report carries the mark.
    capture.Clear();
    Console::ReportError("Op", 7) << "two\nlines" << std::endl;
    EXPECT_EQ(capture.ErrorLines(), (Lines{"[Op][7] Error: two", "lines"}));
}

TEST(ConsoleLog, IsDeletedWhenNothingWasWrittenAndKeptOtherwise) {
    TestSupport::TempDir dir;
    const auto empty = dir.Path("empty.log");
    const auto used = dir.Path("used.log");
    {
        Ref::Ptr<Console::System> console(Console::System::Instance());
        console->SetLogFile(empty.string());
        EXPECT_EQ(console->logFileName, empty.string());
        EXPECT_TRUE(std::filesystem::exists(empty));
        // Opening another log closes the first one, which is empty.
        console->SetLogFile(used.string());
        EXPECT_FALSE(std::filesystem::exists(empty));
        console->Output() << "kept" << std::endl;
        console->Output() << "partial" << std::flush;
        // The log is unbuffered: the text is on disk before the log is closed.
        EXPECT_EQ(TestSupport::ReadFile(used), "kept\npartial");
    }
    EXPECT_EQ(TestSupport::ReadFile(used), "kept\npartial");

    Ref::Ptr<Console::System> console(Console::System::Instance());
    console->SetLogFile(dir.Path("no/such/folder.log").string());
    EXPECT_EQ(console->logFile, nullptr);
    EXPECT_TRUE(console->logFileName.empty());
    console->Output() << "still on the console" << std::endl;
    EXPECT_EQ(console->lines.front().text, "still on the console");
}

} // namespace
} // namespace Halvo
