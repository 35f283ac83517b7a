#pragma once

#include <cstdint>

#include "nes/mmc/Mmc1.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// NES-EVENT (mapper 105, Nintendo World Championships): an MMC1 whose first CHR register drives two
// PRG-ROM chips of 128 KiB and a timer. Bit 3 picks the chip: the first in 32 KiB banks from bits
// 1-2, or the second banked as the MMC1 banks it with the PRG register. Bit 4 holds the timer reset
// while set; cleared, a 30-bit counter counts processor cycles and raises the IRQ when it reaches
// 2^29 plus the DIP switches' value in bits 25-28 (set here to 4, about six and a quarter minutes).
// Until bit 4 has been written 0 and then 1 the first 32 KiB stay in place whatever the registers say.
class NesEvent : public Mmc1 {
public:
    static constexpr std::uint32_t Dip = 4;
    static constexpr std::uint32_t Target = (1u << 29) | Dip << 25;

    using Mmc1::Mmc1;

    void Reset(bool hard) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    bool unlocked = false;
    bool sawZero = false;  // bit 4 was written 0 since the reset
    bool timerHeld = true; // bit 4 as last written
    bool fired = false;
    std::uint32_t counter = 0; // at processor cycle counterCycle
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override {
        Mmc1::StateRegisters(io);
        io(unlocked, sawZero, timerHeld, fired, counter, counterCycle);
    }

protected:
    void MapBanks() override;

private:
    void SyncCounter(std::uint64_t now);
};

} // namespace Halvo::Nes
