#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace Halvo {

// Replaces `target` with `size` bytes at `data` so that a crash at any moment leaves the old file or the
// new one, never a broken one: the bytes go to a temporary file in the same folder, are flushed to the
// disk, the temporary file is renamed over the target and the folder is flushed, so that the rename
// itself survives a power cut. A symbolic link is followed: its target is replaced and the link stays.
// A target that exists and is not a regular file (a folder, a device such as /dev/full, a FIFO) is
// refused. Temporary files of this target left by a write that was killed are removed first. False with
// the reason in `error` (one phrase, such as "No space left on device"); a full disk, a file-size limit
// or a read-only file system never ends the program.
bool WriteFileAtomically(const std::filesystem::path& target, const void* data, std::size_t size,
                         std::string& error);

} // namespace Halvo
