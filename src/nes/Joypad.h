#pragma once

#include <cstdint>

#include "nes/ExtDevice.h"

namespace Halvo::Nes {

// The standard controller. When the strobe line falls it latches its eight buttons from the keyboard;
// each read of data line 0 then shifts out one button: A, B, Select, Start, Up, Down, Left, Right.
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

    // Which key drives which button, in the order the buttons are latched.
    struct Binding {
        Button button;
        std::uint32_t keyCode;
    };
    static const Binding Bindings[8];

    Joypad() { drivenLines = 0x01; }

    std::uint8_t Read(std::uint32_t port, std::uint32_t line) override;
    void Write(std::uint8_t value) override;
    void State(StateIo& io) override;

    std::uint8_t strobe = 0;
    std::uint8_t shift = 0;

private:
    static std::uint8_t SampleKeyboard();
};

} // namespace Halvo::Nes
