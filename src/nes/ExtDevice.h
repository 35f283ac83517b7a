#pragma once

#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Nes {

// A device plugged into a controller port.
class ExtDevice : public Ref::Object {
public:
    // The level (0 or 1) of data line 0-4 when the CPU reads the port's register (port 0 for $4016,
    // 1 for $4017).
    virtual std::uint8_t Read(std::uint32_t port, std::uint32_t line) = 0;
    // The three output lines the CPU wrote to $4016 (value AND 7).
    virtual void Write(std::uint8_t value) = 0;
};

} // namespace Halvo::Nes
