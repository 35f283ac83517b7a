#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Halvo::App {

// Where the window stands on the desktop and how big it is, in windowed mode, kept from one start to
// the next as the words "X,Y,WIDTH,HEIGHT" (X and Y may be negative on a display left of or above the
// first one).
struct WindowPlace {
    struct Rect {
        std::int32_t x = 0;
        std::int32_t y = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
    };

    // Reads "X,Y,WIDTH,HEIGHT"; false (and the place unchanged) for anything else or a size of 0.
    bool Parse(const std::string& text);
    std::string Text() const;
    // Whether enough of the window's top lies on one of the displays to take hold of it and drag it:
    // a display unplugged since the last start, or a smaller desktop, can leave a remembered place off
    // every screen, and the window is then better centred.
    bool Reachable(const std::vector<Rect>& displays) const;

    Rect rect;
};

} // namespace Halvo::App
