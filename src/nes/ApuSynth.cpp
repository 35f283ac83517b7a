#include "nes/ApuSynth.h"

#include <numbers>

namespace Halvo::Nes {

namespace {

constexpr double PulseScale = 1.0 / (4096.0 * 8128.0 * ApuSynth::CyclesPerSample);
constexpr double TndScale = 1.0 / (1073741824.0 * ApuSynth::CyclesPerSample);

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
    const double rate = SampleRate();
    highPass90 = HighPassCoefficient(90, rate);
    highPass440 = HighPassCoefficient(440, rate);
    lowPass = LowPassCoefficient(14000, rate);
}

void ApuSynth::Clear() {
    pulseSteps.fill(0);
    tndSteps.fill(0);
    pulseSum = tndSum = 0;
    phase = 0;
    lastIn = lastMid = hp90State = hp440State = lpState = 0;
}

void ApuSynth::EndFrame(std::uint32_t cycles, std::vector<float>& out) {
    const std::uint32_t total = phase + cycles;
    const std::uint32_t bins = total / CyclesPerSample;
    for (std::uint32_t bin = 0; bin < bins; ++bin) {
        pulseSum += pulseSteps[bin];
        tndSum += tndSteps[bin];
        const double in = PulseOut(pulseSum * PulseScale) + TndOut(tndSum * TndScale);
        hp90State = highPass90 * (hp90State + in - lastIn);
        lastIn = in;
        hp440State = highPass440 * (hp440State + hp90State - lastMid);
        lastMid = hp90State;
        lpState += lowPass * (hp440State - lpState);
        out.push_back(static_cast<float>(lpState));
    }
    // The open bin and the share of its steps that fell into the bin after it move to the front.
    pulseSteps[0] = pulseSteps[bins];
    pulseSteps[1] = pulseSteps[bins + 1];
    tndSteps[0] = tndSteps[bins];
    tndSteps[1] = tndSteps[bins + 1];
    for (std::uint32_t bin = 2; bin <= bins + 1; ++bin) {
        pulseSteps[bin] = 0;
        tndSteps[bin] = 0;
    }
    phase = total % CyclesPerSample;
}

double ApuSynth::Mix(double pulse1, double pulse2, double triangle, double noise, double dmc) {
    return PulseOut((pulse1 + pulse2) / 8128) + TndOut(triangle / 8227 + noise / 12241 + dmc / 22638);
}

} // namespace Halvo::Nes
