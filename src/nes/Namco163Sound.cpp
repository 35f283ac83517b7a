#include "nes/Namco163Sound.h"

#include <algorithm>
#include <cmath>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

// Levels are kept in 1/840 of a DAC step, so that the mean of any number of channels (840 is a
// multiple of 1 to 8) stays whole.
constexpr std::int32_t Parts = 840;
// A full-volume square (samples 0 and 15 at volume 15) swings 15 x 15 steps: 11 dB over a console pulse.
const double SquareShare = ApuSynth::Mix(15, 0, 0, 0, 0) * std::pow(10.0, 11.0 / 20.0);

} // namespace

Namco163Sound::Namco163Sound() : ExpansionSound(SoundChip::Namco163) {
    SetUnit(SquareShare / (15.0 * 15.0 * Parts));
}

void Namco163Sound::Reset() {
    ram = {};
    address = 0;
    enabled = true;
    current = shown = 7;
    countdown = CyclesPerUpdate;
    outputs = {};
    Output(lastCycle, 0);
}

void Namco163Sound::WriteData(std::uint8_t value) {
    ram[address & 0x7F] = value;
    if (address & 0x80) {
        address = static_cast<std::uint8_t>(0x80 | ((address + 1) & 0x7F));
    }
}

std::uint8_t Namco163Sound::ReadData() {
    const std::uint8_t value = ram[address & 0x7F];
    if (address & 0x80) {
        address = static_cast<std::uint8_t>(0x80 | ((address + 1) & 0x7F));
    }
    return value;
}

void Namco163Sound::SetEnabled(bool on) {
    enabled = on;
    Output(lastCycle, Level());
}

void Namco163Sound::SetAveraged(bool on) {
    averaged = on;
    Output(lastCycle, Level());
}

void Namco163Sound::Update(std::uint32_t channel) {
    std::uint8_t* regs = &ram[0x40 + 8 * channel];
    const std::uint32_t frequency = regs[0] | regs[2] << 8 | (regs[4] & 3u) << 16;
    const std::uint32_t length = (256u - (regs[4] & 0xFC)) << 16;
    std::uint32_t phase = regs[1] | regs[3] << 8 | regs[5] << 16;
    phase = (phase + frequency) % length;
    regs[1] = static_cast<std::uint8_t>(phase);
    regs[3] = static_cast<std::uint8_t>(phase >> 8);
    regs[5] = static_cast<std::uint8_t>(phase >> 16);
    const std::uint32_t nibble = ((phase >> 16) + regs[6]) & 0xFF;
    const std::int32_t sample = (ram[nibble >> 1] >> ((nibble & 1) * 4)) & 0x0F;
    outputs[channel] = (sample - 8) * (regs[7] & 0x0F);
}

std::int32_t Namco163Sound::Level() const {
    if (!enabled) {
        return 0;
    }
    if (!averaged) {
        return outputs[shown] * Parts;
    }
    const std::uint32_t count = ChannelCount();
    std::int32_t sum = 0;
    for (std::uint32_t channel = 8 - count; channel < 8; ++channel) {
        sum += outputs[channel];
    }
    return sum * (Parts / static_cast<std::int32_t>(count));
}

void Namco163Sound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        const std::uint64_t advance = std::min<std::uint64_t>(to - lastCycle, countdown);
        lastCycle += advance;
        countdown -= static_cast<std::uint32_t>(advance);
        if (countdown > 0) {
            break;
        }
        countdown = CyclesPerUpdate;
        Update(current);
        shown = current;
        const std::uint32_t first = 8 - ChannelCount();
        current = static_cast<std::uint8_t>(current == first ? 7 : current - 1);
        Output(lastCycle, Level());
    }
}

void Namco163Sound::State(StateIo& io) {
    OutputState(io);
    io.Array(ram)(address, enabled)
        .Bounded(current, std::uint8_t{7})
        .Bounded(shown, std::uint8_t{7})(countdown)
        .Array(outputs);
    if (io.Loading() && (countdown == 0 || countdown > CyclesPerUpdate)) {
        io.Fail();
    }
}

} // namespace Halvo::Nes
