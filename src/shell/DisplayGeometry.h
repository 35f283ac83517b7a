#pragma once

#include <cstdint>

#include "gfx/ScreenRect.h"

namespace Halvo {

// Where the NES picture goes in a back buffer of the given size. A television shows 256 x 224 of the
// PPU's pixels in a 4:3 frame, which makes the picture 8:7; stretched, it keeps that shape, as large as
// fits and centred; otherwise it fills the back buffer.
Gfx::ScreenRect DisplayRectangle(std::uint32_t width, std::uint32_t height, bool keepShape);

// The console font's height in pixels for a back buffer of the given size: about 38 lines of text on
// the shorter side, or 28 on small screens, where smaller text could not be read.
std::uint32_t ConsoleFontHeight(std::uint32_t width, std::uint32_t height);

} // namespace Halvo
