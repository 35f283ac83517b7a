#pragma once

#include <vector>

#include <SDL.h>

namespace Halvo::App {

class Shell;

// SDL's game controllers, handed to the shell as platform-free gamepad events. Each controller takes the
// lowest free slot when it is plugged in (SDL also announces the ones present at start) and keeps it
// until it is unplugged.
class SdlGamepads {
public:
    SdlGamepads();
    ~SdlGamepads();
    SdlGamepads(const SdlGamepads&) = delete;
    SdlGamepads& operator=(const SdlGamepads&) = delete;

    // Handles a controller event; false for events of other kinds.
    bool HandleEvent(const SDL_Event& event, Shell* shell);

private:
    struct Pad {
        SDL_GameController* controller = nullptr;
        SDL_JoystickID id = -1;
    };
    // The slot of a controller, or -1.
    int SlotOf(SDL_JoystickID id) const;

    bool available = false;
    std::vector<Pad> pads;
};

} // namespace Halvo::App
