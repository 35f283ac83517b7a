#pragma once

#include <cstdint>

#include "nes/ButtonState.h"
#include "nes/ExtDevice.h"

namespace Halvo::Nes {

// The standard controller. When the strobe line falls it latches its eight buttons from the buttons the
// player holds on its machine (ButtonState); each read of data line 0 then shifts out one button: A, B,
// Select, Start, Up, Down, Left, Right.
class Joypad : public ExtDevice {
public:
    enum Button : std::uint8_t {
        ButtonA = 0x01,
        ButtonB = 0x02,
        ButtonSelect = 0x04,
        ButtonStart = 0x08,
        ButtonUp = 0x10,
        ButtonDown = 0x20,
        ButtonLeft = 0x40,
        ButtonRight = 0x80,
    };

    // The joypad of player `pad` + 1 (0 or 1), latching from `buttons` (null: no buttons held). After
    // its eighth read it answers 0, or with `onesAfterButtons` 1 as Nintendo's own controllers do.
    Joypad(ButtonState* buttons, std::uint32_t pad, bool onesAfterButtons = false)
        : buttons(buttons), pad(pad), fill(onesAfterButtons ? 0x80 : 0) {
        drivenLines = 0x01;
    }

    std::uint8_t Read(std::uint32_t port, std::uint32_t line) override;
    void Write(std::uint8_t value) override;
    void State(StateIo& io) override;

    ButtonState* const buttons;
    const std::uint32_t pad;
    // What enters the shift register at the top.
    const std::uint8_t fill;
    std::uint8_t strobe = 0;
    std::uint8_t shift = 0;
};

} // namespace Halvo::Nes
