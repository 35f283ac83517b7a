#include "shell/AtomicFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace Halvo {

bool WriteFileAtomically(const std::filesystem::path& target, const void* data, std::size_t size,
                         std::string& error) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string temporary = target.string() + ".tmp-XXXXXX";
    const int file = mkstemp(temporary.data());
    if (file < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(file, bytes + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    const bool complete = done == size && fsync(file) == 0;
    const int writeErrno = errno;
    if (close(file) != 0 || !complete) {
        error = std::strerror(complete ? errno : writeErrno);
        unlink(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace Halvo
