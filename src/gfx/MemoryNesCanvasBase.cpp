#include "gfx/MemoryNesCanvasBase.h"

#include "console/System.h"
#include "gfx/MemoryNesCanvas.h"

namespace Halvo::Gfx {

namespace {

// A channel of `maximum` steps scaled to 0..255, rounded to nearest.
std::uint8_t ScaleChannel(std::uint64_t pixel, std::uint8_t shift, std::uint16_t maximum) {
    if (maximum == 0) {
        return 0;
    }
    const std::uint64_t value = (pixel >> shift) & maximum;
    return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
}

} // namespace

MemoryNesCanvasBase::MemoryNesCanvasBase(PixelFormat format, std::int32_t bytesPerPixel)
    : NesCanvas(format), bytesPerPixel(bytesPerPixel), pitch(SurfaceSize * bytesPerPixel),
      surface(static_cast<std::size_t>(pitch) * SurfaceSize) {}

Ref::Ptr<MemoryNesCanvasBase> MemoryNesCanvasBase::Create(PixelFormat format) {
    switch (GetBitsPerPixel(format)) {
    case 8:
        return Ref::New<MemoryNesCanvas<unsigned char, 0>>(format);
    case 16:
        return Ref::New<MemoryNesCanvas<unsigned short, 1>>(format);
    case 24:
        return Ref::New<MemoryNesCanvas<unsigned int, 2>>(format);
    case 32:
        return Ref::New<MemoryNesCanvas<unsigned int, 3>>(format);
    default:
        Console::ReportError("Halvo::Gfx::MemoryNesCanvasBase::Create", __LINE__)
            << "No NES canvas for pixel format " << GetFormatName(format) << "." << std::endl;
        return nullptr;
    }
}

std::uint32_t MemoryNesCanvasBase::GetPixel(std::int32_t x, std::int32_t y) const {
    if (x < 0 || x >= SurfaceSize || y < 0 || y >= SurfaceSize) {
        return 0;
    }
    const std::uint8_t* bytes = surface.data() + static_cast<std::size_t>(y) * pitch + x * bytesPerPixel;
    std::uint32_t value = 0;
    for (std::int32_t byte = 0; byte < bytesPerPixel; ++byte) {
        value |= static_cast<std::uint32_t>(bytes[byte]) << (8 * byte);
    }
    return value;
}

std::vector<std::uint8_t> MemoryNesCanvasBase::ReadRows(std::int32_t first, std::int32_t count) const {
    using Info = PixelFormatInfo;
    const PixelFormat format = formatter->format;
    const PixelFormatInfo& info = GetFormatInfo(format);
    const bool indexed = (format == PixelFormat::P8 || format == PixelFormat::A8P8) && palette;

    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(SurfaceSize) * count * 3);
    for (std::int32_t y = first; y < first + count; ++y) {
        for (std::int32_t x = 0; x < SurfaceSize; ++x) {
            const std::uint32_t pixel = GetPixel(x, y);
            if (indexed) {
                // The palette index is the low byte ("A8P8" keeps alpha above it).
                const Palette::Entry& entry = palette->entries[pixel & 0xFF];
                rgb.insert(rgb.end(), {entry.red, entry.green, entry.blue});
            } else {
                rgb.insert(rgb.end(), {ScaleChannel(pixel, info.shift[Info::Red], info.max[Info::Red]),
                                       ScaleChannel(pixel, info.shift[Info::Green], info.max[Info::Green]),
                                       ScaleChannel(pixel, info.shift[Info::Blue], info.max[Info::Blue])});
            }
        }
    }
    return rgb;
}

std::vector<std::uint8_t> MemoryNesCanvasBase::GetPicture() const {
    return ReadRows(0, PictureHeight);
}

std::vector<std::uint8_t> MemoryNesCanvasBase::GetShownPicture() const {
    return ReadRows(ShownTop, ShownHeight);
}

} // namespace Halvo::Gfx
