#include "gfx/NtscSignal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Halvo::Gfx {

namespace {

// The PPU's output voltages, relative to sync, for each brightness row: the low and the high level of
// the square wave ($xD and $x0 are these levels held). Black is the level of $1D, white that of $20.
constexpr float LowLevels[4] = {0.350f, 0.518f, 0.962f, 1.550f};
constexpr float HighLevels[4] = {1.090f, 1.500f, 1.960f, 1.960f};
constexpr float Black = 0.518f;
constexpr float White = 1.960f;
// An emphasis bit scales the voltage by about three quarters while its wave is high.
constexpr float EmphasisAttenuation = 0.746f;
// The waves of the red, green and blue emphasis bits: those of hues $xC, $x4 and $x8 (their complements,
// cyan, magenta and yellow, lose strength, which tints the picture towards red, green or blue).
constexpr std::uint32_t EmphasisWaves[3] = {12, 4, 8};
// Wave 8, the colour burst, is high over phases 5-10: its middle is the reference of hue.
constexpr float BurstMiddle = 7.5f;

// Whether the square wave of hue `wave` (1-12) is high at `phase`: each is high for six phases, one
// phase earlier than the wave before it.
bool WaveHigh(std::uint32_t wave, std::uint32_t phase) {
    return (phase + wave - 1) % NtscSignal::Phases < 6;
}

std::uint32_t Byte(float value) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

} // namespace

float NtscSignal::Level(std::uint32_t index, std::uint32_t phase) {
    const std::uint32_t hue = index & 15;
    const std::uint32_t row = (index >> 4) & 3;
    const std::uint32_t emphasis = (index >> 6) & 7;
    if (hue >= 14) {
        return 0.0f;
    }
    float volts = hue == 0               ? HighLevels[row]
                  : hue == 13            ? LowLevels[row]
                  : WaveHigh(hue, phase) ? HighLevels[row]
                                         : LowLevels[row];
    for (std::uint32_t bit = 0; bit < 3; ++bit) {
        if ((emphasis >> bit & 1) && WaveHigh(EmphasisWaves[bit], phase)) {
            volts *= EmphasisAttenuation;
            break; // one attenuator serves all three bits
        }
    }
    return (volts - Black) / (White - Black);
}

NtscSignal::NtscSignal(float hueDegrees, float saturation) {
    constexpr double pi = std::numbers::pi;
    const double turn = hueDegrees * pi / 180.0;
    for (std::uint32_t phase = 0; phase < Phases; ++phase) {
        // The burst decodes as -U; the sums of a cycle give twice the amplitude over the phases.
        const double angle = 2.0 * pi * (phase - BurstMiddle) / Phases + pi + turn;
        uWeights[phase] = static_cast<float>(2.0 / Phases * saturation * std::cos(angle));
        vWeights[phase] = static_cast<float>(-2.0 / Phases * saturation * std::sin(angle));
    }
}

std::uint32_t NtscSignal::Decode(float levelSum, float uSum, float vSum) const {
    const float y = levelSum / Phases;
    const float red = y + 1.139883f * vSum;
    const float green = y - 0.394642f * uSum - 0.580622f * vSum;
    const float blue = y + 2.032062f * uSum;
    return Byte(red) << 16 | Byte(green) << 8 | Byte(blue);
}

NesColourTable NtscSignal::Palette() const {
    NesColourTable table{};
    for (std::uint32_t index = 0; index < table.size(); ++index) {
        float level = 0.0f, u = 0.0f, v = 0.0f;
        for (std::uint32_t phase = 0; phase < Phases; ++phase) {
            const float sample = Level(index, phase);
            level += sample;
            u += sample * uWeights[phase];
            v += sample * vWeights[phase];
        }
        table[index] = Decode(level, u, v);
    }
    return table;
}

} // namespace Halvo::Gfx
