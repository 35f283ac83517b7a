#pragma once

#include <cstdint>

namespace Halvo::App {

// A gamepad's controls as the window hands them to the shell, named by position as on the common
// modern pads (the face buttons south, east, west and north), whatever the pad prints on them.
enum class GamepadButton : std::uint32_t {
    South,
    East,
    West,
    North,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight,
    Other,
};

enum class GamepadAxis : std::uint32_t { LeftX, LeftY, Other };

} // namespace Halvo::App
