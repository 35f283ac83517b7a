#include "nes/ApuSynth.h"

#include <algorithm>
#include <numbers>

namespace Halvo::Nes {

namespace {

constexpr double PulseScale = 1.0 / (4096.0 * 8128.0 * ApuSynth::CyclesPerSample);
constexpr double TndScale = 1.0 / (1073741824.0 * ApuSynth::CyclesPerSample);
constexpr double ExpansionScale = 1.0 / (double{ApuSynth::ExpansionUnit} * ApuSynth::CyclesPerSample);

double HighPassCoefficient(double cutoff, double rate) {
    const double rc = 1.0 / (2 * std::numbers::pi * cutoff);
    return rc / (rc + 1.0 / rate);
}

double LowPassCoefficient(double cutoff, double rate) {
    const double rc = 1.0 / (2 * std::numbers::pi * cutoff);
    const double dt = 1.0 / rate;
    return dt / (rc + dt);
}

// The two halves of the mixer, given the sums the resistor networks see: (p1 + p2) / 8128 and
// t / 8227 + n / 12241 + d / 22638. Both are x / (1 + 100 x) scaled, the usual formulas rewritten so
// that a silent group needs no special case.
double PulseOut(double x) {
    return 95.88 * x / (1 + 100 * x);
}
double TndOut(double w) {
    return 159.79 * w / (1 + 100 * w);
}

} // namespace

ApuSynth::ApuSynth() {
    SetClockRate(1789773.0);
}

void ApuSynth::SetClockRate(double cyclesPerSecond) {
    clockRate = cyclesPerSecond;
    SetFilter(filter);
}

void ApuSynth::SetFilter(Filter chosen) {
    filter = chosen;
    const double rate = SampleRate();
    switch (filter) {
    case Filter::Flat:
        highPass1 = HighPassCoefficient(5, rate);
        highPass2 = 1;
        lowPass = LowPassCoefficient(20000, rate);
        break;
    case Filter::Famicom:
        highPass1 = HighPassCoefficient(37, rate);
        highPass2 = 1;
        lowPass = LowPassCoefficient(20000, rate);
        break;
    case Filter::Nes:
        highPass1 = HighPassCoefficient(90, rate);
        highPass2 = HighPassCoefficient(440, rate);
        lowPass = LowPassCoefficient(14000, rate);
        break;
    }
}

void ApuSynth::SetVolume(Channel channel, std::uint32_t percent, std::uint32_t cycle, std::int32_t level) {
    const std::int32_t weight =
        static_cast<std::int32_t>(std::int64_t{FullWeights[channel]} * std::min(percent, 100u) / 100);
    if (weight == weights[channel]) {
        return;
    }
    // The level is taken out at the old weight and put back at the new one, so the sums stay exact.
    Add(channel <= Pulse2 ? pulseSteps : tndSteps, cycle, level * (weight - weights[channel]));
    weights[channel] = weight;
}

void ApuSynth::Clear() {
    pulseSteps.fill(0);
    tndSteps.fill(0);
    expansionSteps.fill(0);
    pulseSum = tndSum = expansionSum = 0;
    phase = 0;
    lastIn = lastMid = hp1State = hp2State = lpState = 0;
    settling = true;
}

void ApuSynth::EndFrame(std::uint32_t cycles, std::vector<float>& out) {
    const std::uint32_t total = phase + cycles;
    const std::uint32_t bins = total / CyclesPerSample;
    for (std::uint32_t bin = 0; bin < bins; ++bin) {
        pulseSum += pulseSteps[bin];
        tndSum += tndSteps[bin];
        expansionSum += expansionSteps[bin];
        const double in = PulseOut(pulseSum * PulseScale) + TndOut(tndSum * TndScale) +
                          static_cast<double>(expansionSum) * ExpansionScale;
        if (settling) {
            // The levels the sound starts from (the triangle holds one even when silent) are taken as
            // long settled: the high-passes pass no step from silence to them, which would click.
            lastIn = in;
            settling = false;
        }
        hp1State = highPass1 * (hp1State + in - lastIn);
        lastIn = in;
        hp2State = highPass2 * (hp2State + hp1State - lastMid);
        lastMid = hp1State;
        lpState += lowPass * (hp2State - lpState);
        out.push_back(static_cast<float>(lpState * OutputGain));
    }
    // The open bin and the share of its steps that fell into the bin after it move to the front.
    pulseSteps[0] = pulseSteps[bins];
    pulseSteps[1] = pulseSteps[bins + 1];
    tndSteps[0] = tndSteps[bins];
    tndSteps[1] = tndSteps[bins + 1];
    expansionSteps[0] = expansionSteps[bins];
    expansionSteps[1] = expansionSteps[bins + 1];
    for (std::uint32_t bin = 2; bin <= bins + 1; ++bin) {
        pulseSteps[bin] = 0;
        tndSteps[bin] = 0;
        expansionSteps[bin] = 0;
    }
    phase = total % CyclesPerSample;
}

double ApuSynth::Mix(double pulse1, double pulse2, double triangle, double noise, double dmc) {
    return PulseOut((pulse1 + pulse2) / 8128) + TndOut(triangle / 8227 + noise / 12241 + dmc / 22638);
}

} // namespace Halvo::Nes
