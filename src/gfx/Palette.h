#pragma once

#include <array>
#include <cstdint>

#include "ref/Object.h"

namespace Halvo::Gfx {

// A 256-entry colour table for the paletted surface formats ("P8", "A8P8").
class Palette : public Ref::Object {
public:
    struct Entry {
        std::uint8_t red;
        std::uint8_t green;
        std::uint8_t blue;
        std::uint8_t alpha;

        friend bool operator==(const Entry&, const Entry&) = default;
    };

    Palette();

    // The index of the entry nearest to the colour (components nominally 0.0..1.0); ties keep the
    // lower index.
    std::uint32_t FindNearest(float red, float green, float blue, float alpha) const;

    // Set whenever an entry changes, so that the surface's palette is loaded again before drawing.
    bool dirty = true;
    std::array<Entry, 256> entries;
};

} // namespace Halvo::Gfx
