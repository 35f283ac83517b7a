#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <optional>

namespace Halvo::Nes {

// Reading blocks whose sizes come from the file itself. A size field can claim far more than the
// file holds, so no block is allocated before the stream has shown that it can deliver it.

// The bytes left between the read position and the end, or nothing when the stream cannot tell
// (it cannot seek). The read position and the stream's state are left as they were.
std::optional<std::uint64_t> RemainingBytes(std::istream& in);

// Reads exactly `size` bytes into a new array. On a short stream returns null and leaves the stream at
// its end in the failed state, as a read that ran out would. A stream that cannot tell its size is read
// in bounded pieces, so memory only ever follows the bytes it really delivered.
std::unique_ptr<std::uint8_t[]> ReadBlock(std::istream& in, std::size_t size);

// Moves the read position by `distance` bytes from where it is; false when the stream cannot.
// Forward moves read through the bytes, so they work on streams that cannot seek and stop at the end.
bool MoveReadPosition(std::istream& in, std::int64_t distance);

} // namespace Halvo::Nes
