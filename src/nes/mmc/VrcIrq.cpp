#include "nes/mmc/VrcIrq.h"

namespace Halvo::Nes {

namespace {

// Dots per scanline, and per processor cycle, of the prescaler.
constexpr std::uint32_t PrescalerPeriod = 341;
constexpr std::uint32_t PrescalerStep = 3;

} // namespace

void VrcIrq::Sync(std::uint64_t now) {
    if (control & Enable) {
        std::uint64_t clocks = now - cycle;
        if (!(control & CycleMode)) {
            const std::uint64_t dots = prescaler + clocks * PrescalerStep;
            clocks = dots / PrescalerPeriod;
            prescaler = static_cast<std::uint32_t>(dots % PrescalerPeriod);
        }
        const std::uint64_t toWrap = 256u - counter;
        if (clocks < toWrap) {
            counter = static_cast<std::uint8_t>(counter + clocks);
        } else {
            counter = static_cast<std::uint8_t>(latch + (clocks - toWrap) % (256u - latch));
        }
    }
    cycle = now;
}

std::uint64_t VrcIrq::NextCycle() const {
    if (!(control & Enable)) {
        return Never;
    }
    const std::uint64_t clocks = 256u - counter;
    if (control & CycleMode) {
        return cycle + clocks;
    }
    const std::uint64_t dots = clocks * PrescalerPeriod - prescaler;
    return cycle + (dots + PrescalerStep - 1) / PrescalerStep;
}

void VrcIrq::WriteControl(std::uint8_t value) {
    control = value & 0x07;
    if (control & Enable) {
        counter = latch;
        prescaler = 0;
    }
}

void VrcIrq::Acknowledge() {
    control = static_cast<std::uint8_t>((control & ~Enable) | ((control & EnableAfterAck) ? Enable : 0));
}

} // namespace Halvo::Nes
