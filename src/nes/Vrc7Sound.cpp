#include "nes/Vrc7Sound.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

// The 15 built-in instruments of the VRC7, as dumped from the chip (the layout of registers $00-$07).
// clang-format off
constexpr std::uint8_t Instruments[15][8] = {
    {0x03, 0x21, 0x05, 0x06, 0xE8, 0x81, 0x42, 0x27}, {0x13, 0x41, 0x14, 0x0D, 0xD8, 0xF6, 0x23, 0x12},
    {0x11, 0x11, 0x08, 0x08, 0xFA, 0xB2, 0x20, 0x12}, {0x31, 0x61, 0x0C, 0x07, 0xA8, 0x64, 0x61, 0x27},
    {0x32, 0x21, 0x1E, 0x06, 0xE1, 0x76, 0x01, 0x28}, {0x02, 0x01, 0x06, 0x00, 0xA3, 0xE2, 0xF4, 0xF4},
    {0x21, 0x61, 0x1D, 0x07, 0x82, 0x81, 0x11, 0x07}, {0x23, 0x21, 0x22, 0x17, 0xA2, 0x72, 0x01, 0x17},
    {0x35, 0x11, 0x25, 0x00, 0x40, 0x73, 0x72, 0x01}, {0xB5, 0x01, 0x0F, 0x0F, 0xA8, 0xA5, 0x51, 0x02},
    {0x17, 0xC1, 0x24, 0x07, 0xF8, 0xF8, 0x22, 0x12}, {0x71, 0x23, 0x11, 0x06, 0x65, 0x74, 0x18, 0x16},
    {0x01, 0x02, 0xD3, 0x05, 0xC9, 0x95, 0x03, 0x02}, {0x61, 0x63, 0x0C, 0x00, 0x94, 0xC0, 0x33, 0xF6},
    {0x21, 0x72, 0x0D, 0x00, 0xC1, 0xD5, 0x56, 0x06},
};
// clang-format on

// Twice the frequency multiple (1/2, 1, 2, ... 10, 10, 12, 12, 15, 15).
constexpr std::uint32_t Multiples2[16] = {1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30};
// Key scaling of the level by the top 4 bits of F, in 0.375 dB at 3 dB per octave for octave 7.
constexpr std::int32_t KeyScaleLevels[16] = {0, 24, 32, 37, 40, 43, 45, 47, 48, 50, 51, 52, 53, 54, 55, 56};

constexpr std::uint32_t PhaseBits = 19;
constexpr std::int32_t FullOutput = 4096;
// Attenuation is summed in 0.1875 dB units; beyond 1024 of them (192 dB) the operator is silent.
constexpr std::uint32_t AttenuationSteps = 1024;
// The most an operator is attenuated: its envelope at silence, the strongest key scaling, the
// modulator's lowest total level and the tremolo's depth. It stays inside the table.
static_assert(2 * 127 + (56 << 3 >> 1) + 4 * 63 + 26 < AttenuationSteps);
// Tremolo: 4.8 dB deep at about 3.7 Hz; vibrato: +/- 14 cents at about 6.4 Hz (in samples per cycle).
constexpr double SampleRate = 1789773.0 / Vrc7Sound::CyclesPerSample;
constexpr std::uint32_t TremoloPeriod = static_cast<std::uint32_t>(SampleRate / 3.7);
constexpr std::uint32_t VibratoPeriod = static_cast<std::uint32_t>(SampleRate / 6.4);

struct Tables {
    std::array<std::int32_t, 1024> sine{};             // a full cycle, in FullOutput
    std::array<std::int32_t, AttenuationSteps> gain{}; // attenuation step -> factor of 2^16
    std::array<std::int32_t, 256> tremolo{};           // attenuation steps over one cycle
    std::array<std::int32_t, 256> vibrato{};           // phase step change in 1/1024 over one cycle
    Tables() {
        for (std::size_t i = 0; i < sine.size(); ++i) {
            sine[i] = static_cast<std::int32_t>(
                std::lround(FullOutput * std::sin(2 * std::numbers::pi * (i + 0.5) / 1024)));
        }
        for (std::size_t i = 0; i < gain.size(); ++i) {
            gain[i] = static_cast<std::int32_t>(std::lround(65536 * std::pow(10.0, -0.1875 * i / 20)));
        }
        for (std::size_t i = 0; i < 256; ++i) {
            const double turn = 2 * std::numbers::pi * i / 256;
            tremolo[i] = static_cast<std::int32_t>(std::lround((1 - std::cos(turn)) / 2 * 4.8 / 0.1875));
            vibrato[i] = static_cast<std::int32_t>(
                std::lround(1024 * (std::pow(2.0, 14.0 / 1200 * std::sin(turn)) - 1)));
        }
    }
};

const Tables& Table() {
    static const Tables tables;
    return tables;
}

} // namespace

Vrc7Sound::Vrc7Sound() : ExpansionSound(SoundChip::Vrc7) {
    // A carrier at full level swings +/- FullOutput.
    SetUnit(ApuSynth::Mix(15, 0, 0, 0, 0) * std::pow(10.0, 11.0 / 20.0) / (2.0 * FullOutput));
    Table();
    RefreshAll();
}

void Vrc7Sound::Reset() {
    regs = {};
    selected = 0;
    silenced = false;
    channels = {};
    countdown = CyclesPerSample;
    lfoCounter = 0;
    RefreshAll();
    Output(lastCycle, 0);
}

const std::uint8_t* Vrc7Sound::Patch(std::uint32_t instrument) const {
    return instrument == 0 ? regs.data() : Instruments[instrument - 1];
}

void Vrc7Sound::Write(std::uint8_t value) {
    const std::uint32_t reg = selected & 0x3F;
    const std::uint32_t channel = reg & 0x0F;
    if (reg >= 0x10 && channel >= 6) {
        return;
    }
    regs[reg] = value;
    if ((reg & 0xF0) == 0x20) {
        const bool on = value & 0x10;
        if (on != channels[channel].keyOn) {
            KeyChanged(channel, on);
        }
    }
    if (reg < 0x08) {
        // The custom instrument: every channel playing it.
        for (std::uint32_t index = 0; index < 6; ++index) {
            if ((regs[0x30 + index] >> 4) == 0) {
                Refresh(index);
            }
        }
    } else if (reg >= 0x10) {
        Refresh(channel);
    }
}

void Vrc7Sound::RefreshAll() {
    for (std::uint32_t index = 0; index < 6; ++index) {
        Refresh(index);
    }
}

void Vrc7Sound::Refresh(std::uint32_t index) {
    ChannelSetting& setting = settings[index];
    const std::uint8_t* patch = Patch(regs[0x30 + index] >> 4);
    const std::uint32_t number = regs[0x10 + index] | (regs[0x20 + index] & 1u) << 8;
    const std::uint32_t block = (regs[0x20 + index] >> 1) & 7;
    const bool sustainOn = regs[0x20 + index] & 0x20;
    // Key scaling: the octave and the top bit of F, halved unless the operator asks for full.
    const std::uint32_t keyCode = block << 1 | number >> 8;
    const std::int32_t keyLevel =
        std::max(0, KeyScaleLevels[number >> 5] - 8 * (7 - static_cast<std::int32_t>(block)));
    setting.feedback = patch[3] & 7;
    for (std::uint32_t slot = 0; slot < 2; ++slot) {
        Setting& op = setting.ops[slot];
        const std::uint8_t flags = patch[slot];
        op.step = (number * Multiples2[flags & 0x0F]) << block >> 1;
        const std::uint32_t ksl = patch[2 + slot] >> 6;
        op.attenuation = (ksl ? keyLevel << ksl >> 1 : 0) +
                         (slot == 0 ? 4 * (patch[2] & 0x3F) : 16 * (regs[0x30 + index] & 0x0F));
        op.tremolo = flags & 0x80;
        op.vibrato = flags & 0x40;
        op.sustained = flags & 0x20;
        op.halfSine = patch[3] & (slot == 0 ? 0x08 : 0x10);
        op.sustainLevel = static_cast<std::uint16_t>(8u * (patch[6 + slot] >> 4));
        const std::uint32_t keyScale = (flags & 0x10) ? keyCode : keyCode >> 2;
        const std::uint32_t rates[4] = {
            static_cast<std::uint32_t>(patch[4 + slot] >> 4),
            static_cast<std::uint32_t>(patch[4 + slot] & 0x0F),
            op.sustained ? 0u : patch[6 + slot] & 0x0F,
            sustainOn ? 5u : patch[6 + slot] & 0x0F,
        };
        op.instantAttack = false;
        for (std::uint32_t stage = Attack; stage <= Release; ++stage) {
            op.envelopeSteps[stage] = 0;
            if (rates[stage] == 0) {
                continue;
            }
            // Steps of 0.375 dB at 2^(rate/4) per 8192 samples, the quarter rates in between.
            const std::uint32_t effective = std::min(4 * rates[stage] + keyScale, 63u);
            op.envelopeSteps[stage] = (4 + (effective & 3)) << (effective >> 2);
            if (stage == Attack && effective >= 60) {
                op.instantAttack = true;
            }
        }
        op.envelopeSteps[Off] = 0;
    }
}

void Vrc7Sound::KeyChanged(std::uint32_t index, bool on) {
    Channel& channel = channels[index];
    channel.keyOn = on;
    for (Operator& op : channel.ops) {
        if (on) {
            op.stage = Attack;
            op.phase = 0;
            op.envelopeAccumulator = 0;
        } else if (op.stage != Off) {
            op.stage = Release;
        }
    }
    if (on) {
        channel.feedback = {};
    }
}

void Vrc7Sound::ClockEnvelope(Operator& op, const Setting& setting) {
    if (op.stage == Attack && setting.instantAttack) {
        op.envelope = 0;
        op.stage = Decay;
        return;
    }
    op.envelopeAccumulator += setting.envelopeSteps[op.stage];
    std::uint32_t steps = op.envelopeAccumulator >> 15;
    op.envelopeAccumulator &= 0x7FFF;
    for (; steps > 0; --steps) {
        if (op.stage == Attack) {
            // The attack falls exponentially toward full level.
            op.envelope = static_cast<std::uint16_t>(op.envelope - (op.envelope >> 3) - 1);
            if (op.envelope == 0 || op.envelope > 127) {
                op.envelope = 0;
                op.stage = Decay;
                return;
            }
        } else if (++op.envelope >= 127) {
            op.envelope = 127;
            if (op.stage == Release || !setting.sustained) {
                op.stage = Off;
            }
            return;
        } else if (op.stage == Decay && op.envelope >= setting.sustainLevel) {
            op.stage = Sustain;
        }
    }
}

std::int32_t Vrc7Sound::Sample() {
    const Tables& table = Table();
    ++lfoCounter;
    const std::int32_t tremolo = table.tremolo[(lfoCounter % TremoloPeriod) * 256 / TremoloPeriod];
    const std::int32_t vibrato = table.vibrato[(lfoCounter % VibratoPeriod) * 256 / VibratoPeriod];
    std::int32_t sum = 0;
    for (std::uint32_t index = 0; index < 6; ++index) {
        Channel& channel = channels[index];
        if (channel.ops[1].stage == Off) {
            continue;
        }
        const ChannelSetting& setting = settings[index];
        std::int32_t modulation = 0;
        for (std::uint32_t slot = 0; slot < 2; ++slot) {
            Operator& op = channel.ops[slot];
            const Setting& set = setting.ops[slot];
            if (set.envelopeSteps[op.stage] != 0) {
                ClockEnvelope(op, set);
            }
            std::uint32_t step = set.step;
            if (set.vibrato) {
                step = static_cast<std::uint32_t>(step + ((static_cast<std::int32_t>(step) * vibrato) >> 10));
            }
            op.phase = (op.phase + step) & ((1u << PhaseBits) - 1);
            std::int32_t attenuation = 2 * op.envelope + set.attenuation;
            if (set.tremolo) {
                attenuation += tremolo;
            }
            std::int32_t phase = static_cast<std::int32_t>(op.phase);
            if (slot == 0) {
                // Feedback: the mean of the last two outputs, up to +/- 4 pi at its strongest.
                if (setting.feedback) {
                    phase += ((channel.feedback[0] + channel.feedback[1]) * 128) >> (7 - setting.feedback);
                }
            } else {
                // The modulator at full level moves the carrier's phase by up to +/- 4 pi.
                phase += modulation << (PhaseBits - 11);
            }
            const std::uint32_t at = (static_cast<std::uint32_t>(phase) >> (PhaseBits - 10)) & 1023;
            std::int32_t out = table.sine[at];
            // Half-sine waveform: the negative half is silent.
            if (out < 0 && set.halfSine) {
                out = 0;
            }
            out = (out * table.gain[static_cast<std::uint32_t>(attenuation)]) >> 16;
            if (slot == 0) {
                channel.feedback = {channel.feedback[1], out};
                modulation = out;
            } else {
                sum += out;
            }
        }
    }
    return silenced ? 0 : sum;
}

void Vrc7Sound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        const std::uint64_t advance = std::min<std::uint64_t>(to - lastCycle, countdown);
        lastCycle += advance;
        countdown -= static_cast<std::uint32_t>(advance);
        if (countdown > 0) {
            break;
        }
        countdown = CyclesPerSample;
        Output(lastCycle, Sample());
    }
}

void Vrc7Sound::State(StateIo& io) {
    OutputState(io);
    io.Array(regs)(selected, silenced);
    for (Channel& channel : channels) {
        for (Operator& op : channel.ops) {
            io(op.phase, op.envelope, op.envelopeAccumulator).Bounded(op.stage, std::uint8_t{Off});
            op.phase &= (1u << PhaseBits) - 1;
            op.envelope = std::min<std::uint16_t>(op.envelope, 127);
            op.envelopeAccumulator &= 0x7FFF;
        }
        io.Array(channel.feedback)(channel.keyOn);
        for (std::int32_t& value : channel.feedback) {
            value = std::clamp(value, -FullOutput, FullOutput);
        }
    }
    io(countdown, lfoCounter);
    if (io.Loading() && (countdown == 0 || countdown > CyclesPerSample)) {
        io.Fail();
    }
    if (io.Loading()) {
        RefreshAll();
    }
}

} // namespace Halvo::Nes
