#include "nes/Vrc6Sound.h"

#include <algorithm>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

Vrc6Sound::Vrc6Sound() : ExpansionSound(SoundChip::Vrc6) {
    // A pulse at volume 15 swings as far as one of the console's pulses at full volume.
    SetUnit(ApuSynth::Mix(15, 0, 0, 0, 0) / 15);
}

void Vrc6Sound::Reset() {
    channels = {};
    control = 0;
    Output(lastCycle, 0);
}

std::uint32_t Vrc6Sound::StepCycles(const Channel& channel) const {
    const std::uint32_t shift = (control & 4) ? 8 : (control & 2) ? 4 : 0;
    return (channel.Period() >> shift) + 1;
}

void Vrc6Sound::Write(std::uint32_t index, std::uint32_t reg, std::uint8_t value) {
    if (reg == 3) {
        control = value & 7;
        return;
    }
    Channel& channel = channels[index];
    channel.regs[reg] = value;
    if (reg == 2 && !(value & 0x80)) {
        // A disabled channel restarts its sequence (and the saw its accumulator) when enabled again.
        channel.step = 0;
        channel.accumulator = 0;
    }
    Output(lastCycle, Level());
}

std::int32_t Vrc6Sound::Level() const {
    std::int32_t level = 0;
    for (std::uint32_t i = 0; i < 2; ++i) {
        const Channel& pulse = channels[i];
        const bool digital = pulse.regs[0] & 0x80;
        const std::uint32_t duty = (pulse.regs[0] >> 4) & 7;
        if (pulse.Enabled() && (digital || pulse.step <= duty)) {
            level += pulse.regs[0] & 0x0F;
        }
    }
    if (channels[2].Enabled()) {
        level += channels[2].accumulator >> 3;
    }
    return level;
}

void Vrc6Sound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        if (control & 1) {
            lastCycle = to;
            return;
        }
        std::uint64_t advance = to - lastCycle;
        for (const Channel& channel : channels) {
            if (channel.Enabled()) {
                advance = std::min<std::uint64_t>(advance, channel.countdown);
            }
        }
        lastCycle += advance;
        bool stepped = false;
        for (std::uint32_t i = 0; i < 3; ++i) {
            Channel& channel = channels[i];
            if (!channel.Enabled()) {
                continue;
            }
            channel.countdown -= static_cast<std::uint32_t>(advance);
            if (channel.countdown > 0) {
                continue;
            }
            channel.countdown = StepCycles(channel);
            stepped = true;
            if (i < 2) {
                // The sequence counts down from 15; the output is high on steps 0 to the duty value.
                channel.step = (channel.step - 1) & 15;
            } else {
                channel.step = static_cast<std::uint8_t>(channel.step + 1);
                if (channel.step == 14) {
                    channel.step = 0;
                    channel.accumulator = 0;
                } else if (!(channel.step & 1)) {
                    channel.accumulator =
                        static_cast<std::uint8_t>(channel.accumulator + (channel.regs[0] & 0x3F));
                }
            }
        }
        if (stepped) {
            Output(lastCycle, Level());
        }
    }
}

void Vrc6Sound::State(StateIo& io) {
    OutputState(io);
    for (Channel& channel : channels) {
        io.Array(channel.regs)(channel.step, channel.accumulator, channel.countdown);
        if (io.Loading() && (channel.countdown == 0 || channel.countdown > 0x1000 || channel.step > 15)) {
            io.Fail();
        }
    }
    io(control);
}

} // namespace Halvo::Nes
