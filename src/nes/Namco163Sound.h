#pragma once

#include <array>
#include <cstdint>

#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The Namco 163's sound: 128 bytes of sound RAM holding 4-bit wave samples (two to a byte, the low
// nibble first) and, from $40 up, the registers of up to eight channels (8 bytes each, channel 8 at
// $78: frequency, phase, wave length and address, volume; $7F also says how many channels run). The
// chip updates one channel every 15 processor cycles, from channel 8 down: the phase (24 bits) adds the
// 18-bit frequency, wrapping at the wave length, and the channel's sample minus 8 times its volume goes
// to the DAC until the next update. With n channels each thus sounds 1/n of the time, and the switching
// is heard as a whine at 1789773 / (15 n) Hz; the averaged mode outputs the mean of the channels
// instead, as most players offer. A single channel's square at full volume is about 11 dB louder than
// one of the console's pulses.
class Namco163Sound : public ExpansionSound {
public:
    static constexpr std::uint32_t CyclesPerUpdate = 15;

    Namco163Sound();

    // $F800: the address, with auto-increment in bit 7; $4800: the data at the address.
    void WriteAddress(std::uint8_t value) { address = value; }
    void WriteData(std::uint8_t value);
    std::uint8_t ReadData();
    // $E000 bit 6 silences the chip.
    void SetEnabled(bool on);
    void SetAveraged(bool on) override;
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);

    std::uint32_t ChannelCount() const { return ((ram[0x7F] >> 4) & 7) + 1; }

    std::array<std::uint8_t, 128> ram{};
    std::uint8_t address = 0;
    bool enabled = true;
    bool averaged = false;
    std::uint8_t current = 7; // the channel updated next (7 = channel 8)
    std::uint8_t shown = 7;   // the channel updated last, whose output the DAC holds
    std::uint32_t countdown = CyclesPerUpdate;
    std::array<std::int32_t, 8> outputs{}; // each channel's last output

private:
    void Update(std::uint32_t channel);
    std::int32_t Level() const;
};

} // namespace Halvo::Nes
