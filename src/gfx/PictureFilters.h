#pragma once

#include <cstdint>
#include <vector>

#include "gfx/NtscSignal.h"

namespace Halvo::Gfx {

// Turns a frame of NES colour indices (256 x 240, each 9 bits: the colour in bits 0-5 and the emphasis
// in bits 6-8, as an index canvas records them) into 32-bit pixels 0xAARRGGBB of its own size. Each
// picture line becomes `rowsPerLine` output rows.
class PictureFilter {
public:
    PictureFilter(std::uint32_t width, std::uint32_t rowsPerLine) : width(width), rowsPerLine(rowsPerLine) {}
    virtual ~PictureFilter() = default;

    // `pitch` is in pixels; `frame` counts the frames shown, for effects that alternate between them.
    virtual void Apply(const std::uint16_t* indices, std::uint32_t indexPitch, std::uint32_t* out,
                       std::uint32_t pitch, std::uint64_t frame) = 0;

    const std::uint32_t width;
    const std::uint32_t rowsPerLine;
};

// Composite video: each line's signal as the PPU makes it, decoded as a television does over a sliding
// colour cycle, into `width` columns. Edges between colours fringe, the fringes step across the lines
// (each line starts four phases on) and change from one frame to the next (the dot crawl).
class NtscFilter final : public PictureFilter {
public:
    NtscFilter(const NtscSignal& signal, std::uint32_t width);
    void Apply(const std::uint16_t* indices, std::uint32_t indexPitch, std::uint32_t* out,
               std::uint32_t pitch, std::uint64_t frame) override;

private:
    // Samples kept beyond each end of the line, so that the cycles of the edge pixels are whole: the
    // border beside the picture shows the edge colours on.
    static constexpr std::uint32_t Margin = NtscSignal::Phases;
    static constexpr std::uint32_t LineSamples = 256 * NtscSignal::PhasesPerPixel + 2 * Margin;

    NtscSignal signal;
    // The level of each colour index at each phase.
    std::vector<float> levels;
    // Where each output column's cycle starts, in samples.
    std::vector<std::uint32_t> starts;
    // Running sums of the line's levels and of its levels weighted by the two demodulating waves.
    std::vector<float> levelSums, uSums, vSums;
};

// Scan lines: each line drawn twice as wide and twice as high, its second row darker, as the gaps
// between a television's lines show at this size.
class ScanlineFilter final : public PictureFilter {
public:
    explicit ScanlineFilter(const NesColourTable& colours);
    void Apply(const std::uint16_t* indices, std::uint32_t indexPitch, std::uint32_t* out,
               std::uint32_t pitch, std::uint64_t frame) override;

private:
    NesColourTable bright;
    NesColourTable dark;
};

} // namespace Halvo::Gfx
