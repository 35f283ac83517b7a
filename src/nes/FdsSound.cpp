#include "nes/FdsSound.h"

#include <algorithm>
#include <cmath>

#include "nes/ApuSynth.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

constexpr std::int32_t ModSteps[8] = {0, 1, 2, 4, 0, -4, -2, -1}; // entry 4 resets the counter
// The master volume's factors 2/2, 2/3, 2/4 and 2/5, in 60ths.
constexpr std::int32_t MasterSixtieths[4] = {60, 40, 30, 24};
constexpr std::uint32_t Never = ~0u;

} // namespace

FdsSound::FdsSound() : ExpansionSound(SoundChip::Fds) {
    // A square (samples 0 and 63) at volume 32 and full master volume: 7 dB over a console pulse.
    SetUnit(ApuSynth::Mix(15, 0, 0, 0, 0) * std::pow(10.0, 7.0 / 20.0) / (63.0 * 32.0 * 60.0));
}

void FdsSound::Reset() {
    wave = {};
    modTable = {};
    modWrite = volumeEnvelope = modEnvelope = volumeGain = modGain = 0;
    volumeCountdown = modEnvelopeCountdown = 0;
    pitch = modPitch = 0;
    waveHalt = modHalt = true;
    envelopeHalt = waveWrite = false;
    masterVolume = 0;
    envelopeSpeed = 0xE8;
    modCounter = 0;
    wavePhase = modPhase = 0;
    volumeCountdown = modEnvelopeCountdown = Never;
    Output(lastCycle, 0);
}

std::uint32_t FdsSound::EnvelopePeriod(std::uint8_t envelope) const {
    if ((envelope & 0x80) || envelopeHalt || waveHalt || envelopeSpeed == 0) {
        return Never;
    }
    return 8u * envelopeSpeed * ((envelope & 0x3F) + 1u);
}

void FdsSound::ClockEnvelope(std::uint8_t envelope, std::uint8_t& gain) {
    if (envelope & 0x40) {
        gain = static_cast<std::uint8_t>(std::min(gain + 1, 32));
    } else if (gain > 0) {
        --gain;
    }
}

std::uint32_t FdsSound::ModulatedPitch() const {
    if (modHalt) {
        return pitch;
    }
    // The counter times the depth, rounded as the chip rounds it, then scaled to the pitch.
    std::int32_t temp = modCounter * modGain;
    const std::int32_t remainder = temp & 0x0F;
    temp >>= 4;
    if (remainder > 0 && !(temp & 0x80)) {
        temp += modCounter < 0 ? -1 : 2;
    }
    if (temp >= 192) {
        temp -= 256;
    } else if (temp < -64) {
        temp += 256;
    }
    temp *= pitch;
    const std::int32_t rounding = temp & 0x3F;
    temp >>= 6;
    if (rounding >= 32) {
        ++temp;
    }
    return static_cast<std::uint32_t>(std::max(0, pitch + temp));
}

std::int32_t FdsSound::Level() const {
    const std::int32_t sample = wave[(wavePhase >> 16) & 63];
    return sample * std::min<std::int32_t>(volumeGain, 32) * MasterSixtieths[masterVolume];
}

void FdsSound::Write(std::uint32_t address, std::uint8_t value) {
    if (address < 0x4080) {
        if (waveWrite) {
            wave[address & 63] = value & 0x3F;
        }
    } else {
        switch (address) {
        case 0x4080:
            volumeEnvelope = value;
            if (value & 0x80) {
                volumeGain = value & 0x3F;
            }
            volumeCountdown = EnvelopePeriod(volumeEnvelope);
            break;
        case 0x4082:
            pitch = static_cast<std::uint16_t>((pitch & 0xF00) | value);
            break;
        case 0x4083:
            pitch = static_cast<std::uint16_t>((pitch & 0xFF) | (value & 0x0F) << 8);
            waveHalt = value & 0x80;
            envelopeHalt = value & 0x40;
            if (waveHalt) {
                wavePhase = 0;
            }
            volumeCountdown = EnvelopePeriod(volumeEnvelope);
            modEnvelopeCountdown = EnvelopePeriod(modEnvelope);
            break;
        case 0x4084:
            modEnvelope = value;
            if (value & 0x80) {
                modGain = value & 0x3F;
            }
            modEnvelopeCountdown = EnvelopePeriod(modEnvelope);
            break;
        case 0x4085:
            modCounter = static_cast<std::int8_t>(static_cast<std::uint8_t>(value << 1)) / 2;
            break;
        case 0x4086:
            modPitch = static_cast<std::uint16_t>((modPitch & 0xF00) | value);
            break;
        case 0x4087:
            modPitch = static_cast<std::uint16_t>((modPitch & 0xFF) | (value & 0x0F) << 8);
            modHalt = value & 0x80;
            if (modHalt) {
                modPhase &= 0xFFFF;
            }
            break;
        case 0x4088:
            if (modHalt) {
                // Each write fills two neighbouring steps of the 64-step walk, which the 32 entries stand
                // for.
                modTable[modWrite & 31] = value & 7;
                modWrite = static_cast<std::uint8_t>((modWrite + 1) & 31);
                modPhase = (modPhase + (2u << 16)) & 0x3FFFFF;
            }
            break;
        case 0x4089:
            masterVolume = value & 3;
            waveWrite = value & 0x80;
            break;
        case 0x408A:
            envelopeSpeed = value;
            volumeCountdown = EnvelopePeriod(volumeEnvelope);
            modEnvelopeCountdown = EnvelopePeriod(modEnvelope);
            break;
        default:
            break;
        }
    }
    Output(lastCycle, Level());
}

std::uint8_t FdsSound::Read(std::uint32_t address) const {
    if (address < 0x4080) {
        return wave[address & 63];
    }
    if (address == 0x4090) {
        return volumeGain;
    }
    if (address == 0x4092) {
        return modGain;
    }
    return 0;
}

void FdsSound::RunTo(std::uint64_t to) {
    while (lastCycle < to) {
        std::uint64_t advance = to - lastCycle;
        const std::uint32_t wavePitch = waveHalt || waveWrite ? 0 : ModulatedPitch();
        const std::uint32_t modStep = modHalt ? 0 : modPitch;
        // Cycles until each accumulator next wraps into its position bits.
        const auto untilWrap = [](std::uint32_t phase, std::uint32_t step) -> std::uint64_t {
            return step == 0 ? ~std::uint64_t{0} : (0x10000u - (phase & 0xFFFF) + step - 1) / step;
        };
        advance = std::min({advance, untilWrap(wavePhase, wavePitch), untilWrap(modPhase, modStep),
                            std::uint64_t{volumeCountdown}, std::uint64_t{modEnvelopeCountdown}});
        const auto cycles = static_cast<std::uint32_t>(advance);
        lastCycle += advance;
        const std::uint32_t oldMod = modPhase >> 16;
        wavePhase = (wavePhase + wavePitch * cycles) & 0x3FFFFF;
        modPhase = (modPhase + modStep * cycles) & 0x3FFFFF;
        if ((modPhase >> 16) != oldMod) {
            const std::int32_t step = ModSteps[modTable[(modPhase >> 17) & 31]];
            const std::int32_t counter = modTable[(modPhase >> 17) & 31] == 4 ? 0 : modCounter + step;
            // Seven bits, wrapping.
            modCounter = static_cast<std::int8_t>(static_cast<std::uint8_t>(counter << 1)) / 2;
        }
        if (volumeCountdown != Never && (volumeCountdown -= cycles) == 0) {
            ClockEnvelope(volumeEnvelope, volumeGain);
            volumeCountdown = EnvelopePeriod(volumeEnvelope);
        }
        if (modEnvelopeCountdown != Never && (modEnvelopeCountdown -= cycles) == 0) {
            ClockEnvelope(modEnvelope, modGain);
            modEnvelopeCountdown = EnvelopePeriod(modEnvelope);
        }
        Output(lastCycle, Level());
    }
}

void FdsSound::State(StateIo& io) {
    OutputState(io);
    io.Array(wave).Array(modTable)(modWrite, volumeEnvelope, modEnvelope, volumeGain, modGain);
    io(volumeCountdown, modEnvelopeCountdown, pitch, modPitch, waveHalt, envelopeHalt, modHalt, waveWrite);
    io.Bounded(masterVolume, std::uint8_t{3})(envelopeSpeed, modCounter, wavePhase, modPhase);
    const bool fits =
        (volumeCountdown == Never || (volumeCountdown > 0 && volumeCountdown <= 8u * 255 * 64)) &&
        (modEnvelopeCountdown == Never ||
         (modEnvelopeCountdown > 0 && modEnvelopeCountdown <= 8u * 255 * 64));
    if (io.Loading() && !fits) {
        io.Fail();
    }
    wavePhase &= 0x3FFFFF;
    modPhase &= 0x3FFFFF;
    modWrite &= 31;
    for (auto& sample : wave) {
        sample &= 0x3F;
    }
    for (auto& entry : modTable) {
        entry &= 7;
    }
}

} // namespace Halvo::Nes
