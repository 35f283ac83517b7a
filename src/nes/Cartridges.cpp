#include "nes/Cartridges.h"

#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/FdsIOStrategy.h"
#include "nes/rom/INesIOStrategy.h"
#include "nes/rom/NsfIOStrategy.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/rom/UnifIOStrategy.h"

namespace Halvo::Nes {

void RegisterCartridgeSupport(RomImageIOManager& formats, MmcManager& boards) {
    formats.RegisterStrategy(INesIOStrategy());
    formats.RegisterStrategy(UnifIOStrategy());
    formats.RegisterStrategy(NsfIOStrategy());
    formats.RegisterStrategy(FdsIOStrategy());
    RegisterBoards(boards);
}

} // namespace Halvo::Nes
