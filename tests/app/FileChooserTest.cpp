#include "app/FileChooser.h"

#include <gtest/gtest.h>

namespace Halvo::App {
namespace {

TEST(FileChooserUri, LocalFileUrisBecomePaths) {
    std::string path;
    ASSERT_TRUE(FileChooser::PathOfFileUri("file:///home/me/My%20Games/%C3%A9t%c3%a9.nes", path));
    EXPECT_EQ(path, "/home/me/My Games/\xC3\xA9t\xC3\xA9.nes");
    ASSERT_TRUE(FileChooser::PathOfFileUri("file://localhost/a.nes", path));
    EXPECT_EQ(path, "/a.nes");
    for (const char* refused : {"http://host/a.nes", "file://other/a.nes", "file:///a%2", "file:///a%00b",
                                "file:///a%zzb", "file:"}) {
        EXPECT_FALSE(FileChooser::PathOfFileUri(refused, path)) << refused;
    }
}

} // namespace
} // namespace Halvo::App
