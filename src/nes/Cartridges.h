#pragma once

namespace Halvo::Nes {

class MmcManager;
class RomImageIOManager;

// Registers the ROM image formats (iNES, then UNIF) and the board families the emulator supports. The
// emulator shell and the headless runner both call it, so they always support the same cartridges.
void RegisterCartridgeSupport(RomImageIOManager& formats, MmcManager& boards);

} // namespace Halvo::Nes
