#pragma once

#include <cstdint>
#include <string>

namespace Halvo::Console {

// Why a file was not read.
enum class FileRefusal {
    None,
    Missing,    // there is no such file
    Directory,  // a folder
    NotAFile,   // a FIFO, a device, a socket: nothing with an end that is known before reading
    TooLarge,   // more than the reader takes
    Failed,     // opening failed for another reason (permissions, for instance)
    Unreadable, // opened, but reading failed
};

// Reads the whole of a regular file of at most `maxBytes` into `contents`. Anything else is refused
// without blocking: the file is opened non-blocking and looked at before a byte is read, so a FIFO
// with no writer, /dev/zero or a terminal is turned away at once instead of hanging or reading
// forever. On a refusal `contents` is empty and `reason` is a phrase such as "it is not a file".
FileRefusal ReadRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& contents,
                            std::string& reason);

} // namespace Halvo::Console
