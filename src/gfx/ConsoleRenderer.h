#pragma once

#include <cstdint>

#include "gfx/ScreenRect.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

// Draws the console's rectangles and lines, blended over the picture. Made by a graphics driver.
class ConsoleRenderer : public Ref::Object {
public:
    virtual bool Reset() = 0;
    virtual void Invalidate() = 0;
    virtual void GetScreenSize(std::uint32_t& width, std::uint32_t& height) = 0;
    virtual void FillRect(const ScreenRect& rect, const Color& color) = 0;
    virtual void DrawLine(const ScreenPoint& from, const ScreenPoint& to, const Color& color) = 0;
};

} // namespace Halvo::Gfx
