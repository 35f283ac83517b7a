#include "shell/RecentGames.h"

#include <gtest/gtest.h>

#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// The ten newest games, a game loaded again moving to the top, survive to the next start; "recent N"
// loads the Nth of the list, and a number beyond it says how many there are.
TEST(RecentGames, KeepsTheTenNewestAndLoadsByNumber) {
    TestSupport::TempDir dir;
    TestSupport::ConsoleCapture capture;
    const std::filesystem::path file = dir.Path("data/recent");
    std::vector<std::string> loaded;
    const auto load = [&loaded](const std::string& game) {
        loaded.push_back(game);
        return true;
    };
    {
        RecentGames recent(file, load);
        for (int i = 0; i < 12; ++i) {
            recent.Add("/games/" + std::to_string(i) + ".nes");
        }
        recent.Add("/games/5.nes");
    }
    RecentGames recent(file, load);
    ASSERT_EQ(recent.games.size(), RecentGames::Kept);
    EXPECT_EQ(recent.games[0], "/games/5.nes");
    EXPECT_EQ(recent.games[1], "/games/11.nes");
    EXPECT_EQ(recent.games[9], "/games/2.nes"); // 5 moved up: 4, 3, 2 remain
    EXPECT_EQ(recent.Lines()[1], "2. 11.nes  (/games/11.nes)");

    capture.System().RegisterFunction(Ref::Ptr<Console::Function>(&recent));
    EXPECT_EQ(capture.Run("@recent").size(), RecentGames::Kept);
    capture.Run("@recent 2");
    EXPECT_EQ(loaded, Lines{"/games/11.nes"});
    EXPECT_EQ(capture.Run("@recent 11"), Lines{"recent 11: there are 10 recent games."});
    capture.System().UnregisterFunction("recent");
}

} // namespace
} // namespace Halvo
