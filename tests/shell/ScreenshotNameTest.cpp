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
}

} // namespace
} // namespace Halvo
