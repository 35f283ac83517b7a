#pragma once

#include <list>

#include "ref/Object.h"

namespace Halvo::Nes {

class Mmc;
class MmcFactory;
class Process;

// The registry of board families. It lives from its first use until the last reference is released.
class MmcManager : public Ref::Object {
public:
    // The single registry, made on first use; hold it in a Ref::Ptr while you use it.
    static MmcManager* Instance();

    ~MmcManager() override;
    MmcManager(const MmcManager&) = delete;
    MmcManager& operator=(const MmcManager&) = delete;

    // Inserts the factory in byte order of its name; false for null or a name already registered.
    bool RegisterFactory(const Ref::Ptr<MmcFactory>& factory);
    // The board of the process's image, made by the first factory that accepts its board name; null
    // (and a report) when no factory does.
    Ref::Ptr<Mmc> CreateMmc(Process* process);

    const std::list<Ref::Ptr<MmcFactory>>& Factories() const { return factories; }

private:
    MmcManager() = default;
    template <class T, class... Args>
    friend T* Ref::New(Args&&... args);

    std::list<Ref::Ptr<MmcFactory>> factories;

    static inline MmcManager* instance = nullptr;
};

} // namespace Halvo::Nes
