#include "nes/ExpansionSound.h"

#include <algorithm>
#include <cmath>

#include "nes/Apu.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

void ExpansionSound::SetUnit(double share) {
    unitShare = share;
    weight = std::llround(share * ApuSynth::ExpansionUnit * 256.0 * volume / 100.0);
}

void ExpansionSound::SetVolume(std::uint32_t percent) {
    volume = std::min(percent, 100u);
    SetUnit(unitShare);
    Emit(lastCycle);
}

void ExpansionSound::Restart(std::uint64_t now) {
    lastCycle = now;
    emitted = 0;
    Emit(lastCycle);
}

void ExpansionSound::Output(std::uint64_t cycle, std::int32_t now) {
    if (now != level) {
        level = now;
        Emit(cycle);
    }
}

void ExpansionSound::Emit(std::uint64_t cycle) {
    const auto value = static_cast<std::int32_t>((level * weight) >> 8);
    if (value != emitted && apu && apu->AddExpansion(cycle, value - emitted)) {
        emitted = value;
    }
}

void ExpansionSound::OutputState(StateIo& io) {
    io(lastCycle, level, emitted);
}

} // namespace Halvo::Nes
