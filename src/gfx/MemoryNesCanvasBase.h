#pragma once

#include <cstdint>
#include <vector>

#include "gfx/NesCanvas.h"

namespace Halvo::Gfx {

// The surface half of the platform-free canvas: a plain 256 x 256 block of pixels in memory, with no
// device behind it. The headless runner and the tests draw into it and read the picture back.
class MemoryNesCanvasBase : public virtual NesCanvas {
public:
    static constexpr std::int32_t SurfaceSize = 256;
    // The PPU draws rows 0-239; rows 8-231 are the part a television shows.
    static constexpr std::int32_t PictureHeight = 240;
    static constexpr std::int32_t ShownTop = 8;
    static constexpr std::int32_t ShownHeight = 224;

    // A canvas of the pixel type that fits the format's bits per pixel (8, 16, 24 or 32), or null with
    // an error report for a format no canvas can hold.
    static Ref::Ptr<MemoryNesCanvasBase> Create(PixelFormat format);

    // Memory needs no device resources and is never shown by a device.
    bool Reset() override { return true; }
    void Invalidate() override {}
    void Draw(const ScreenRect&) override {}

    // The whole picture (rows 0-239) as 8-bit RGB, 256 x 240 x 3 bytes, rows top to bottom.
    std::vector<std::uint8_t> GetPicture() const;
    // The shown rows 8-231 as 8-bit RGB, 256 x 224 x 3 bytes.
    std::vector<std::uint8_t> GetShownPicture() const;

    // The stored value of the pixel at (x, y); 0 outside the 256 x 256 surface.
    std::uint32_t GetPixel(std::int32_t x, std::int32_t y) const;

    std::int32_t BytesPerPixel() const { return bytesPerPixel; }
    std::int32_t Pitch() const { return pitch; }
    const std::vector<std::uint8_t>& Surface() const { return surface; }

protected:
    MemoryNesCanvasBase(PixelFormat format, std::int32_t bytesPerPixel);

    std::uint8_t* SurfaceData() { return surface.data(); }

private:
    std::vector<std::uint8_t> ReadRows(std::int32_t first, std::int32_t count) const;

    std::int32_t bytesPerPixel;
    std::int32_t pitch;
    std::vector<std::uint8_t> surface;
};

} // namespace Halvo::Gfx
