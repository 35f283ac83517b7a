#include "app/WindowPlace.h"

#include <algorithm>
#include <charconv>

namespace Halvo::App {

namespace {
// How much of the window's top edge must be on a display to grab it: its title bar, near enough.
constexpr std::int32_t GrabWidth = 64;
constexpr std::int32_t GrabHeight = 16;
} // namespace

bool WindowPlace::Parse(const std::string& text) {
    std::int32_t values[4] = {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        const auto [next, failure] = std::from_chars(at, end, values[i]);
        if (failure != std::errc() || (i < 3 && (next == end || *next != ','))) {
            return false;
        }
        at = i < 3 ? next + 1 : next;
    }
    if (at != end || values[2] <= 0 || values[3] <= 0) {
        return false;
    }
    rect = {values[0], values[1], values[2], values[3]};
    return true;
}

std::string WindowPlace::Text() const {
    return std::to_string(rect.x) + "," + std::to_string(rect.y) + "," + std::to_string(rect.width) + "," +
           std::to_string(rect.height);
}

bool WindowPlace::Reachable(const std::vector<Rect>& displays) const {
    // 64-bit sums: a remembered place may hold any 32-bit numbers.
    const std::int64_t grabWidth = std::min<std::int64_t>(GrabWidth, rect.width);
    for (const Rect& display : displays) {
        const std::int64_t left = std::max<std::int64_t>(rect.x, display.x);
        const std::int64_t right = std::min<std::int64_t>(std::int64_t{rect.x} + rect.width,
                                                          std::int64_t{display.x} + display.width);
        const std::int64_t top = std::max<std::int64_t>(rect.y, display.y);
        const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{rect.y} + GrabHeight,
                                                           std::int64_t{display.y} + display.height);
        if (right - left >= grabWidth && bottom - top >= GrabHeight) {
            return true;
        }
    }
    return false;
}

} // namespace Halvo::App
