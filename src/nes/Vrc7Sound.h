#pragma once

#include <array>
#include <cstdint>

#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The VRC7's sound, a cut-down Yamaha YM2413 (OPLL): six FM channels, each a modulator operator whose
// sine output bends the phase of a carrier operator, with 15 fixed instruments and one the program
// defines (registers $00-$07). The chip makes a sample every 36 processor cycles (3.58 MHz / 72).
//
// Per channel: a 9-bit frequency number F and a 3-bit octave B give the phase step F x 2^B x multiple
// / 2 per sample of a 19-bit phase, so a note sounds at 49716 x F x 2^(B-1) x multiple / 2^18 Hz.
// Each operator's loudness is an attenuation in 0.375 dB steps: its envelope (attack, decay to the
// sustain level, sustain or continued decay, release), its total level (the modulator's, 0.75 dB
// steps) or the channel's volume (the carrier's, 3 dB steps), key scaling and tremolo. Vibrato
// bends the phase step; feedback feeds the modulator's last outputs back into its own phase; either
// operator may play only the positive half of its sine. The carrier's sum over the channels is the
// output: a full-volume pseudo-square is about 11 dB louder than one of the console's pulses.
class Vrc7Sound : public ExpansionSound {
public:
    static constexpr std::uint32_t CyclesPerSample = 36;

    Vrc7Sound();

    // $9010: the register number; $9030: writes it.
    void Select(std::uint8_t value) { selected = value; }
    void Write(std::uint8_t value);
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);
    // The $E000 bit 7 reset line: silences the chip while held.
    void SetSilenced(bool on) { silenced = on; }

    enum Stage : std::uint8_t { Attack, Decay, Sustain, Release, Off };
    struct Operator {
        std::uint32_t phase = 0;      // 19 bits
        std::uint16_t envelope = 127; // 0 (loudest) to 127 (silent), in 0.375 dB
        std::uint8_t stage = Off;
        std::uint32_t envelopeAccumulator = 0;
    };
    struct Channel {
        std::array<Operator, 2> ops{};          // modulator, carrier
        std::array<std::int32_t, 2> feedback{}; // the modulator's last two outputs
        bool keyOn = false;
    };

    std::array<std::uint8_t, 0x40> regs{};
    std::uint8_t selected = 0;
    bool silenced = false;
    std::array<Channel, 6> channels{};
    std::uint32_t countdown = CyclesPerSample;
    std::uint32_t lfoCounter = 0; // samples, for tremolo and vibrato

    // The patch bytes of instrument `instrument` of channel registers (0: the custom one).
    const std::uint8_t* Patch(std::uint32_t instrument) const;

private:
    // What an operator's registers make of it, worked out when they are written rather than for every
    // sample: its phase step, its attenuation apart from the envelope and tremolo, and the envelope's
    // accumulator step in each stage.
    struct Setting {
        std::uint32_t step = 0;
        std::int32_t attenuation = 0;
        std::array<std::uint32_t, 5> envelopeSteps{}; // by stage; 0: the stage holds
        std::uint16_t sustainLevel = 0;
        bool instantAttack = false;
        bool sustained = false;
        bool tremolo = false;
        bool vibrato = false;
        bool halfSine = false;
    };
    struct ChannelSetting {
        std::array<Setting, 2> ops{};
        std::uint32_t feedback = 0; // 0: none
    };

    void KeyChanged(std::uint32_t channel, bool on);
    void Refresh(std::uint32_t channel);
    void RefreshAll();
    std::int32_t Sample();
    // Moves an operator's envelope on by a sample, in a stage that does not hold.
    static void ClockEnvelope(Operator& op, const Setting& setting);

    std::array<ChannelSetting, 6> settings{};
};

} // namespace Halvo::Nes
