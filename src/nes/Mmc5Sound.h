#pragma once

#include <array>
#include <cstdint>

#include "nes/ApuChannels.h"
#include "nes/ExpansionSound.h"

namespace Halvo::Nes {

// The MMC5's sound: two pulse channels like the console's ($5000-$5007, without sweep units), whose
// envelopes and length counters the chip clocks itself at about 240 Hz, and an 8-bit PCM level written
// at $5011. $5015 enables the pulses' length counters and reads back which are running.
class Mmc5Sound : public ExpansionSound {
public:
    // The chip's own frame clock, in processor cycles (240 Hz).
    static constexpr std::uint32_t FrameCycles = 7457;

    Mmc5Sound();

    void Write(std::uint32_t address, std::uint8_t value);
    std::uint8_t ReadStatus() const;
    void RunTo(std::uint64_t to) override;
    void Reset();
    void State(StateIo& io);

    struct Pulse {
        LengthCounter length;
        Envelope envelope;
        std::uint32_t period = 0;
        std::uint8_t duty = 0;
        std::uint8_t step = 0;
        std::uint32_t countdown = 2;
        std::int32_t Output() const;
    };
    std::array<Pulse, 2> pulses{};
    std::uint8_t pcm = 0;
    bool pcmReadMode = false;
    std::uint32_t frameCountdown = FrameCycles;

private:
    std::int32_t Level() const;
};

} // namespace Halvo::Nes
