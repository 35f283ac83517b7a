#include "nes/Sunsoft5BSound.h"

#include <algorithm>
#include <cmath>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

constexpr std::int32_t FullLevel = 4096;
// A square at volume 12 is measured 1.3 dB quieter than one of the console's pulses at full volume.
constexpr double Volume12Share = 0.8610; // 10^(-1.3 / 20)

// Envelope shape bits of register $0D.
constexpr std::uint8_t Hold = 1, Alternate = 2, Attack = 4, Continue = 8;

} // namespace

std::int32_t Sunsoft5BSound::DacLevel(std::uint32_t step) {
    static const std::array<std::int32_t, 32> levels = [] {
        std::array<std::int32_t, 32> table{};
        for (std::uint32_t i = 1; i < 32; ++i) {
            table[i] =
                static_cast<std::int32_t>(std::lround(FullLevel * std::pow(10.0, -1.5 * (31.0 - i) / 20.0)));
        }
        return table;
    }();
    return levels[step & 31];
}

Sunsoft5BSound::Sunsoft5BSound() : ExpansionSound(SoundChip::Sunsoft5B) {
    SetUnit(ApuSynth::Mix(15, 0, 0, 0, 0) * Volume12Share / DacLevel(25));
}

void Sunsoft5BSound::Reset() {
    regs = {};
    selected = 0;
    toneCountdown = {1, 1, 1};
    toneHigh = {};
    noiseCountdown = envelopeCountdown = 1;
    noiseShift = 1;
    StartEnvelope();
    Output(lastCycle, 0);
}

std::uint32_t Sunsoft5BSound::TonePeriod(std::uint32_t channel) const {
    const std::uint32_t period = regs[2 * channel] | (regs[2 * channel + 1] & 0x0F) << 8;
    return 16 * std::max(period, 1u);
}

void Sunsoft5BSound::StartEnvelope() {
    envelopeRising = regs[13] & Attack;
    envelopeStep = 0;
    envelopeHeld = false;
}

std::uint32_t Sunsoft5BSound::EnvelopeLevel() const {
    return envelopeRising ? envelopeStep : 31u - envelopeStep;
}

void Sunsoft5BSound::StepEnvelope() {
    if (envelopeHeld) {
        return;
    }
    if (envelopeStep < 31) {
        ++envelopeStep;
        return;
    }
    // The end of a ramp: the shape says what follows.
    const std::uint8_t shape = regs[13];
    if (!(shape & Continue)) {
        envelopeRising = false; // silence: level 0 held
        envelopeStep = 31;
        envelopeHeld = true;
    } else if (shape & Hold) {
        if (shape & Alternate) {
            envelopeRising = !envelopeRising;
        }
        envelopeHeld = true;
    } else {
        if (shape & Alternate) {
            envelopeRising = !envelopeRising;
        }
        envelopeStep = 0;
    }
}

void Sunsoft5BSound::Write(std::uint8_t value) {
    if (selected & 0xF0) {
        return;
    }
    const std::uint32_t reg = selected & 0x0F;
    regs[reg] = value;
    if (reg == 13) {
        StartEnvelope();
        envelopeCountdown = 16 * std::max<std::uint32_t>(regs[11] | regs[12] << 8, 1u);
    }
    Output(lastCycle, Level());
}

std::int32_t Sunsoft5BSound::Level() const {
    std::int32_t level = 0;
    const bool noise = noiseShift & 1;
    for (std::uint32_t channel = 0; channel < 3; ++channel) {
        const bool toneOff = regs[7] & (1u << channel);
        const bool noiseOff = regs[7] & (8u << channel);
        if ((toneHigh[channel] || toneOff) && (noise || noiseOff)) {
            const std::uint8_t volume = regs[8 + channel];
            level += DacLevel((volume & 0x10)   ? EnvelopeLevel()
                              : (volume & 0x0F) ? 2u * (volume & 0x0F) + 1
                                                : 0);
        }
    }
    return level;
}

void Sunsoft5BSound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        std::uint64_t advance = to - lastCycle;
        for (const std::uint32_t countdown : toneCountdown) {
            advance = std::min<std::uint64_t>(advance, countdown);
        }
        advance = std::min<std::uint64_t>(advance, noiseCountdown);
        advance = std::min<std::uint64_t>(advance, envelopeCountdown);
        lastCycle += advance;
        const auto cycles = static_cast<std::uint32_t>(advance);
        for (std::uint32_t channel = 0; channel < 3; ++channel) {
            toneCountdown[channel] -= cycles;
            if (toneCountdown[channel] == 0) {
                toneCountdown[channel] = TonePeriod(channel);
                toneHigh[channel] = !toneHigh[channel];
            }
        }
        noiseCountdown -= cycles;
        if (noiseCountdown == 0) {
            noiseCountdown = 32 * std::max<std::uint32_t>(regs[6] & 0x1F, 1u);
            // 17 bits, fed back from bits 0 and 3.
            const std::uint32_t feedback = (noiseShift ^ (noiseShift >> 3)) & 1;
            noiseShift = (noiseShift >> 1) | feedback << 16;
        }
        envelopeCountdown -= cycles;
        if (envelopeCountdown == 0) {
            envelopeCountdown = 16 * std::max<std::uint32_t>(regs[11] | regs[12] << 8, 1u);
            StepEnvelope();
        }
        Output(lastCycle, Level());
    }
}

void Sunsoft5BSound::State(StateIo& io) {
    OutputState(io);
    io.Array(regs)(selected).Array(toneCountdown).Array(toneHigh);
    io(noiseCountdown, noiseShift, envelopeCountdown).Bounded(envelopeStep, std::uint8_t{31});
    io(envelopeRising, envelopeHeld);
    bool fits = noiseCountdown > 0 && noiseCountdown <= 32 * 31 && envelopeCountdown > 0 &&
                envelopeCountdown <= 16 * 65535 && noiseShift != 0 && noiseShift < (1u << 17);
    for (const std::uint32_t countdown : toneCountdown) {
        fits = fits && countdown > 0 && countdown <= 16 * 4095;
    }
    if (io.Loading() && !fits) {
        io.Fail();
    }
}

} // namespace Halvo::Nes
