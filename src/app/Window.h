#pragma once

#include <cstdint>
#include <string>

#include "app/WindowPlace.h"
#include "ref/Object.h"

namespace Halvo::App {

class Shell;

// The program's one window. A graphics driver sets mode, width and height and calls ApplyMode.
class Window : public Ref::Object {
public:
    enum Mode : std::int32_t { Hidden = 0, Windowed = 1, FullScreen = 2 };

    virtual void ApplyMode() = 0;
    virtual void UpdateTitle() = 0;
    // The refresh rate of the display the window is on, in Hz; 0 when the platform does not say.
    virtual double RefreshRate() { return 0; }

    std::string title;
    std::int32_t mode = Hidden;
    std::uint32_t width = 0; // client size in windowed mode; the screen size in full screen
    std::uint32_t height = 0;
    // Where the window last stood in windowed mode, and its size there; kept while it is full screen,
    // so that leaving full screen brings it back there. The window goes there when it next becomes a
    // window, if `placeKnown` and enough of it would be on a display.
    WindowPlace place;
    bool placeKnown = false;
    Shell* shell = nullptr; // the owning shell, not counted
    void* handle = nullptr; // the native window
};

} // namespace Halvo::App
