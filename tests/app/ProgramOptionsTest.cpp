#include "app/ProgramOptions.h"

#include <gtest/gtest.h>

namespace Halvo::App {
namespace {

using Action = ProgramOptions::Action;
using Words = std::vector<std::string>;

TEST(ProgramOptions, DecidesBeforeStartingAndPassesTheRestOn) {
    struct Case {
        Words arguments;
        Action action;
        Words passedOn; // what the shell gets, for runs
    };
    // clang-format off
    const Case cases[] = {
        {{}, Action::Run, {}},
        {{"--help"}, Action::Help, {}},
        {{"game.nes", "-h", "+g_windowed", "on"}, Action::Help, {}},
        {{"--version"}, Action::Version, {}},
        {{"--help", "--bogus"}, Action::Help, {}},
        {{"--bogus", "--help"}, Action::Refuse, {}},
        {{"-name.nes"}, Action::Refuse, {}},
        {{"./-name.nes", "+g_windowed", "on"}, Action::Run, {"./-name.nes", "+g_windowed", "on"}},
        {{"--", "-name.nes", "+g_width", "+=", "64"}, Action::Run, {"-name.nes", "+g_width", "+=", "64"}},
        {{"--", "--"}, Action::Run, {"--"}},
        {{"-"}, Action::Run, {"-"}},
        // Words of console lines belong to the console, however they look.
        {{"game.nes", "+echo", "--help", "+g_width", "-=", "--version"}, Action::Run,
         {"game.nes", "+echo", "--help", "+g_width", "-=", "--version"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const ProgramOptions options = ParseProgramOptions(c.arguments);
        const std::string label = c.arguments.empty() ? "(none)" : c.arguments[0] + " ...";
        EXPECT_EQ(options.action, c.action) << label;
        EXPECT_EQ(options.error.empty(), c.action != Action::Refuse) << label;
        if (c.action == Action::Run) {
            EXPECT_EQ(options.arguments, c.passedOn) << label;
        }
    }
    EXPECT_NE(ParseProgramOptions({"--frobnicate"}).error.find("--frobnicate"), std::string::npos);
    // The menu entry's mark, before a file manager's file name, is no cartridge name; after "--" it is.
    const ProgramOptions desktop = ParseProgramOptions({"--desktop", "/home/me/game.nes"});
    EXPECT_TRUE(desktop.desktop && desktop.action == Action::Run);
    EXPECT_EQ(desktop.arguments, Words{"/home/me/game.nes"});
    EXPECT_FALSE(ParseProgramOptions({"--", "--desktop"}).desktop);
}

} // namespace
} // namespace Halvo::App
