#include "shell/AtomicFile.h"

#include <chrono>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

namespace fs = std::filesystem;

bool Write(const fs::path& target, const std::string& text, std::string& error) {
    return WriteFileAtomically(target, text.data(), text.size(), error);
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A link is followed, so the file it names gets the new text and the link stays a link; what is no
// regular file is never replaced; temporary files that a killed write left are cleaned up.
TEST(AtomicFile, FollowsLinksRefusesSpecialFilesAndCleansUpAfterKilledWrites) {
    TestSupport::TempDir dir;
    fs::create_directory(dir.Path("real"));
    const fs::path config = dir.Write("real/config.cfg", "old");
    fs::create_symlink("real/config.cfg", dir.Path("config.cfg"));
    std::string error;
    ASSERT_TRUE(Write(dir.Path("config.cfg"), "new", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.Path("config.cfg")));
    EXPECT_EQ(TestSupport::ReadFile(config), "new");
    // A link to a file not yet made makes that file.
    fs::create_symlink("real/later.sav", dir.Path("later.sav"));
    ASSERT_TRUE(Write(dir.Path("later.sav"), "made", error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.Path("later.sav")));
    EXPECT_EQ(TestSupport::ReadFile(dir.Path("real/later.sav")), "made");

    const fs::path fifo = dir.Path("fifo.state");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Write(fifo, "x", error));
    EXPECT_EQ(error, "it is not a regular file");
    EXPECT_FALSE(Write(dir.Path("real"), "x", error));
    EXPECT_EQ(error, "it is a directory");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_directory(dir.Path("real")));

    // One left by a write killed long ago goes; one of a write that may still be going on stays.
    const fs::path stale = dir.Write("real/config.cfg.tmp-a1B2c3", "half");
    const fs::path fresh = dir.Write("real/config.cfg.tmp-x9Y8z7", "half");
    const fs::path other = dir.Write("real/notes.txt.tmp-a1B2c3", "not ours");
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));
    fs::last_write_time(other, fs::file_time_type::clock::now() - std::chrono::hours(1));
    ASSERT_TRUE(Write(dir.Path("config.cfg"), "newer", error)) << error;
    EXPECT_EQ(Names(dir.Path("real")), (std::vector<std::string>{"config.cfg", "config.cfg.tmp-x9Y8z7",
                                                                 "later.sav", "notes.txt.tmp-a1B2c3"}));
}

// Past a file-size limit (ulimit -f) the write fails with a reason instead of the program being killed
// by SIGXFSZ, and the old file and no temporary file are left.
TEST(AtomicFile, AFileSizeLimitIsAFailureNotTheEnd) {
    TestSupport::TempDir dir;
    const fs::path target = dir.Write("game.state", "old");
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string error;
    const bool written = Write(target, std::string(10000, 'x'), error);
    setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(TestSupport::ReadFile(target), "old");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"game.state"});
}

} // namespace
} // namespace Halvo
