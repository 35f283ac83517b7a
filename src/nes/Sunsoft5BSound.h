#pragma once

#include <array>
#include <cstdint>

#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The Sunsoft 5B's sound, a YM2149F with its clock halved: three square-wave tones (each toggles every
// 16 x period processor cycles, a period of 0 acting as 1), one noise generator (a 17-bit shift
// register stepped every 32 x period cycles) and one envelope generator (32 steps, one every
// 16 x period cycles) that any channel may use instead of its fixed volume. The DAC is logarithmic:
// each volume step is 3 dB, each envelope step 1.5 dB, and 0 is silence.
class Sunsoft5BSound : public ExpansionSound {
public:
    Sunsoft5BSound();

    // $C000: selects the register (a value with any of bits 4-7 set stops writes); $E000: writes it.
    void Select(std::uint8_t value) { selected = value; }
    void Write(std::uint8_t value);
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);

    // The DAC's level for envelope step `step` (0-31; a volume v stands for step 2v + 1).
    static std::int32_t DacLevel(std::uint32_t step);

    std::array<std::uint8_t, 16> regs{};
    std::uint8_t selected = 0;
    std::array<std::uint32_t, 3> toneCountdown{1, 1, 1};
    std::array<bool, 3> toneHigh{};
    std::uint32_t noiseCountdown = 1;
    std::uint32_t noiseShift = 1;
    std::uint32_t envelopeCountdown = 1;
    std::uint8_t envelopeStep = 0; // 0-31 within the present ramp
    bool envelopeRising = false;
    bool envelopeHeld = false;

private:
    std::uint32_t TonePeriod(std::uint32_t channel) const;
    std::uint32_t EnvelopeLevel() const;
    void StartEnvelope();
    void StepEnvelope();
    std::int32_t Level() const;
};

} // namespace Halvo::Nes
