#pragma once

#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Nes {

class StateIo;

// A device plugged into a controller port.
class ExtDevice : public Ref::Object {
public:
    // The level (0 or 1) of data line 0-4 when the CPU reads the port's register (port 0 for $4016,
    // 1 for $4017).
    virtual std::uint8_t Read(std::uint32_t port, std::uint32_t line) = 0;
    // The three output lines the CPU wrote to $4016 (value AND 7).
    virtual void Write(std::uint8_t value) = 0;
    // Saves or loads what the device keeps between reads (a shift register, a latch).
    virtual void State(StateIo&) {}

    // The data lines the device drives, bit n for line n: the ports ask only these, as a line no device
    // drives reads as 0. Games poll the controllers in tight loops, so a joypad is asked for line 0 alone.
    std::uint8_t drivenLines = 0x1F;
};

} // namespace Halvo::Nes
