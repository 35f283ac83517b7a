#include "nes/Mmc5Sound.h"

#include <algorithm>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

// Bit n: step n of the sequence (which counts down from 0 to 7, 6, ...) is high, as on the console.
constexpr std::uint8_t DutySequences[4] = {0x80, 0xC0, 0xF0, 0x3F};
// The PCM level's 8 bits span about twice the swing of one of the console's pulses at full volume
// (15 volume steps of 16 units each).
constexpr std::int32_t PcmUnitsPerStep = 2 * 15 * 16;

} // namespace

Mmc5Sound::Mmc5Sound() : ExpansionSound(SoundChip::Mmc5) {
    // A pulse at volume 15 is as loud as one of the console's; the pulse DAC's unit is the level below.
    SetUnit(ApuSynth::Mix(15, 0, 0, 0, 0) / 15 / 16);
}

std::int32_t Mmc5Sound::Pulse::Output() const {
    if (length.value == 0 || !((DutySequences[duty] >> step) & 1)) {
        return 0;
    }
    return envelope.Volume();
}

void Mmc5Sound::Reset() {
    pulses = {};
    pcm = 0;
    pcmReadMode = false;
    frameCountdown = FrameCycles;
    Output(lastCycle, 0);
}

std::int32_t Mmc5Sound::Level() const {
    // Pulses in sixteenths of a volume step, so that the PCM level shares the unit.
    return 16 * (pulses[0].Output() + pulses[1].Output()) + pcm * PcmUnitsPerStep / 255;
}

void Mmc5Sound::Write(std::uint32_t address, std::uint8_t value) {
    if (address <= 0x5007) {
        Pulse& pulse = pulses[(address >> 2) & 1];
        switch (address & 3) {
        case 0:
            pulse.duty = value >> 6;
            pulse.length.halt = value & 0x20;
            pulse.envelope.Write(value);
            break;
        case 2:
            pulse.period = (pulse.period & 0x700) | value;
            break;
        case 3:
            pulse.period = (pulse.period & 0xFF) | (value & 7u) << 8;
            pulse.length.Load(value >> 3);
            pulse.envelope.start = true;
            pulse.step = 0;
            break;
        default:
            break;
        }
    } else if (address == 0x5010) {
        pcmReadMode = value & 1;
    } else if (address == 0x5011) {
        // A write of 0 is ignored in write mode.
        if (!pcmReadMode && value != 0) {
            pcm = value;
        }
    } else if (address == 0x5015) {
        pulses[0].length.SetEnabled(value & 1);
        pulses[1].length.SetEnabled(value & 2);
    }
    Output(lastCycle, Level());
}

std::uint8_t Mmc5Sound::ReadStatus() const {
    return static_cast<std::uint8_t>((pulses[0].length.value > 0 ? 1 : 0) |
                                     (pulses[1].length.value > 0 ? 2 : 0));
}

void Mmc5Sound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        std::uint64_t advance = std::min<std::uint64_t>(to - lastCycle, frameCountdown);
        // A pulse whose length counter is out is silent: its sequence need not move.
        for (const Pulse& pulse : pulses) {
            if (pulse.length.value > 0) {
                advance = std::min<std::uint64_t>(advance, pulse.countdown);
            }
        }
        lastCycle += advance;
        const auto cycles = static_cast<std::uint32_t>(advance);
        for (Pulse& pulse : pulses) {
            if (pulse.length.value == 0) {
                continue;
            }
            pulse.countdown -= cycles;
            if (pulse.countdown == 0) {
                pulse.countdown = 2 * (pulse.period + 1);
                pulse.step = (pulse.step - 1) & 7;
            }
        }
        frameCountdown -= cycles;
        if (frameCountdown == 0) {
            frameCountdown = FrameCycles;
            for (Pulse& pulse : pulses) {
                pulse.envelope.Clock();
                pulse.length.Clock();
            }
        }
        Output(lastCycle, Level());
    }
}

void Mmc5Sound::State(StateIo& io) {
    OutputState(io);
    for (Pulse& pulse : pulses) {
        io(pulse.length.value, pulse.length.halt, pulse.length.enabled);
        io(pulse.envelope.period, pulse.envelope.divider, pulse.envelope.decay, pulse.envelope.constant);
        io(pulse.envelope.loop, pulse.envelope.start, pulse.period, pulse.duty, pulse.step, pulse.countdown);
        if (io.Loading() && (pulse.duty > 3 || pulse.step > 7 || pulse.countdown == 0 ||
                             pulse.countdown > 4096 || pulse.period > 0x7FF)) {
            io.Fail();
        }
    }
    io(pcm, pcmReadMode, frameCountdown);
    if (io.Loading() && (frameCountdown == 0 || frameCountdown > FrameCycles)) {
        io.Fail();
    }
}

} // namespace Halvo::Nes
