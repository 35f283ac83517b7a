#pragma once

#include "ref/Object.h"

namespace Halvo::Nes {

// The controller ports at $4016 and $4017 and the devices plugged into them.
class Ports : public Ref::Object {
public:
    ~Ports() override = default;
};

} // namespace Halvo::Nes
