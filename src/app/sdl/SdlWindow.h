#pragma once

#include <span>
#include <utility>

#include <SDL.h>

#include "app/Window.h"
#include "app/sdl/SdlGamepads.h"

namespace Halvo::App {

class SdlBridge;

// The program's window. It turns SDL's window, key, text and game-controller events into the shell's
// operations.
class SdlWindow : public Window {
public:
    SdlWindow(Shell* shell, SdlBridge* bridge);
    ~SdlWindow() override;

    void ApplyMode() override;
    void UpdateTitle() override;
    double RefreshRate() override;

    void HandleEvent(const SDL_Event& event);

    SDL_Window* GetSdlWindow() const { return static_cast<SDL_Window*>(handle); }
    // Whether the last ApplyMode got the window into its mode (SDL refused nothing).
    bool IsModeApplied() const { return modeApplied; }
    bool IsActive() const { return active; }

    // The console key code of a scancode, 0 for keys the console does not take.
    static std::uint32_t ConsoleKeyOf(SDL_Scancode scancode);
    // The App::KeyCode of SDL's key, 0 for keys the bindings do not know.
    static std::uint32_t KeyCodeOf(SDL_Keycode key);
    // SDL's key of each key code of App::KeyNames.
    static std::span<const std::pair<SDL_Keycode, std::uint32_t>> KeyTable();

    // The display mode full screen asks for (a size of 0 asks for width x height in the desktop's
    // format); after ApplyMode, the mode really in use.
    SDL_DisplayMode fullScreenMode{};

private:
    void HandleWindowEvent(const SDL_WindowEvent& event);
    // Puts a window that was hidden or full screen back where it stood, when that is on a display.
    void RestorePlace();
    void Activate(bool nowActive);

    SdlBridge* bridge;
    SdlGamepads gamepads;
    bool active = false;
    bool modeApplied = true;
    std::int32_t appliedMode = Hidden;
};

} // namespace Halvo::App
