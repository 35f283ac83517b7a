#pragma once

#include <cstdint>

#include "gfx/LinearNesCanvas.h"

namespace Halvo::Gfx {

// The pixel half of a canvas whose picture goes through a picture filter: the renderer writes each
// pixel's NES colour index (bits 0-5) with the emphasis in force (bits 6-8), 16 bits a pixel, so that
// the filter sees the signal the PPU made rather than finished colours.
class IndexNesCanvas : public LinearNesCanvas<std::uint16_t, 1> {
public:
    void SetColor(std::uint32_t index, float, float, float, float) override {
        // The PPU's grayscale mode keeps only column 0 of the row.
        const std::uint32_t colour = colourMode != 0 ? index & 63 : index & 0x30;
        colors[index & 63] = static_cast<std::uint16_t>(colour | (emphasis & 7) << 6);
    }

protected:
    IndexNesCanvas() : NesCanvas(PixelFormat::R5G6B5), LinearNesCanvas(PixelFormat::R5G6B5) {}
};

} // namespace Halvo::Gfx
