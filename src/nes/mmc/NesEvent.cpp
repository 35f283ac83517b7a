#include "nes/mmc/NesEvent.h"

#include <algorithm>

#include "nes/Process.h"

namespace Halvo::Nes {

namespace {

// 16 KiB banks per PRG chip.
constexpr std::uint32_t BanksPerChip = 8;

} // namespace

void NesEvent::Reset(bool hard) {
    unlocked = sawZero = fired = false;
    timerHeld = true;
    counter = 0;
    counterCycle = CpuCycle();
    Mmc1::Reset(hard);
}

void NesEvent::SyncCounter(std::uint64_t now) {
    if (!timerHeld) {
        counter =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(counter + (now - counterCycle), 1u << 30));
    }
    counterCycle = now;
}

void NesEvent::MapBanks() {
    Mmc1::MapBanks();
    const bool held = (chrBank0 & 0x10) != 0;
    if (held != timerHeld) {
        SyncCounter(CpuCycle());
        timerHeld = held;
        if (held) {
            counter = 0;
            fired = false;
            LowerIrq();
            unlocked = unlocked || sawZero;
        } else {
            sawZero = true;
        }
        ScheduleIrq();
    }
    if (!unlocked) {
        MapPrg32k(0);
    } else if (!(chrBank0 & 0x08)) {
        MapPrg32k((chrBank0 >> 1) & 3);
    } else {
        const std::uint32_t bank = prgBank & 7;
        std::uint32_t low = bank;
        std::uint32_t high = BanksPerChip - 1;
        switch ((control >> 2) & 3) {
        case 0:
        case 1:
            low = bank & 6;
            high = low + 1;
            break;
        case 2:
            low = 0;
            high = bank;
            break;
        default:
            break;
        }
        MapPrg16k(BanksPerChip + low, 4);
        MapPrg16k(BanksPerChip + high, 6);
    }
}

std::uint64_t NesEvent::NextIrqCycle() {
    if (timerHeld || fired) {
        return Apu::Never;
    }
    return counterCycle + (counter < Target ? Target - counter : 0);
}

void NesEvent::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    fired = true;
    RaiseIrq();
}

} // namespace Halvo::Nes
