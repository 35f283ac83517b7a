#pragma once

#include <cstdint>

namespace Halvo::Nes {

// The length counter of the pulse, triangle and noise channels: loaded from a table by the fourth
// register's high bits while the channel is enabled in $4015, counted down at every half frame unless
// halted, and silencing its channel at zero.
struct LengthCounter {
    static const std::uint8_t Table[32];

    void Load(std::uint8_t index) {
        if (enabled) {
            value = Table[index & 31];
        }
    }
    void SetEnabled(bool on) {
        enabled = on;
        if (!on) {
            value = 0;
        }
    }
    void Clock() {
        if (!halt && value > 0) {
            --value;
        }
    }

    std::uint8_t value = 0;
    bool halt = false;
    bool enabled = false;
};

// The volume of the pulse and noise channels: a constant volume, or a level that decays from 15 by one
// every (period + 1) quarter frames and, with loop set, starts again at 15.
struct Envelope {
    void Write(std::uint8_t value) {
        period = value & 15;
        constant = (value & 0x10) != 0;
        loop = (value & 0x20) != 0;
    }
    void Clock();
    std::uint8_t Volume() const { return constant ? period : decay; }

    std::uint8_t period = 0;
    std::uint8_t divider = 0;
    std::uint8_t decay = 0;
    bool constant = false;
    bool loop = false;
    bool start = false;
};

// A square-wave channel ($4000-$4003 or $4004-$4007). Its sequencer steps every 2 x (period + 1)
// processor cycles through eight steps of its duty pattern. The sweep unit moves the period at every
// half frame; it silences the channel while the period is under 8 or its target is over $7FF, whether
// or not it is enabled.
class PulseChannel {
public:
    // The first pulse negates its sweep change in ones' complement (one less), the second in two's.
    explicit PulseChannel(bool ones) : onesComplement(ones) {}

    void Write(std::uint32_t reg, std::uint8_t value);
    void QuarterFrame() { envelope.Clock(); }
    void HalfFrame();
    std::uint32_t StepCycles() const { return 2 * (period + 1); }
    void Step() { sequence = (sequence - 1) & 7; }
    void Skip(std::uint64_t steps) { sequence = static_cast<std::uint8_t>((sequence - steps) & 7); }
    bool Audible() const { return length.value > 0 && !Muted() && envelope.Volume() > 0; }
    std::int32_t Output() const;
    bool Muted() const { return period < 8 || SweepTarget() > 0x7FF; }
    std::uint32_t SweepTarget() const;

    LengthCounter length;
    Envelope envelope;
    std::uint32_t period = 0;
    std::uint8_t duty = 0;
    std::uint8_t sequence = 0;
    bool sweepEnabled = false;
    bool sweepNegate = false;
    bool sweepReload = false;
    std::uint8_t sweepPeriod = 0;
    std::uint8_t sweepShift = 0;
    std::uint8_t sweepDivider = 0;
    bool onesComplement;
};

// The triangle channel ($4008-$400B): a 32-step ramp stepped every (period + 1) cycles while both its
// length counter and its linear counter are non-zero. Periods under 2 would step it at ultrasonic
// rates, which the console's output smears into a constant level; it holds its level instead.
class TriangleChannel {
public:
    void Write(std::uint32_t reg, std::uint8_t value);
    void QuarterFrame();
    void HalfFrame() { length.Clock(); }
    std::uint32_t StepCycles() const { return period + 1; }
    bool Stepping() const { return length.value > 0 && linear > 0 && period >= 2; }
    void Step() { sequence = (sequence + 1) & 31; }
    // Its level only moves while it steps.
    bool Audible() const { return Stepping(); }
    void Skip(std::uint64_t) {}
    std::int32_t Output() const { return sequence < 16 ? 15 - sequence : sequence - 16; }

    LengthCounter length;
    std::uint32_t period = 0;
    std::uint8_t sequence = 0;
    std::uint8_t linear = 0;
    std::uint8_t linearReload = 0;
    bool control = false;
    bool reloadLinear = false;
};

// The noise channel ($400C-$400F): a 15-bit shift register stepped every period of the table, with
// feedback from bit 1 (long mode) or bit 6 (short mode, 93 or 31 steps long).
class NoiseChannel {
public:
    static const std::uint16_t NtscPeriods[16];
    static const std::uint16_t PalPeriods[16];

    void Write(std::uint32_t reg, std::uint8_t value);
    void QuarterFrame() { envelope.Clock(); }
    void HalfFrame() { length.Clock(); }
    std::uint32_t StepCycles() const { return periods[periodIndex]; }
    void Step() {
        const std::uint32_t tap = shortMode ? 6 : 1;
        const std::uint32_t feedback = (shift ^ (shift >> tap)) & 1;
        shift = static_cast<std::uint16_t>((shift >> 1) | (feedback << 14));
    }
    std::int32_t Output() const { return (shift & 1) || length.value == 0 ? 0 : envelope.Volume(); }
    // While it is silent its register is left as it is: nothing but the sound depends on it.
    bool Audible() const { return length.value > 0 && envelope.Volume() > 0; }
    void Skip(std::uint64_t) {}

    LengthCounter length;
    Envelope envelope;
    const std::uint16_t* periods = NtscPeriods;
    std::uint8_t periodIndex = 0;
    std::uint16_t shift = 1;
    bool shortMode = false;
};

} // namespace Halvo::Nes
