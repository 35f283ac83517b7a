#pragma once

#include <SDL.h>

#include "app/Window.h"

namespace Halvo::Nes {
class KeyStateTable;
}

namespace Halvo::App {

class SdlBridge;

// The program's window. It turns SDL's window, key and text events into the shell's operations and
// feeds the key-state table the joypad reads.
class SdlWindow : public Window {
public:
    SdlWindow(Shell* shell, SdlBridge* bridge, Nes::KeyStateTable* keys);
    ~SdlWindow() override;

    void ApplyMode() override;
    void UpdateTitle() override;

    void HandleEvent(const SDL_Event& event);

    SDL_Window* GetSdlWindow() const { return static_cast<SDL_Window*>(handle); }
    // Whether the last ApplyMode got the window into its mode (SDL refused nothing).
    bool IsModeApplied() const { return modeApplied; }
    bool IsActive() const { return active; }

    // The console key code of a scancode, 0 for keys the console does not take.
    static std::uint32_t ConsoleKeyOf(SDL_Scancode scancode);
    // The joypad's key code of a key, 0 for keys it does not know.
    static std::uint32_t JoypadKeyOf(SDL_Keycode key);

    // The display mode full screen asks for (a size of 0 asks for width x height in the desktop's
    // format); after ApplyMode, the mode really in use.
    SDL_DisplayMode fullScreenMode{};

private:
    void HandleWindowEvent(const SDL_WindowEvent& event);
    void Activate(bool nowActive);

    SdlBridge* bridge;
    Nes::KeyStateTable* keys;
    bool active = false;
    bool modeApplied = true;
};

} // namespace Halvo::App
