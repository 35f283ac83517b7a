#include <fstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "console/System.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using TestSupport::ConsoleCapture;
using Lines = std::vector<std::string>;

TEST(ConsoleOutput, FlushedLinesBecomeConsoleLinesAndReachTheLog) {
    ConsoleCapture capture;
    TestSupport::TempDir dir;
    const auto log = dir.Path("halvo.log");
    capture.System().SetLogFile(log.string());
    const std::string longLine(300, 'x'); // more than the buffer holds at first
    capture.System().Output() << "first\n" << longLine << '\n';
    EXPECT_TRUE(capture.Lines().empty());
    // Text after the last line end reaches the log but makes no console line.
    capture.System().Output() << "partial" << std::flush;
    EXPECT_EQ(capture.Lines(), (Lines{"first", longLine}));
    EXPECT_EQ(capture.LastLine(), longLine);
    // The log is unbuffered: the text is on disk before the log is closed, after the session's start line.
    const std::string text = TestSupport::ReadFile(log);
    EXPECT_EQ(text.substr(text.find('\n') + 1), "first\n" + longLine + "\npartial");
    capture.System().CloseLogFile();
    // The console keeps the newest 196 lines.
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
    // Every line finished by the flush that ends a report carries the mark.
    Console::ReportError("Op", 7) << "two\nlines" << std::endl;
    capture.System().Output() << "plain again" << std::endl;
    const std::string report = "[Halvo::Nes::INesIOStrategy::LoadImage][42] Error: Invalid iNES header.";
    EXPECT_EQ(capture.Lines(), (Lines{"plain", report, "[Op][7] Error: two", "lines", "plain again"}));
    EXPECT_EQ(capture.ErrorLines(), (Lines{report, "[Op][7] Error: two", "lines"}));
}

TEST(ConsoleLog, IsDeletedWhenNothingWasWrittenAndKeptOtherwise) {
    TestSupport::TempDir dir;
    const auto empty = dir.Path("empty.log");
    const auto used = dir.Path("used.log");
    {
        ConsoleCapture capture;
        capture.System().SetLogFile(empty.string());
        EXPECT_TRUE(std::filesystem::exists(empty));
        capture.System().SetLogFile(used.string()); // closes the first one, which is empty
        EXPECT_FALSE(std::filesystem::exists(empty));
        capture.System().Output() << "kept" << std::endl;
        // A log that cannot be opened leaves the text on the console only.
        capture.System().SetLogFile(dir.Path("no/such/folder.log").string());
        EXPECT_TRUE(capture.System().logFileName.empty());
        capture.System().Output() << "console only" << std::endl;
        EXPECT_EQ(capture.LastLine(), "console only");
    }
    const std::string text = TestSupport::ReadFile(used);
    EXPECT_EQ(text.substr(text.find('\n') + 1), "kept\n");
}

// Each session appends to the log after a start line of its own, so that a second Halvo started in the
// same folder neither truncates the first one's lines nor leaves a hole of zero bytes in them.
TEST(ConsoleLog, AppendsEachSessionAfterItsStartLine) {
    TestSupport::TempDir dir;
    const auto log = dir.Write("halvo.log", "an earlier session\n");
    ConsoleCapture capture;
    capture.System().SetLogFile(log.string());
    capture.System().Output() << "mine" << std::endl;
    // Another instance writing at the end in the meantime.
    std::ofstream(log, std::ios::app) << "the other one's line\n";
    capture.System().Output() << "mine again" << std::endl;
    capture.System().CloseLogFile();
    const std::string text = TestSupport::ReadFile(log);
    const std::string start = "-- Halvo " HALVO_VERSION " started ";
    EXPECT_TRUE(text.starts_with("an earlier session\n" + start)) << text;
    EXPECT_TRUE(text.ends_with(", process " + std::to_string(getpid()) +
                               " --\nmine\nthe other one's line\nmine again\n"))
        << text;
    EXPECT_EQ(text.find('\0'), std::string::npos);
    // A session that writes nothing leaves a log that held lines as it was, but for its start line.
    capture.System().SetLogFile(log.string());
    capture.System().CloseLogFile();
    EXPECT_TRUE(TestSupport::ReadFile(log).starts_with(text + start));
}

} // namespace
} // namespace Halvo
