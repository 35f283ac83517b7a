#include "gfx/PixelFormat.h"

namespace Halvo::Gfx {

namespace {

// clang-format off
//                                                    shift: R   G   B   A       max: R      G      B      A
constexpr PixelFormatInfo Formats[PixelFormatCount] = {
    {"Unknown",      -1, {{ 0,  0,  0,  0}}, {{    0,     0,     0,     0}}},
    {"P8",            8, {{ 0,  0,  0,  0}}, {{    0,     0,     0,     0}}},
    {"A8",            8, {{ 0,  0,  0,  0}}, {{    0,     0,     0,   255}}},
    {"A8P8",         16, {{ 0,  0,  0,  8}}, {{    0,     0,     0,   255}}},
    {"R3G3B2",        8, {{ 5,  2,  0,  0}}, {{    7,     7,     3,     0}}},
    {"A8R3G3B2",     16, {{ 5,  2,  0,  8}}, {{    7,     7,     3,   255}}},
    {"X4R4G4B4",     16, {{ 8,  4,  0,  0}}, {{   15,    15,    15,     0}}},
    {"A4R4G4B4",     16, {{ 8,  4,  0, 12}}, {{   15,    15,    15,    15}}},
    {"X1R5G5B5",     16, {{10,  5,  0,  0}}, {{   31,    31,    31,     0}}},
    {"A1R5G5B5",     16, {{10,  5,  0, 15}}, {{   31,    31,    31,     1}}},
    {"R5G6B5",       16, {{11,  5,  0,  0}}, {{   31,    63,    31,     0}}},
    {"R8G8B8",       24, {{16,  8,  0,  0}}, {{  255,   255,   255,     0}}},
    {"X8R8G8B8",     32, {{16,  8,  0,  0}}, {{  255,   255,   255,     0}}},
    {"A8R8G8B8",     32, {{16,  8,  0, 24}}, {{  255,   255,   255,   255}}},
    {"A2B10G10R10",  32, {{ 0, 10, 20, 30}}, {{ 1023,  1023,  1023,     3}}},
    {"G16R16",       32, {{ 0, 16,  0,  0}}, {{65535, 65535,     0,     0}}},
    {"X16R16G16B16", 64, {{32, 16,  0,  0}}, {{65535, 65535, 65535,     0}}},
    {"A16R16G16B16", 64, {{32, 16,  0, 48}}, {{65535, 65535, 65535, 65535}}},
};
// clang-format on

} // namespace

const PixelFormatInfo& GetFormatInfo(PixelFormat format) {
    const auto value = static_cast<std::uint32_t>(format);
    // The console hands in whatever number the user typed: anything past the table is "Unknown".
    return value < PixelFormatCount ? Formats[value] : Formats[0];
}

std::int32_t GetBitsPerPixel(PixelFormat format) {
    return GetFormatInfo(format).bitsPerPixel;
}

const char* GetFormatName(PixelFormat format) {
    return GetFormatInfo(format).name;
}

} // namespace Halvo::Gfx
