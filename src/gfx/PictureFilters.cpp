#include "gfx/PictureFilters.h"

#include <algorithm>

namespace Halvo::Gfx {

namespace {

constexpr std::uint32_t Opaque = 0xFF000000u;
// The second row of a scan line keeps this much of the light.
constexpr std::uint32_t GapPercent = 55;

} // namespace

NtscFilter::NtscFilter(const NtscSignal& signal, std::uint32_t width)
    : PictureFilter(std::max<std::uint32_t>(width, 1), 1), signal(signal),
      levels(NesColourTable().size() * NtscSignal::Phases), starts(this->width), levelSums(LineSamples + 1),
      uSums(LineSamples + 1), vSums(LineSamples + 1) {
    for (std::uint32_t index = 0; index < NesColourTable().size(); ++index) {
        for (std::uint32_t phase = 0; phase < NtscSignal::Phases; ++phase) {
            levels[index * NtscSignal::Phases + phase] = NtscSignal::Level(index, phase);
        }
    }
    // Each column decodes the cycle centred on its middle.
    constexpr double pictureSamples = 256.0 * NtscSignal::PhasesPerPixel;
    for (std::uint32_t column = 0; column < this->width; ++column) {
        const double middle = Margin + (column + 0.5) * pictureSamples / this->width;
        starts[column] = static_cast<std::uint32_t>(middle) - NtscSignal::Phases / 2;
    }
}

void NtscFilter::Apply(const std::uint16_t* indices, std::uint32_t indexPitch, std::uint32_t* out,
                       std::uint32_t pitch, std::uint64_t frame) {
    const auto& uWeights = signal.UWeights();
    const auto& vWeights = signal.VWeights();
    // A frame with the skipped dot ends eight phases on, the others four: every other frame starts four
    // phases apart.
    const std::uint32_t framePhase = (frame & 1) ? 4 : 0;
    for (std::uint32_t line = 0; line < 240; ++line) {
        const std::uint16_t* row = indices + line * indexPitch;
        // The margin is a whole cycle: the line's first sample has the phase of its picture's first.
        static_assert(Margin % NtscSignal::Phases == 0);
        std::uint32_t phase = (framePhase + line * NtscSignal::LinePhaseStep) % NtscSignal::Phases;
        float level = 0.0f, u = 0.0f, v = 0.0f;
        for (std::uint32_t sample = 0; sample < LineSamples; ++sample) {
            const std::uint32_t pixel = std::min<std::uint32_t>(
                sample < Margin ? 0 : (sample - Margin) / NtscSignal::PhasesPerPixel, 255);
            const float x = levels[(row[pixel] & 511u) * NtscSignal::Phases + phase];
            level += x;
            u += x * uWeights[phase];
            v += x * vWeights[phase];
            levelSums[sample + 1] = level;
            uSums[sample + 1] = u;
            vSums[sample + 1] = v;
            phase = phase + 1 == NtscSignal::Phases ? 0 : phase + 1;
        }
        std::uint32_t* target = out + line * pitch;
        for (std::uint32_t column = 0; column < width; ++column) {
            const std::uint32_t a = starts[column];
            const std::uint32_t b = a + NtscSignal::Phases;
            target[column] =
                Opaque | signal.Decode(levelSums[b] - levelSums[a], uSums[b] - uSums[a], vSums[b] - vSums[a]);
        }
    }
}

ScanlineFilter::ScanlineFilter(const NesColourTable& colours) : PictureFilter(512, 2) {
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const std::uint32_t rgb = colours[i];
        const auto scaled = [rgb](int shift) { return ((rgb >> shift & 0xFF) * GapPercent / 100) << shift; };
        bright[i] = Opaque | rgb;
        dark[i] = Opaque | scaled(16) | scaled(8) | scaled(0);
    }
}

void ScanlineFilter::Apply(const std::uint16_t* indices, std::uint32_t indexPitch, std::uint32_t* out,
                           std::uint32_t pitch, std::uint64_t) {
    for (std::uint32_t line = 0; line < 240; ++line) {
        const std::uint16_t* row = indices + line * indexPitch;
        std::uint32_t* top = out + 2 * line * pitch;
        std::uint32_t* bottom = top + pitch;
        for (std::uint32_t x = 0; x < 256; ++x) {
            const std::uint32_t index = row[x] & 511u;
            top[2 * x] = top[2 * x + 1] = bright[index];
            bottom[2 * x] = bottom[2 * x + 1] = dark[index];
        }
    }
}

} // namespace Halvo::Gfx
