#include "nes/ApuChannels.h"

namespace Halvo::Nes {

const std::uint8_t LengthCounter::Table[32] = {10, 254, 20,  2,  40, 4,  80, 6,  160, 8,  60,
                                               10, 14,  12,  26, 14, 12, 16, 24, 18,  48, 20,
                                               96, 22,  192, 24, 72, 26, 16, 28, 32,  30};

const std::uint16_t NoiseChannel::NtscPeriods[16] = {4,   8,   16,  32,  64,  96,   128,  160,
                                                     202, 254, 380, 508, 762, 1016, 2034, 4068};
const std::uint16_t NoiseChannel::PalPeriods[16] = {4,   8,   14,  30,  60,  88,  118,  148,
                                                    188, 236, 354, 472, 708, 944, 1890, 3778};

namespace {

// The duty patterns, indexed by the sequencer step (which counts down from 0 to 7, 6, ...).
constexpr std::uint8_t DutyPatterns[4][8] = {
    {0, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 1, 1}, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 0, 0}};

// The timer period of the pulse and triangle channels: the third register holds its low 8 bits, the
// fourth its high 3.
void WritePeriod(std::uint32_t& period, std::uint32_t reg, std::uint8_t value) {
    period = (reg & 3) == 2 ? (period & 0x700) | value : (period & 0xFF) | (value & 7u) << 8;
}

} // namespace

void Envelope::Clock() {
    if (start) {
        start = false;
        decay = 15;
        divider = period;
    } else if (divider > 0) {
        --divider;
    } else {
        divider = period;
        if (decay > 0) {
            --decay;
        } else if (loop) {
            decay = 15;
        }
    }
}

void PulseChannel::Write(std::uint32_t reg, std::uint8_t value) {
    switch (reg & 3) {
    case 0:
        duty = value >> 6;
        envelope.Write(value);
        length.halt = envelope.loop;
        break;
    case 1:
        sweepEnabled = (value & 0x80) != 0;
        sweepPeriod = (value >> 4) & 7;
        sweepNegate = (value & 0x08) != 0;
        sweepShift = value & 7;
        sweepReload = true;
        break;
    case 2:
        WritePeriod(period, reg, value);
        break;
    case 3:
        WritePeriod(period, reg, value);
        length.Load(value >> 3);
        // A new note restarts the duty cycle and the envelope.
        sequence = 0;
        envelope.start = true;
        break;
    }
}

std::uint32_t PulseChannel::SweepTarget() const {
    const std::uint32_t change = period >> sweepShift;
    if (!sweepNegate) {
        return period + change;
    }
    const std::uint32_t down = change + (onesComplement ? 1 : 0);
    return down > period ? 0 : period - down;
}

void PulseChannel::HalfFrame() {
    length.Clock();
    if (sweepDivider == 0 && sweepEnabled && sweepShift > 0 && !Muted()) {
        period = SweepTarget();
    }
    if (sweepDivider == 0 || sweepReload) {
        sweepDivider = sweepPeriod;
        sweepReload = false;
    } else {
        --sweepDivider;
    }
}

std::int32_t PulseChannel::Output() const {
    if (length.value == 0 || Muted() || !DutyPatterns[duty][sequence]) {
        return 0;
    }
    return envelope.Volume();
}

void TriangleChannel::Write(std::uint32_t reg, std::uint8_t value) {
    switch (reg & 3) {
    case 0:
        control = (value & 0x80) != 0;
        length.halt = control;
        linearReload = value & 0x7F;
        break;
    case 2:
        WritePeriod(period, reg, value);
        break;
    case 3:
        WritePeriod(period, reg, value);
        length.Load(value >> 3);
        reloadLinear = true;
        break;
    }
}

void TriangleChannel::QuarterFrame() {
    if (reloadLinear) {
        linear = linearReload;
    } else if (linear > 0) {
        --linear;
    }
    if (!control) {
        reloadLinear = false;
    }
}

void NoiseChannel::Write(std::uint32_t reg, std::uint8_t value) {
    switch (reg & 3) {
    case 0:
        envelope.Write(value);
        length.halt = envelope.loop;
        break;
    case 2:
        shortMode = (value & 0x80) != 0;
        periodIndex = value & 15;
        break;
    case 3:
        length.Load(value >> 3);
        envelope.start = true;
        break;
    }
}

} // namespace Halvo::Nes
