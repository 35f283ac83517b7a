#pragma once

#include <cstdint>

#include "nes/mmc/Mmc.h"

namespace Halvo::Nes {

// The 8 KiB PRG page `back` pages before the end of the image (1 = the last page). An image smaller
// than the window a board fixes at its top (a 16 KiB image on a board with its last 24 KiB fixed)
// wraps into itself, as the smaller ROM chip does on the cartridge when the upper address lines are
// not connected.
inline std::uint32_t PrgPageFromEnd(const Mmc& board, std::uint32_t back) {
    const std::uint32_t count = board.prgPageCount;
    return count == 0 ? 0 : (count - back % count) % count;
}

} // namespace Halvo::Nes
