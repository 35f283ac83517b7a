#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace Halvo {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, TakesTheRomAsGivenAndEachPlusGroupAsOneConsoleLine) {
    const struct {
        Words arguments;
        const char* romFile;
        Words consoleLines;
        std::size_t problems;
    } cases[] = {
        {{}, "", {}, 0},
        {{"game.nes", "+g_windowed", "on", "+g_width", "=", "1024"},
         "game.nes",
         {"g_windowed on", "g_width = 1024"},
         0},
        // A cartridge's name is a file name, whatever its characters.
        {{"\"lead.nes", "+echo", "\"x\""}, "\"lead.nes", {"echo \"x\""}, 0},
        {{"line\nend \"and\" blank.nes"}, "line\nend \"and\" blank.nes", {}, 0},
        {{"my game.nes", "+run", "settings.cfg"}, "my game.nes", {"run settings.cfg"}, 0},
        // "+=" is an operator inside a line, not the start of one.
        {{"+g_width", "+=", "64", "+g_height", "-=", "8"}, "", {"g_width += 64", "g_height -= 8"}, 0},
        // Words with blanks (or none at all) are quoted again, so the console reads the same words.
        {{"+echo", "no game today"}, "", {"echo \"no game today\""}, 0},
        {{"+loadrom", "tab\there.nes", "+echo", ""}, "", {"loadrom \"tab\there.nes\"", "echo \"\""}, 0},
        // The rest of a "+" argument begins the line as it is.
        {{"+g_width = 800", "+", "+@echo", "off"}, "", {"g_width = 800", "", "@echo off"}, 0},
        // Words no console line can hold leave their line out, and only it.
        {{"+echo", "a \"b\"", "+g_windowed", "on"}, "", {"g_windowed on"}, 1},
        {{"+echo", "two\nlines", "+reset"}, "", {"reset"}, 1},
        {{"+echo\n", "+reset"}, "", {"reset"}, 1},
        {{"game.nes", "stray", "words", "+reset"}, "game.nes", {"reset"}, 2},
    };
    for (const auto& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.arguments);
        const std::string label = testing::PrintToString(c.arguments);
        EXPECT_EQ(parsed.romFile, c.romFile) << label;
        EXPECT_EQ(parsed.consoleLines, c.consoleLines) << label;
        EXPECT_EQ(parsed.problems.size(), c.problems) << label << testing::PrintToString(parsed.problems);
    }
}

} // namespace
} // namespace Halvo
