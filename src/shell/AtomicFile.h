#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace Halvo {

// Replaces `target` with `size` bytes at `data` so that a crash at any moment leaves the old file or the
// new one, never a broken one: the bytes go to a temporary file in the same folder, are flushed to the
// disk, and the temporary file is renamed over the target. False with the reason in `error`.
bool WriteFileAtomically(const std::filesystem::path& target, const void* data, std::size_t size,
                         std::string& error);

} // namespace Halvo
