#pragma once

#include <cstdint>

#include "gfx/ScreenRect.h"

namespace Halvo {

// Where the NES picture goes in a back buffer of the given size. A television shows 256 x 224 of the
// PPU's pixels in a 4:3 frame, which makes the picture 8:7; stretched, it keeps that shape, as large as
// fits and centred; otherwise it fills the back buffer.
Gfx::ScreenRect DisplayRectangle(std::uint32_t width, std::uint32_t height, bool keepShape);

// The picture at the largest whole multiple of 256 x 224 that fits, centred, so that every NES pixel
// covers the same number of screen pixels; a back buffer smaller than 256 x 224 gets DisplayRectangle's.
Gfx::ScreenRect IntegerDisplayRectangle(std::uint32_t width, std::uint32_t height);

// The console font's height in pixels for a back buffer of the given size: about 38 lines of text on
// the shorter side, or 28 on small screens, where smaller text could not be read.
std::uint32_t ConsoleFontHeight(std::uint32_t width, std::uint32_t height);

} // namespace Halvo
