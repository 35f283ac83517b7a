#pragma once

#include <array>
#include <cstdint>

#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The Famicom Disk System's sound ($4040-$408A): one channel playing a 64-step wavetable of 6-bit
// samples, its pitch bent by a modulator that walks a 32-entry table of counter steps, each unit with
// an envelope (the channel's volume, the modulator's depth) that rises or falls one step every
// 8 x ($408A) x (speed + 1) processor cycles. The wave advances a step each time its 16-bit
// accumulator, which adds the (modulated) 12-bit pitch every cycle, wraps: 1789773 x pitch / 2^22 Hz
// for the whole wave. The output is the sample times the volume (at most 32) and the master volume
// (2/2 to 2/5); a full-volume square is about 7 dB louder than one of the console's pulses.
class FdsSound : public ExpansionSound {
public:
    FdsSound();

    void Write(std::uint32_t address, std::uint8_t value);
    std::uint8_t Read(std::uint32_t address) const;
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);

    // The pitch after modulation, for the present counter and depth.
    std::uint32_t ModulatedPitch() const;

    std::array<std::uint8_t, 64> wave{};
    std::array<std::uint8_t, 32> modTable{};
    std::uint8_t modWrite = 0; // the next entry $4088 fills (while the modulator is halted)
    std::uint8_t volumeEnvelope = 0, modEnvelope = 0; // $4080, $4084
    std::uint8_t volumeGain = 0, modGain = 0;
    std::uint32_t volumeCountdown = ~0u, modEnvelopeCountdown = ~0u; // ~0: not counting
    std::uint16_t pitch = 0, modPitch = 0;
    bool waveHalt = true, envelopeHalt = false, modHalt = true, waveWrite = false;
    std::uint8_t masterVolume = 0;
    std::uint8_t envelopeSpeed = 0xE8;
    std::int8_t modCounter = 0;  // 7-bit signed
    std::uint32_t wavePhase = 0; // 22 bits: 6 of position, 16 of accumulator
    std::uint32_t modPhase = 0;

private:
    std::uint32_t EnvelopePeriod(std::uint8_t envelope) const;
    void ClockEnvelope(std::uint8_t envelope, std::uint8_t& gain);
    std::int32_t Level() const;
};

} // namespace Halvo::Nes
