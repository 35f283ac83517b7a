#pragma once

namespace Halvo::Nes {

class MmcManager;

// Registers one factory of each supported board family with the registry: NROM, MMC1, UNROM, CNROM,
// MMC3, AOROM, MMC2 and GNROM, in that order. The registry asks them in the order of their names.
// False when any of them was already registered (that one is kept).
bool RegisterBoards(MmcManager& manager);

} // namespace Halvo::Nes
