#include "gfx/sdl/SdlFormats.h"

namespace Halvo::Gfx {

PixelFormat PixelFormatOfDisplay(Uint32 sdlFormat) {
    switch (sdlFormat) {
    case SDL_PIXELFORMAT_RGB565:
        return PixelFormat::R5G6B5;
    case SDL_PIXELFORMAT_RGB555:
        return PixelFormat::X1R5G5B5;
    case SDL_PIXELFORMAT_ARGB1555:
        return PixelFormat::A1R5G5B5;
    case SDL_PIXELFORMAT_RGB444:
        return PixelFormat::X4R4G4B4;
    case SDL_PIXELFORMAT_ARGB4444:
        return PixelFormat::A4R4G4B4;
    case SDL_PIXELFORMAT_RGB332:
        return PixelFormat::R3G3B2;
    case SDL_PIXELFORMAT_RGB24:
        return PixelFormat::R8G8B8;
    case SDL_PIXELFORMAT_RGB888:
        return PixelFormat::X8R8G8B8;
    case SDL_PIXELFORMAT_ARGB8888:
        return PixelFormat::A8R8G8B8;
    case SDL_PIXELFORMAT_INDEX8:
        return PixelFormat::P8;
    default:
        return PixelFormat::Unknown;
    }
}

PixelFormat PixelFormatOfTexture(Uint32 sdlFormat) {
    switch (sdlFormat) {
    // Three-byte pixels are stored lowest byte (blue) first, which SDL calls BGR24; its RGB24 keeps red
    // first and would show the picture with red and blue swapped.
    case SDL_PIXELFORMAT_BGR24:
        return PixelFormat::R8G8B8;
    case SDL_PIXELFORMAT_RGB24:
        return PixelFormat::Unknown;
    default:
        // The packed formats are native-endian words with the same channel positions in both worlds.
        return PixelFormatOfDisplay(sdlFormat);
    }
}

} // namespace Halvo::Gfx
