#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Halvo::Nes {

class StateIo;

// Turns the levels of the five channels into sound. The channels report each change of their output
// as a step at a processor cycle; the steps are spread over bins of `CyclesPerSample` cycles, each
// bin's share being the part of the bin after the step, so that a running sum over the bins gives the
// average level of each bin (a box filter before the bins are taken as samples). Bins are mixed as the
// console's resistor networks mix them and then filtered as its output stage filters them.
//
// The levels are summed as integers: the pulse group in units of one pulse step, the triangle, noise
// and DMC group weighted by their resistors in fixed point. The sums are exact, so hours of play do not
// drift.
class ApuSynth {
public:
    static constexpr std::uint32_t CyclesPerSample = 8;
    // The longest span between two EndFrame calls: a PAL frame is about 35,500 cycles.
    static constexpr std::uint32_t MaxCycles = 1u << 16;

    // Weights of one level step of each channel in the triangle/noise/DMC sum, from the mixer's
    // 1/8227, 1/12241 and 1/22638 (fixed point, 2^30 = 1).
    static constexpr std::int32_t TriangleWeight = 130514;
    static constexpr std::int32_t NoiseWeight = 87717;
    static constexpr std::int32_t DmcWeight = 47431;

    ApuSynth();

    // The processor clock, for the filters and the sample rate.
    void SetClockRate(double cyclesPerSecond);
    double SampleRate() const { return clockRate / CyclesPerSample; }

    // Saves or loads the open bins and the filters, between frames (the later bins are empty then).
    void State(StateIo& io);

    // Silence: clears the steps and the levels and lets the filters settle at rest.
    void Clear();

    // A change of a channel's level at `cycle` cycles after the start of the frame.
    void AddPulse(std::uint32_t cycle, std::int32_t delta) { Add(pulseSteps, cycle, delta * PulseUnit); }
    void AddTriangle(std::uint32_t cycle, std::int32_t delta) {
        Add(tndSteps, cycle, delta * TriangleWeight);
    }
    void AddNoise(std::uint32_t cycle, std::int32_t delta) { Add(tndSteps, cycle, delta * NoiseWeight); }
    void AddDmc(std::uint32_t cycle, std::int32_t delta) { Add(tndSteps, cycle, delta * DmcWeight); }

    // Ends a frame of `cycles` cycles: appends its whole samples to `out` (values about -1 to 1); a
    // part-bin left over opens the next frame.
    void EndFrame(std::uint32_t cycles, std::vector<float>& out);

    // The mixer alone, for levels 0-15 (pulses, triangle, noise) and 0-127 (DMC).
    static double Mix(double pulse1, double pulse2, double triangle, double noise, double dmc);

private:
    static constexpr std::int32_t PulseUnit = 1 << 12;
    static constexpr std::uint32_t BinCount = MaxCycles / CyclesPerSample + 2;

    void Add(std::array<std::int32_t, BinCount>& steps, std::uint32_t cycle, std::int32_t delta) {
        const std::uint32_t at = cycle + phase;
        const std::uint32_t bin = at / CyclesPerSample;
        const std::int32_t after = static_cast<std::int32_t>(CyclesPerSample - at % CyclesPerSample);
        steps[bin] += delta * after;
        steps[bin + 1] += delta * (static_cast<std::int32_t>(CyclesPerSample) - after);
    }

    std::array<std::int32_t, BinCount> pulseSteps{};
    std::array<std::int32_t, BinCount> tndSteps{};
    std::int64_t pulseSum = 0;
    std::int64_t tndSum = 0;
    std::uint32_t phase = 0; // cycles of the open bin that came before the frame

    double clockRate = 0;
    // One-pole filters of the console's output: two high-passes (90 Hz, 440 Hz) and a low-pass (14 kHz).
    double highPass90 = 0, highPass440 = 0, lowPass = 0;
    double lastIn = 0, lastMid = 0;
    double hp90State = 0, hp440State = 0, lpState = 0;
};

} // namespace Halvo::Nes
