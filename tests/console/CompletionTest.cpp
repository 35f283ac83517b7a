#include "console/Completion.h"

#include <gtest/gtest.h>

#include "console/Variable.h"
#include "support/ConsoleCapture.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Lines = std::vector<std::string>;

// The first word completes from the commands and variables; after loadrom and run, the word completes
// from the files of the folder it names (folders with "/", names with a blank in quotes); other
// arguments do not complete.
TEST(Completion, CompletesNamesThenFilesAfterLoadromAndRun) {
    TestSupport::ConsoleCapture capture;
    Console::System& console = capture.System();
    console.RegisterFunction(Ref::New<Console::Variable<unsigned int>>("g_width", 640));
    console.RegisterFunction(Ref::New<Console::Variable<unsigned int>>("g_height", 480));
    EXPECT_EQ(Console::Complete(console, "g_").candidates, (Lines{"g_height", "g_width"}));
    EXPECT_EQ(Console::Complete(console, "g_").line, "g_");
    EXPECT_EQ(Console::Complete(console, "g_w").line, "g_width ");
    EXPECT_EQ(Console::Complete(console, "@ec").line, "@echo ");
    EXPECT_EQ(Console::Complete(console, "zz").line, "zz");

    TestSupport::TempDir dir;
    dir.Write("mario.nes", "");
    dir.Write("metroid.nes", "");
    dir.Write("my game.nes", "");
    dir.Write(".hidden.nes", "");
    std::filesystem::create_directory(dir.Path("more"));
    const std::string folder = dir.Path().string() + "/";
    EXPECT_EQ(Console::Complete(console, "loadrom " + folder + "m").candidates,
              (Lines{"mario.nes", "metroid.nes", "more/", "my game.nes"}));
    EXPECT_EQ(Console::Complete(console, "loadrom " + folder + "me").line,
              "loadrom " + folder + "metroid.nes");
    EXPECT_EQ(Console::Complete(console, "run " + folder + "mo").line, "run " + folder + "more/");
    EXPECT_EQ(Console::Complete(console, "loadrom " + folder + "my").line,
              "loadrom \"" + folder + "my game.nes\"");
    EXPECT_EQ(Console::Complete(console, "loadrom \"" + folder + "my g").line,
              "loadrom \"" + folder + "my game.nes\"");
    EXPECT_EQ(Console::Complete(console, "loadrom " + folder + ".h").line,
              "loadrom " + folder + ".hidden.nes");
    EXPECT_EQ(Console::Complete(console, "echo " + folder + "me").line, "echo " + folder + "me");
    EXPECT_EQ(Console::Complete(console, "loadrom a b").line, "loadrom a b");
    console.UnregisterFunction("g_width");
    console.UnregisterFunction("g_height");
}

} // namespace
} // namespace Halvo
