#pragma once

#include <string>

#include "ref/Object.h"

namespace Halvo::Nes {

class Mmc;
class Process;

// Makes the boards of one family. The registry asks its factories in order of their names which one
// accepts a cartridge's board name.
class MmcFactory : public Ref::Object {
public:
    explicit MmcFactory(std::string name) : name(std::move(name)) {}

    virtual bool Match(const std::string& boardName) = 0;
    virtual Ref::Ptr<Mmc> Create(Process* process) = 0;

    std::string name;
};

} // namespace Halvo::Nes
