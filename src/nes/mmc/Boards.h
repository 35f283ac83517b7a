#pragma once

namespace Halvo::Nes {

class MmcManager;

// Registers one factory for each supported board family: NROM, MMC1, UNROM, CNROM, MMC3, AOROM, MMC2,
// GNROM, Konami's VRC2/VRC4, Sunsoft's FME-7 and MMC5. A family accepts a board name that holds one of its
// board names where a name begins, so "NES-UNROM" is UNROM, not NROM. False when any of them was already
// registered (that one is kept).
bool RegisterBoards(MmcManager& manager);

} // namespace Halvo::Nes
