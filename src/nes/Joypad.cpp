#include "nes/Joypad.h"

#include "nes/ButtonState.h"

namespace Halvo::Nes {

std::uint8_t Joypad::Read(std::uint32_t, std::uint32_t line) {
    if (line != 0) {
        return 0;
    }
    const std::uint8_t bit = shift & 1;
    shift = static_cast<std::uint8_t>(shift >> 1 | fill);
    return bit;
}

void Joypad::Write(std::uint8_t value) {
    // The buttons are latched on the falling edge of the strobe only.
    if ((strobe & 1) != 0 && (value & 1) == 0) {
        shift = buttons ? buttons->Latch(pad) : 0;
    }
    strobe = value;
}

} // namespace Halvo::Nes
