#pragma once

#include <array>
#include <cstdint>

namespace Halvo::Gfx {

// The colours of the NES as 0xRRGGBB, one block of 64 for each value of the mask register's three
// emphasis bits: entry emphasis * 64 + colour.
using NesColourTable = std::array<std::uint32_t, 512>;

// The composite video signal the NES's PPU makes, and a television's decoding of it.
//
// The PPU does not make RGB: for each pixel it switches the video line between two of a few voltages,
// in step with one of twelve square waves at the colour subcarrier's frequency, each a twelfth of a
// cycle later than the one before. The colour's low nibble picks the wave (the hue; 0 and 13 stay at one
// level, 14 and 15 are black), its high bits the pair of levels (the brightness). A pixel lasts eight of
// the twelve phases, so a colour cycle spans one and a half pixels, a line of 341 pixels ends four
// phases on from where it began, and a frame (with the dot the PPU skips on every other frame) two
// frames' worth of phases apart. The three emphasis bits each attenuate the signal while the wave of
// their own phase is high.
//
// A television takes brightness as the signal's average over a colour cycle and colour as the
// amplitude and phase of its part at the subcarrier's frequency, measured against the colour burst (the
// phase of wave 8, the colour -U). Over a flat area this gives one colour per NES colour; across a
// horizontal edge the cycle holds two colours, which shows as the fringes of composite video.
class NtscSignal {
public:
    static constexpr std::uint32_t Phases = 12;
    static constexpr std::uint32_t PhasesPerPixel = 8;
    // A line's start moves on by 341 x 8 phases.
    static constexpr std::uint32_t LinePhaseStep = (341 * PhasesPerPixel) % Phases;

    // The signal of colour `index` (bits 0-5 the colour, bits 6-8 the emphasis) at `phase` (0-11):
    // 0 at the black level, 1 at the white level.
    static float Level(std::uint32_t index, std::uint32_t phase);

    // `hueDegrees` turns the decoded colours round the colour wheel; `saturation` scales them (1 as the
    // signal gives).
    NtscSignal(float hueDegrees, float saturation);

    // The colour decoded from one colour cycle's twelve samples, starting at `phase`, summed: the sum of
    // the levels and their sums weighted by the demodulating waves (already scaled), as 0xRRGGBB.
    std::uint32_t Decode(float levelSum, float uSum, float vSum) const;
    // The weights of the demodulating waves at each phase, scaled so that a cycle's sums decode.
    const std::array<float, Phases>& UWeights() const { return uWeights; }
    const std::array<float, Phases>& VWeights() const { return vWeights; }

    // Each NES colour decoded from a whole cycle of its own signal: the colours a television shows for
    // areas of one colour.
    NesColourTable Palette() const;

private:
    std::array<float, Phases> uWeights{};
    std::array<float, Phases> vWeights{};
};

} // namespace Halvo::Gfx
