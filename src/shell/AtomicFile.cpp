#include "shell/AtomicFile.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Halvo {

namespace {

constexpr const char* TemporaryMark = ".tmp-";
// mkstemp's six characters.
constexpr std::size_t TemporaryTail = 6;
// A write takes milliseconds; a temporary file this old was left by one that was killed.
constexpr auto StaleAfter = std::chrono::minutes(1);
// Links that lead to links: as many as the kernel follows.
constexpr int MaxLinks = 40;

// The file a path names once its symbolic links are followed (a link to a file not yet made names
// that file); false when the links go round in a circle.
bool FollowLinks(std::filesystem::path& path, std::string& error) {
    for (int links = 0; links < MaxLinks; ++links) {
        std::error_code status;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, status))) {
            return true;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(path, status);
        if (status) {
            error = status.message();
            return false;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = std::strerror(ELOOP);
    return false;
}

// Removes the temporary files of `target` that a killed write left behind. Recent ones may belong to a
// write of another instance that is still going on, and are left alone.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string prefix = target.filename().string() + TemporaryMark;
    std::error_code error;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.size() != prefix.size() + TemporaryTail || name.compare(0, prefix.size(), prefix) != 0 ||
            !entry->is_regular_file(error)) {
            continue;
        }
        const auto written = std::filesystem::last_write_time(entry->path(), error);
        if (!error && now - written > StaleAfter) {
            std::filesystem::remove(entry->path(), error);
        }
        error.clear();
    }
}

// Makes the rename durable: the folder's entry is on the disk once this returns.
bool SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return true; // a folder that cannot be opened (write-only) cannot be synced either
    }
    const bool synced = fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    close(fd);
    return synced;
}

bool WriteAll(int file, const std::uint8_t* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = write(file, bytes + done, size - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote < 0) {
            return false;
        }
        if (wrote == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& requested, const void* data, std::size_t size,
                         std::string& error) {
    // Beyond a file-size limit (ulimit -f) a write fails with EFBIG rather than killing the program.
    static const bool sizeSignalIgnored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    static_cast<void>(sizeSignalIgnored);

    std::filesystem::path target = requested;
    if (!FollowLinks(target, error)) {
        return false;
    }
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error = S_ISDIR(existing.st_mode) ? "it is a directory" : "it is not a regular file";
        return false;
    }
    RemoveStaleTemporaries(target);

    std::string temporary = target.string() + TemporaryMark + std::string(TemporaryTail, 'X');
    const int file = mkstemp(temporary.data());
    if (file < 0) {
        error = std::strerror(errno);
        return false;
    }
    // The new file keeps the permissions of the one it replaces (a new one is the player's alone).
    const bool complete = WriteAll(file, static_cast<const std::uint8_t*>(data), size) &&
                          (!exists || fchmod(file, existing.st_mode & 07777) == 0) && fsync(file) == 0;
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
    if (!SyncFolder(target.parent_path())) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace Halvo
