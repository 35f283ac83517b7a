#include "nes/Cartridges.h"

#include "nes/mmc/MmcManager.h"
#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"

namespace Halvo::Nes {

void RegisterCartridgeSupport(RomImageIOManager& formats, MmcManager&) {
    formats.RegisterStrategy(INesIOStrategy());
    formats.RegisterStrategy(UnifIOStrategy());
}

} // namespace Halvo::Nes
