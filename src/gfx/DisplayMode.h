#pragma once

#include <cstdint>
#include <string>
#include <tuple>

#include "gfx/PixelFormat.h"

namespace Halvo::Gfx {

// A full-screen mode of a display adapter.
struct DisplayMode {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelFormat format = PixelFormat::Unknown;

    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
    // Drivers list modes ascending by format (compared as a signed number), then width, then height.
    friend bool operator<(const DisplayMode& a, const DisplayMode& b) {
        return std::make_tuple(static_cast<std::int32_t>(a.format), a.width, a.height) <
               std::make_tuple(static_cast<std::int32_t>(b.format), b.width, b.height);
    }
};

// What the shell asks a driver to set up.
struct DisplayConfig {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    PixelFormat format = PixelFormat::Unknown;
    bool windowed = false;
    bool vsync = false;

    friend bool operator==(const DisplayConfig&, const DisplayConfig&) = default;
};

// What a driver tells about one of its display adapters.
struct AdapterInfo {
    std::uint32_t index = 0;
    std::string driverName;
    std::string description; // what the console shows
    bool canRenderWindowed = false;
    bool canSyncRetrace = false;
    bool canStretch = false;
    std::uint32_t maxWindowWidth = 0; // largest client size of a window on the desktop
    std::uint32_t maxWindowHeight = 0;
    PixelFormat desktopFormat = PixelFormat::Unknown;
    bool desktopUsable = false; // the adapter can render in the desktop's format
};

} // namespace Halvo::Gfx
