#include "console/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Halvo::Console {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) {
            close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    const int fd;
};

} // namespace

FileRefusal ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& contents,
                            std::string& reason) {
    contents.clear();
    const auto refuse = [&](FileRefusal refusal, std::string why) {
        contents.clear();
        reason = std::move(why);
        return refusal;
    };
    // O_NONBLOCK: opening a FIFO that no one writes to returns at once instead of waiting for a writer.
    const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0) {
        if (errno == ENOENT) {
            return refuse(FileRefusal::Missing, "there is no such file");
        }
        return refuse(FileRefusal::Failed, std::strerror(errno));
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0) {
        return refuse(FileRefusal::Failed, std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return refuse(FileRefusal::Directory, "it is a directory");
    }
    if (!S_ISREG(status.st_mode)) {
        return refuse(FileRefusal::NotAFile, "it is not a file");
    }
    const auto tooLarge = [&] {
        return refuse(FileRefusal::TooLarge, "it is larger than " + std::to_string(maxBytes) + " bytes");
    };
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
        return tooLarge();
    }
    contents.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    // A file that grows while it is read is read up to the limit, and one byte more to notice it.
    for (;;) {
        if (done == contents.size()) {
            if (contents.size() > maxBytes) {
                return tooLarge();
            }
            contents.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(maxBytes + 1, std::uint64_t{contents.size()} + 65536)));
        }
        const ssize_t got = read(file.fd, contents.data() + done, contents.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return refuse(FileRefusal::Unreadable, "it could not be read");
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    contents.resize(done);
    reason.clear();
    return FileRefusal::None;
}

} // namespace Halvo::Console
