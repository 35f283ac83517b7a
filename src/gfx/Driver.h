#pragma once

#include <string>

#include "ref/Object.h"

namespace Halvo::Gfx {

// The abstract graphics driver. Its operations are added with the graphics interface.
class Driver : public Ref::Object {
public:
    explicit Driver(std::string name) : name(std::move(name)) {}

    std::string name;
};

} // namespace Halvo::Gfx
