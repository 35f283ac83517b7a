#include "gfx/PixelFormatter.h"

namespace Halvo::Gfx {

PixelFormatter::PixelFormatter(PixelFormat format) {
    SetFormat(format);
}

void PixelFormatter::SetFormat(PixelFormat newFormat) {
    const PixelFormatInfo& info = GetFormatInfo(newFormat);
    format = newFormat;
    shift = info.shift;
    max = info.max;
    for (std::size_t channel = 0; channel < scale.size(); ++channel) {
        scale[channel] = static_cast<float>(max[channel]);
    }
}

std::uint64_t PixelFormatter::PackChannel(float component, std::size_t channel) const {
    const auto value = static_cast<std::uint64_t>(TruncateToInteger(component * scale[channel]));
    return (value & max[channel]) << shift[channel];
}

std::uint64_t PixelFormatter::Pack(float red, float green, float blue, float alpha) const {
    using Info = PixelFormatInfo;
    if (format == PixelFormat::P8 || format == PixelFormat::A8P8) {
        const std::uint64_t index = palette ? palette->FindNearest(red, green, blue, alpha) : 0;
        return format == PixelFormat::P8 ? index : index | PackChannel(alpha, Info::Alpha);
    }
    return PackChannel(alpha, Info::Alpha) | PackChannel(blue, Info::Blue) | PackChannel(green, Info::Green) |
           PackChannel(red, Info::Red);
}

} // namespace Halvo::Gfx
