#pragma once

#include "gfx/ConsoleRenderer.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// Draws the console's rectangles and lines with the driver's renderer, alpha-blended over the picture.
class SdlConsoleRenderer : public ConsoleRenderer {
public:
    explicit SdlConsoleRenderer(Ref::Ptr<SdlDevice> device) : device(std::move(device)) {}

    bool Reset() override;
    void Invalidate() override;
    // The size of the renderer's output in pixels; 0 x 0 without a renderer.
    void GetScreenSize(std::uint32_t& width, std::uint32_t& height) override;
    void FillRect(const ScreenRect& rect, const Color& color) override;
    // Like a device's line list, the end point itself is not drawn.
    void DrawLine(const ScreenPoint& from, const ScreenPoint& to, const Color& color) override;

private:
    // Sets the blended draw colour; false when there is nothing to draw with.
    bool Prepare(const Color& color);

    Ref::Ptr<SdlDevice> device;
    // Set by Reset, cleared by Invalidate: drawing only happens between the two.
    bool ready = false;
};

} // namespace Halvo::Gfx
