#include "nes/mmc/Boards.h"

#include "nes/mmc/AORom.h"
#include "nes/mmc/CNRom.h"
#include "nes/mmc/GNRom.h"
#include "nes/mmc/Mmc1.h"
#include "nes/mmc/Mmc2.h"
#include "nes/mmc/Mmc3.h"
#include "nes/mmc/MmcManager.h"
#include "nes/mmc/NRom.h"
#include "nes/mmc/UNRom.h"

namespace Halvo::Nes {

namespace {

template <class Factory>
bool Register(MmcManager& manager) {
    return manager.RegisterFactory(Ref::Ptr<MmcFactory>(Ref::New<Factory>()));
}

} // namespace

bool RegisterBoards(MmcManager& manager) {
    bool all = Register<NRomFactory>(manager);
    all &= Register<Mmc1Factory>(manager);
    all &= Register<UNRomFactory>(manager);
    all &= Register<CNRomFactory>(manager);
    all &= Register<Mmc3Factory>(manager);
    all &= Register<AORomFactory>(manager);
    all &= Register<Mmc2Factory>(manager);
    all &= Register<GNRomFactory>(manager);
    return all;
}

} // namespace Halvo::Nes
