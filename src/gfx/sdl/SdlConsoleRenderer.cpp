#include "gfx/sdl/SdlConsoleRenderer.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "gfx/sdl/SdlFormats.h"

namespace Halvo::Gfx {

bool SdlConsoleRenderer::Reset() {
    ready = true;
    return true;
}

void SdlConsoleRenderer::Invalidate() {
    ready = false;
}

void SdlConsoleRenderer::GetScreenSize(std::uint32_t& width, std::uint32_t& height) {
    int w = 0;
    int h = 0;
    if (!device->renderer || SDL_GetRendererOutputSize(device->renderer, &w, &h) != 0) {
        w = 0;
        h = 0;
    }
    width = static_cast<std::uint32_t>(w);
    height = static_cast<std::uint32_t>(h);
}

bool SdlConsoleRenderer::Prepare(const Color& color) {
    if (!ready || !device->renderer) {
        return false;
    }
    SDL_SetRenderDrawBlendMode(device->renderer, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(device->renderer, ColorByte(color.red), ColorByte(color.green),
                           ColorByte(color.blue), ColorByte(color.alpha));
    return true;
}

void SdlConsoleRenderer::FillRect(const ScreenRect& rect, const Color& color) {
    if (!Prepare(color)) {
        return;
    }
    // Two triangles through the four corners cover the same pixels whichever way round the corners are.
    const auto [left, right] = std::minmax(rect.left, rect.right);
    const auto [top, bottom] = std::minmax(rect.top, rect.bottom);
    const SDL_Rect area{left, top, right - left, bottom - top};
    SDL_RenderFillRect(device->renderer, &area);
}

void SdlConsoleRenderer::DrawLine(const ScreenPoint& from, const ScreenPoint& to, const Color& color) {
    const int dx = to.x - from.x;
    const int dy = to.y - from.y;
    if ((dx == 0 && dy == 0) || !Prepare(color)) {
        return;
    }
    // Stop one pixel short along the major axis, where a device's line rasterisation stops.
    int lastX = to.x;
    int lastY = to.y;
    if (std::abs(dx) >= std::abs(dy)) {
        const int steps = std::abs(dx);
        lastX = to.x - (dx > 0 ? 1 : -1);
        lastY = from.y + static_cast<int>(static_cast<long long>(dy) * (steps - 1) / steps);
    } else {
        const int steps = std::abs(dy);
        lastY = to.y - (dy > 0 ? 1 : -1);
        lastX = from.x + static_cast<int>(static_cast<long long>(dx) * (steps - 1) / steps);
    }
    SDL_RenderDrawLine(device->renderer, from.x, from.y, lastX, lastY);
}

} // namespace Halvo::Gfx
