#include "shell/ConsoleHistory.h"

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

// What was typed comes back at the next start, newest first, no more than the console keeps; a start
// without the file has an empty history, and the folder is made when missing.
TEST(ConsoleHistory, TypedLinesComeBackAtTheNextStart) {
    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture capture;
    Console::System& console = capture.System();
    console.history.clear();
    const std::filesystem::path file = dir.Path("data/halvo/history");
    ConsoleHistory::Load(console, file);
    EXPECT_TRUE(console.history.empty());
    for (std::uint32_t i = 0; i < console.maxHistory + 3; ++i) {
        console.Execute("@echo \"" + std::to_string(i) + "\"");
    }
    std::string error;
    ASSERT_TRUE(ConsoleHistory::Save(console, file, error)) << error;
    const std::deque<std::string> typed = console.history;
    console.history.clear();
    ConsoleHistory::Load(console, file);
    EXPECT_EQ(console.history, typed);
    EXPECT_EQ(console.history.front(), "@echo \"" + std::to_string(console.maxHistory + 2) + "\"");
    EXPECT_EQ(console.history.size(), console.maxHistory);
}

} // namespace
} // namespace Halvo
