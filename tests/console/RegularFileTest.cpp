#include "console/RegularFile.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace Halvo {
namespace {

using Console::FileRefusal;

// Only a regular file within the size given is read; anything else is refused at once with a phrase
// that says why, and nothing of it is kept.
TEST(RegularFile, ReadsRegularFilesAndRefusesEverythingElseAtOnce) {
    TestSupport::TempDir dir;
    const std::string fifo = dir.Path("fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        std::uint64_t limit;
        FileRefusal refusal;
        std::string reason;
    } cases[] = {
        {dir.Write("five", "12345").string(), 5, FileRefusal::None, ""},
        {dir.Write("empty", "").string(), 0, FileRefusal::None, ""},
        {dir.Path("five").string(), 4, FileRefusal::TooLarge, "it is larger than 4 bytes"},
        {dir.Path("missing").string(), 100, FileRefusal::Missing, "there is no such file"},
        {dir.Path().string(), 100, FileRefusal::Directory, "it is a directory"},
        {"/dev/zero", 100, FileRefusal::NotAFile, "it is not a file"},
        {fifo, 100, FileRefusal::NotAFile, "it is not a file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string contents = "left over";
        std::string reason = "left over";
        // A FIFO that nobody writes to would hold a blocking open for ever: it is given a writer after
        // a while, so that a failing test still ends.
        auto read = std::async(std::launch::async,
                               [&] { return Console::ReadRegularFile(c.path, c.limit, contents, reason); });
        const bool prompt = read.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (!prompt) {
            close(open(fifo.c_str(), O_WRONLY));
        }
        EXPECT_TRUE(prompt) << "the read waited for a writer";
        EXPECT_EQ(read.get(), c.refusal);
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(contents, c.refusal == FileRefusal::None ? TestSupport::ReadFile(c.path) : "");
    }
}

} // namespace
} // namespace Halvo
