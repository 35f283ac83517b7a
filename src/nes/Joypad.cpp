#include "nes/Joypad.h"

#include "nes/KeyState.h"

namespace Halvo::Nes {

const Joypad::Binding Joypad::Bindings[8] = {
    {ButtonA, 'X'},
    {ButtonB, 'Z'},
    {ButtonSelect, 'A'},
    {ButtonStart, 'S'},
    {ButtonUp, KeyUpArrow},
    {ButtonDown, KeyDownArrow},
    {ButtonLeft, KeyLeftArrow},
    {ButtonRight, KeyRightArrow},
};

std::uint8_t Joypad::Read(std::uint32_t, std::uint32_t line) {
    if (line != 0) {
        return 0;
    }
    const std::uint8_t bit = shift & 1;
    shift >>= 1;
    return bit;
}

void Joypad::Write(std::uint8_t value) {
    if ((strobe & 1) != 0 && (value & 1) == 0) {
        shift = SampleKeyboard();
    }
    strobe = value;
}

std::uint8_t Joypad::SampleKeyboard() {
    KeyState* keys = KeyState::Current();
    if (!keys) {
        return 0;
    }
    std::uint8_t buttons = 0;
    for (const Binding& binding : Bindings) {
        // The pad cannot press opposite directions at once: Down and Right count only when Up and
        // Left are not pressed.
        if ((binding.button == ButtonDown && (buttons & ButtonUp)) ||
            (binding.button == ButtonRight && (buttons & ButtonLeft))) {
            continue;
        }
        if (keys->IsPressed(binding.keyCode)) {
            buttons |= binding.button;
        }
    }
    return buttons;
}

} // namespace Halvo::Nes
