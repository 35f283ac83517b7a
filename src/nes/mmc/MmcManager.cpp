#include "nes/mmc/MmcManager.h"

#include "console/ReportedCreate.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "nes/mmc/MmcFactory.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

MmcManager* MmcManager::Instance() {
    if (!instance) {
        instance = Ref::New<MmcManager>();
    }
    return instance;
}

MmcManager::~MmcManager() {
    factories.clear();
    if (instance == this) {
        instance = nullptr;
    }
}

bool MmcManager::RegisterFactory(const Ref::Ptr<MmcFactory>& factory) {
    if (!factory) {
        return false;
    }
    auto position = factories.begin();
    for (; position != factories.end(); ++position) {
        const int order = (*position)->name.compare(factory->name);
        if (order == 0) {
            return false;
        }
        if (order > 0) {
            break;
        }
    }
    factories.insert(position, factory);
    return true;
}

Ref::Ptr<Mmc> MmcManager::CreateMmc(Process* process) {
    return Console::CreateOrReport("Halvo::Nes::MmcManager::CreateMmc", __LINE__, "Could not create MMC--",
                                   "Could not create MMC--unknown exception.", [&]() -> Ref::Ptr<Mmc> {
                                       const std::string& boardName = process->romImage->boardName;
                                       Ref::Ptr<Mmc> mmc;
                                       for (const auto& factory : factories) {
                                           if (factory->Match(boardName)) {
                                               mmc = factory->Create(process);
                                               break;
                                           }
                                       }
                                       if (!mmc) {
                                           Console::ReportError("Halvo::Nes::MmcManager::CreateMmc", __LINE__)
                                               << boardName << " cartridges are not currently supported."
                                               << std::endl;
                                       }
                                       return mmc;
                                   });
}

} // namespace Halvo::Nes
