#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace Halvo::Nes {

class StateIo;

// Turns the levels of the five channels, and of a cartridge's sound chip, into sound. The channels
// report each change of their output as a step at a processor cycle; the steps are spread over bins of
// `CyclesPerSample` cycles, each bin's share being the part of the bin after the step, so that a
// running sum over the bins gives the average level of each bin (a box filter before the bins are
// taken as samples). Bins are mixed as the console's resistor networks mix them, the cartridge's chip
// added linearly (it reaches the console's audio output through a resistor of its own), and then
// filtered by the chosen output stage.
//
// The levels are summed as integers: the pulse group in units of one pulse step, the triangle, noise
// and DMC group weighted by their resistors in fixed point, the cartridge's chip in fixed point of the
// output. Each channel's weight includes its volume setting. The sums are exact, so hours of play do
// not drift.
class ApuSynth {
public:
    enum Channel : std::uint8_t { Pulse1, Pulse2, Triangle, Noise, Dmc, ChannelCount };
    // What follows the mixer: "flat" removes only the DC offset (a 5 Hz high-pass) and rounds off the
    // top with a gentle 20 kHz low-pass; "famicom" is the Famicom's 37 Hz high-pass with the same top;
    // "nes" the front-loading console's 90 Hz and 440 Hz high-passes and 14 kHz low-pass.
    enum class Filter : std::uint8_t { Flat, Famicom, Nes };
    // The cartridge chip's fixed point: this many units are one full-scale output (1.0 before the gain).
    static constexpr std::int32_t ExpansionUnit = 1 << 22;
    // The gain after the filters, so that a loud game peaks near full scale once the DC offset is gone.
    static constexpr double OutputGain = 1.8;

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

    // Silence: clears the steps and the levels and lets the filters settle at rest. The levels of the
    // first bin after it count as the resting ones, so sound that starts does not start with a click.
    void Clear();

    void SetFilter(Filter filter);
    Filter OutputFilter() const { return filter; }
    // A channel's volume in percent (0-100) from cycle `cycle` on, the channel being at `level` then.
    void SetVolume(Channel channel, std::uint32_t percent, std::uint32_t cycle, std::int32_t level);

    // A change of a channel's level at `cycle` cycles after the start of the frame.
    void AddLevel(Channel channel, std::uint32_t cycle, std::int32_t delta) {
        Add(channel <= Pulse2 ? pulseSteps : tndSteps, cycle, delta * weights[channel]);
    }
    // A change of the cartridge chip's output, in ExpansionUnit fixed point.
    void AddExpansion(std::uint32_t cycle, std::int32_t delta) { Add(expansionSteps, cycle, delta); }

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

    static constexpr std::int32_t FullWeights[ChannelCount] = {PulseUnit, PulseUnit, TriangleWeight,
                                                               NoiseWeight, DmcWeight};

    std::array<std::int32_t, BinCount> pulseSteps{};
    std::array<std::int32_t, BinCount> tndSteps{};
    std::array<std::int32_t, BinCount> expansionSteps{};
    std::int64_t pulseSum = 0;
    std::int64_t tndSum = 0;
    std::int64_t expansionSum = 0;
    std::uint32_t phase = 0; // cycles of the open bin that came before the frame
    std::array<std::int32_t, ChannelCount> weights{PulseUnit, PulseUnit, TriangleWeight, NoiseWeight,
                                                   DmcWeight};

    double clockRate = 0;
    Filter filter = Filter::Flat;
    // One-pole filters of the output stage: two high-passes and a low-pass (a high-pass coefficient of
    // 1 passes its input unchanged).
    double highPass1 = 0, highPass2 = 0, lowPass = 0;
    double lastIn = 0, lastMid = 0;
    double hp1State = 0, hp2State = 0, lpState = 0;
    // Set by Clear until the next bin is made; not saved: a loaded state's filters go on from their
    // saved levels.
    bool settling = true;
};

} // namespace Halvo::Nes
