#pragma once

#include <cstdint>

namespace Halvo::Nes {

// The buttons of a machine's two joypads as the player holds them, fed by the program (key bindings,
// gamepads, input scripts) and latched by the machine's joypads when a game strobes them. Each source of
// buttons is kept apart and OR-ed at the latch, so that a key and a gamepad holding the same button do not
// release each other. A button pressed since the previous latch counts as held at the next one, so that a tap
// shorter than a frame is not lost.
class ButtonState {
public:
    static constexpr std::uint32_t Pads = 2;
    enum Source : std::uint32_t { Keys, Gamepad, Sources };

    // Sets what one source holds on a pad (the joypad's button bits); out-of-range pads are ignored.
    void SetHeld(std::uint32_t pad, Source source, std::uint8_t buttons) {
        if (pad < Pads && source < Sources) {
            pressed[pad] |= buttons & ~held[pad][source];
            held[pad][source] = buttons;
        }
    }
    std::uint8_t Held(std::uint32_t pad, Source source) const {
        return pad < Pads && source < Sources ? held[pad][source] : 0;
    }

    // What a joypad latches: every source's buttons and those pressed since the previous latch. The pad
    // cannot press opposite directions at once: Up wins over Down and Left over Right.
    std::uint8_t Latch(std::uint32_t pad) {
        if (pad >= Pads) {
            return 0;
        }
        std::uint8_t buttons = pressed[pad];
        for (const std::uint8_t source : held[pad]) {
            buttons |= source;
        }
        pressed[pad] = 0;
        if (buttons & UpBit) {
            buttons &= static_cast<std::uint8_t>(~DownBit);
        }
        if (buttons & LeftBit) {
            buttons &= static_cast<std::uint8_t>(~RightBit);
        }
        return buttons;
    }

    // The pad holds exactly `buttons`, from no other source and with no earlier press still to latch (a
    // movie's frame, which must latch alike however it came about).
    void SetExactly(std::uint32_t pad, std::uint8_t buttons) {
        if (pad < Pads) {
            for (std::uint8_t& source : held[pad]) {
                source = 0;
            }
            held[pad][Keys] = buttons;
            pressed[pad] = 0;
        }
    }

    // What the next latch would give, leaving it to come.
    std::uint8_t Peek(std::uint32_t pad) const {
        ButtonState copy = *this;
        return copy.Latch(pad);
    }

    // The game reads $4016 or $4017: a frame with none is a lag frame (the game missed its input).
    void NotePoll() { ++polls; }
    // The reads since the last call.
    std::uint32_t TakePolls() {
        const std::uint32_t count = polls;
        polls = 0;
        return count;
    }

    // Forgets every button, presses not yet latched included.
    void Clear() { *this = ButtonState(); }

private:
    static constexpr std::uint8_t UpBit = 0x10, DownBit = 0x20, LeftBit = 0x40, RightBit = 0x80;

    std::uint8_t held[Pads][Sources] = {};
    std::uint8_t pressed[Pads] = {};
    std::uint32_t polls = 0;
};

} // namespace Halvo::Nes
