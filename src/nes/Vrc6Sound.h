#pragma once

#include <array>
#include <cstdint>

#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The VRC6's sound: two pulse channels with 16-step sequences and 8 duty settings (1/16 to 8/16, or a
// constant level in digital mode), and a sawtooth made by an accumulator that adds its rate every
// second step of 14 and restarts at the 14th. Each channel steps every period + 1 processor cycles
// (12-bit periods; $9003 can shift them right by 4 or 8 bits, or halt every channel). The outputs (4,
// 4 and the accumulator's top 5 bits) are summed by a linear DAC whose pulse at full volume is about
// as loud as a console pulse at full volume.
class Vrc6Sound : public ExpansionSound {
public:
    Vrc6Sound();

    // Register `reg` (0-2) of channel `channel` (0, 1 pulses, 2 saw), or the frequency control
    // (channel 0, register 3).
    void Write(std::uint32_t channel, std::uint32_t reg, std::uint8_t value);
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);

    struct Channel {
        std::array<std::uint8_t, 3> regs{};
        std::uint8_t step = 0;
        std::uint8_t accumulator = 0; // the saw
        std::uint32_t countdown = 1;  // cycles to the next step
        bool Enabled() const { return regs[2] & 0x80; }
        std::uint32_t Period() const { return regs[1] | (regs[2] & 0x0F) << 8; }
    };
    std::array<Channel, 3> channels{};
    std::uint8_t control = 0; // $9003

private:
    std::uint32_t StepCycles(const Channel& channel) const;
    std::int32_t Level() const;
};

} // namespace Halvo::Nes
