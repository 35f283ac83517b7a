#pragma once

#include <array>
#include <cstdint>

#include "gfx/Palette.h"
#include "gfx/PixelFormat.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

// Packs floating-point RGBA colours into pixels of one format.
class PixelFormatter : public Ref::Object {
public:
    explicit PixelFormatter(PixelFormat format);

    void SetFormat(PixelFormat format);

    // The colour (components nominally 0.0..1.0) as a pixel of type T. Each channel is truncated and
    // masked to its maximum; "P8" and "A8P8" take the index of the nearest entry of `palette` (0 while
    // there is no palette). The 64-bit formats need T = std::uint64_t.
    template <class T = std::uint32_t>
    T FormatPixel(float red, float green, float blue, float alpha) const {
        return static_cast<T>(Pack(red, green, blue, alpha));
    }

    Ref::Ptr<Palette> palette;
    PixelFormat format = PixelFormat::Unknown;
    std::array<std::uint8_t, 4> shift{};
    std::array<std::uint16_t, 4> max{};
    std::array<float, 4> scale{};

private:
    std::uint64_t Pack(float red, float green, float blue, float alpha) const;
    std::uint64_t PackChannel(float component, std::size_t channel) const;
};

} // namespace Halvo::Gfx
