#pragma once

#include <SDL.h>

#include "gfx/PixelFormat.h"

namespace Halvo::Gfx {

// The pixel format of an SDL display mode; "Unknown" for formats the program has no name for.
PixelFormat PixelFormatOfDisplay(Uint32 sdlFormat);

// The pixel format of an SDL texture whose memory the NES renderer writes directly: the layout must
// match byte for byte, so only formats stored exactly like the named one convert; anything else is
// "Unknown".
PixelFormat PixelFormatOfTexture(Uint32 sdlFormat);

} // namespace Halvo::Gfx

namespace Halvo::Gfx {

// A colour component (nominally 0.0..1.0) as the byte a device colour stores: trunc(component x 255),
// keeping the low byte.
inline Uint8 ColorByte(float component) {
    return static_cast<Uint8>(TruncateToInteger(static_cast<double>(component * 255.0f)) & 0xFF);
}

} // namespace Halvo::Gfx
