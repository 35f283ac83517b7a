#include "shell/DisplayGeometry.h"

#include <algorithm>
#include <cstdint>

namespace Halvo {

Gfx::ScreenRect DisplayRectangle(std::uint32_t width, std::uint32_t height, bool keepShape) {
    // Wide products: the height times 256 passes 32 bits for sizes the variables can name.
    std::int64_t pictureWidth = width;
    std::int64_t pictureHeight = height;
    if (keepShape) {
        if (static_cast<float>(width) / static_cast<float>(height) >= 8.0f / 7.0f) {
            pictureWidth = std::int64_t{height} * 256 / 224;
        } else {
            pictureHeight = std::int64_t{width} * 224 / 256;
        }
    }
    const std::int64_t left = (width - pictureWidth) / 2;
    const std::int64_t top = (height - pictureHeight) / 2;
    // Screen coordinates are 32-bit: a size past them keeps its left and top and ends at the limit.
    const auto limited = [](std::int64_t value) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(value, INT32_MAX));
    };
    return {limited(left), limited(top), limited(left + pictureWidth), limited(top + pictureHeight)};
}

Gfx::ScreenRect IntegerDisplayRectangle(std::uint32_t width, std::uint32_t height) {
    const std::uint32_t scale = std::min(width / 256, height / 224);
    if (scale == 0) {
        return DisplayRectangle(width, height, true);
    }
    const auto left = static_cast<std::int32_t>((width - 256 * scale) / 2);
    const auto top = static_cast<std::int32_t>((height - 224 * scale) / 2);
    return {left, top, left + static_cast<std::int32_t>(256 * scale),
            top + static_cast<std::int32_t>(224 * scale)};
}

std::uint32_t ConsoleFontHeight(std::uint32_t width, std::uint32_t height) {
    const std::uint32_t shorter = std::min(width, height);
    return shorter <= 300 ? shorter / 28 : shorter / 38;
}

} // namespace Halvo
