#include "app/sdl/SdlGamepads.h"

#include <string>

#include "app/Shell.h"
#include "console/System.h"

namespace Halvo::App {

namespace {

GamepadButton ButtonOf(Uint8 button) {
    // SDL names the face buttons after one maker's pad, by position: A south, B east, X west, Y north.
    switch (button) {
    case SDL_CONTROLLER_BUTTON_A:
        return GamepadButton::South;
    case SDL_CONTROLLER_BUTTON_B:
        return GamepadButton::East;
    case SDL_CONTROLLER_BUTTON_X:
        return GamepadButton::West;
    case SDL_CONTROLLER_BUTTON_Y:
        return GamepadButton::North;
    case SDL_CONTROLLER_BUTTON_BACK:
        return GamepadButton::Back;
    case SDL_CONTROLLER_BUTTON_GUIDE:
        return GamepadButton::Guide;
    case SDL_CONTROLLER_BUTTON_START:
        return GamepadButton::Start;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK:
        return GamepadButton::LeftStick;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK:
        return GamepadButton::RightStick;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
        return GamepadButton::LeftShoulder;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
        return GamepadButton::RightShoulder;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
        return GamepadButton::DpadUp;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
        return GamepadButton::DpadDown;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
        return GamepadButton::DpadLeft;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
        return GamepadButton::DpadRight;
    default:
        return GamepadButton::Other;
    }
}

GamepadAxis AxisOf(Uint8 axis) {
    switch (axis) {
    case SDL_CONTROLLER_AXIS_LEFTX:
        return GamepadAxis::LeftX;
    case SDL_CONTROLLER_AXIS_LEFTY:
        return GamepadAxis::LeftY;
    default:
        return GamepadAxis::Other;
    }
}

} // namespace

SdlGamepads::SdlGamepads() {
    // The game runs only while the window has the focus, but a button let go meanwhile must still be
    // seen as released; SDL drops controller events of unfocused programs unless told otherwise.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    available = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (!available) {
        Console::System::Instance()->Output() << "No gamepads: " << SDL_GetError() << std::endl;
    }
}

SdlGamepads::~SdlGamepads() {
    for (Pad& pad : pads) {
        if (pad.controller) {
            SDL_GameControllerClose(pad.controller);
        }
    }
    if (available) {
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    }
}

int SdlGamepads::SlotOf(SDL_JoystickID id) const {
    for (std::size_t slot = 0; slot < pads.size(); ++slot) {
        if (pads[slot].controller && pads[slot].id == id) {
            return static_cast<int>(slot);
        }
    }
    return -1;
}

bool SdlGamepads::HandleEvent(const SDL_Event& event, Shell* shell) {
    switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED: {
        // The event carries a device index; the other events the instance id of the opened device.
        SDL_GameController* controller = SDL_GameControllerOpen(event.cdevice.which);
        if (!controller) {
            return true;
        }
        const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
        if (SlotOf(id) >= 0) {
            // Already open: SDL announces a pad plugged in before start-up both ways.
            SDL_GameControllerClose(controller);
            return true;
        }
        std::size_t slot = 0;
        while (slot < pads.size() && pads[slot].controller) {
            ++slot;
        }
        if (slot == pads.size()) {
            pads.emplace_back();
        }
        pads[slot] = {controller, id};
        const char* name = SDL_GameControllerName(controller);
        if (shell) {
            shell->OnGamepadConnected(static_cast<std::uint32_t>(slot), name ? name : "unnamed gamepad");
        }
        return true;
    }
    case SDL_CONTROLLERDEVICEREMOVED: {
        const int slot = SlotOf(event.cdevice.which);
        if (slot >= 0) {
            Pad& pad = pads[static_cast<std::size_t>(slot)];
            const char* name = SDL_GameControllerName(pad.controller);
            const std::string kept = name ? name : "unnamed gamepad";
            SDL_GameControllerClose(pad.controller);
            pad = Pad{};
            if (shell) {
                shell->OnGamepadDisconnected(static_cast<std::uint32_t>(slot), kept);
            }
        }
        return true;
    }
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
        const int slot = SlotOf(event.cbutton.which);
        if (slot >= 0 && shell) {
            shell->OnGamepadButton(static_cast<std::uint32_t>(slot), ButtonOf(event.cbutton.button),
                                   event.type == SDL_CONTROLLERBUTTONDOWN);
        }
        return true;
    }
    case SDL_CONTROLLERAXISMOTION: {
        const int slot = SlotOf(event.caxis.which);
        if (slot >= 0 && shell) {
            shell->OnGamepadAxis(static_cast<std::uint32_t>(slot), AxisOf(event.caxis.axis),
                                 event.caxis.value);
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace Halvo::App
