#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace Halvo::Gfx {

// The pixel formats a display surface can have. The values are fixed: the console lists them by number.
enum class PixelFormat : std::uint32_t {
    Unknown = 0,
    P8 = 1,
    A8 = 2,
    A8P8 = 3,
    R3G3B2 = 4,
    A8R3G3B2 = 5,
    X4R4G4B4 = 6,
    A4R4G4B4 = 7,
    X1R5G5B5 = 8,
    A1R5G5B5 = 9,
    R5G6B5 = 10,
    R8G8B8 = 11,
    X8R8G8B8 = 12,
    A8R8G8B8 = 13,
    A2B10G10R10 = 14,
    G16R16 = 15,
    X16R16G16B16 = 16,
    A16R16G16B16 = 17,
};

// Number of named formats: values 0 to 17.
inline constexpr std::uint32_t PixelFormatCount = 18;

// How one format lays out its channels. A channel with maximum 0 is absent.
struct PixelFormatInfo {
    static constexpr std::size_t Red = 0;
    static constexpr std::size_t Green = 1;
    static constexpr std::size_t Blue = 2;
    static constexpr std::size_t Alpha = 3;

    const char* name;
    std::int32_t bitsPerPixel; // -1 when the format has no known size
    std::array<std::uint8_t, 4> shift;
    std::array<std::uint16_t, 4> max;
};

// The layout of a format; any value outside the named formats gets the "Unknown" row.
const PixelFormatInfo& GetFormatInfo(PixelFormat format);

// Bits per pixel, -1 for "Unknown" and for values outside the named formats.
std::int32_t GetBitsPerPixel(PixelFormat format);

// The format's name as the console shows it; "Unknown" for values outside the named formats.
const char* GetFormatName(PixelFormat format);

// Truncates toward zero like a conversion to an integer, but saturates instead of leaving huge values and
// NaN undefined: colour components come from floating-point arithmetic and are only nominally 0..1.
inline std::int64_t TruncateToInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double limit = 9.0e18;
    if (value >= limit) {
        return static_cast<std::int64_t>(limit);
    }
    if (value <= -limit) {
        return -static_cast<std::int64_t>(limit);
    }
    return static_cast<std::int64_t>(value);
}

} // namespace Halvo::Gfx
