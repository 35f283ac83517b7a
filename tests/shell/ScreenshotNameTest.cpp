#include "shell/ScreenshotName.h"

#include <set>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

TEST(ScreenshotName, TakesTheFirstFreeNumberAndNeverAnUsedOne) {
    const struct {
        std::set<std::string> taken;
        const char* expected;
    } cases[] = {
        {{}, "halvo-0000.png"},
        {{"halvo-0000.png", "halvo-0001.png"}, "halvo-0002.png"},
        {{"halvo-0000.png", "halvo-0002.png"}, "halvo-0001.png"},
        {{"halvo-0000.png", "shot.png", "halvo-0000.PNG"}, "halvo-0001.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstFreeScreenshotName([&](const std::string& name) { return c.taken.count(name) > 0; }),
                  c.expected)
            << c.taken.size();
    }
    EXPECT_EQ(FirstFreeScreenshotName([](const std::string&) { return true; }), "");

    // In the current folder a folder or a dangling link holds a name as much as a file does.
    TestSupport::TempDir dir;
    TestSupport::CurrentDir here(dir.Path());
    dir.Write("halvo-0000.png", "picture");
    std::filesystem::create_directory(dir.Path("halvo-0001.png"));
    std::filesystem::create_symlink(dir.Path("nowhere"), dir.Path("halvo-0002.png"));
    EXPECT_EQ(FirstFreeScreenshotName(), "halvo-0003.png");
    std::filesystem::create_directory(dir.Path("pictures"));
    dir.Write("pictures/halvo-0000.png", "picture");
    EXPECT_EQ(FirstFreeScreenshotName(dir.Path("pictures")), dir.Path("pictures/halvo-0001.png").string());
}

// The pictures folder of user-dirs.dirs: "$HOME" stands for the home folder, the last line counts, and
// the home folder itself (the folder turned off) or a relative path names none.
TEST(PicturesFolder, ReadFromUserDirs) {
    const std::filesystem::path home = "/home/me";
    EXPECT_EQ(PicturesFolderOf(
                  "# comment\nXDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n", home),
              "/home/me/Bilder");
    EXPECT_EQ(PicturesFolderOf("XDG_PICTURES_DIR=\"/data/pics\"\nXDG_PICTURES_DIR=\"$HOME/Pics/\"", home),
              "/home/me/Pics/");
    for (const char* none :
         {"", "XDG_PICTURES_DIR=\"$HOME/\"", "XDG_PICTURES_DIR=\"$HOME\"", "XDG_PICTURES_DIR=\"pics\"",
          "#XDG_PICTURES_DIR=\"/x\"", "XDG_PICTURES_DIR=\""}) {
        EXPECT_EQ(PicturesFolderOf(none, home), "") << none;
    }
}

} // namespace
} // namespace Halvo
