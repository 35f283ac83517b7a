#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Irem's G-101 (mapper 32): two switchable 8 KiB PRG banks ($8000 and $A000; a mode bit in $9000 moves
// the first to $C000 and the second-last page to $8000), eight 1 KiB CHR banks at $B000-$B007 and
// mirroring in $9000. Major League's board (submapper 1) has neither: one screen, no mode.
class IremG101 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::array<std::uint8_t, 2> prgBanks{};
    std::uint8_t control = 0; // $9000: mirroring (bit 0), PRG mode (bit 1)

    void StateRegisters(StateIo& io) override { io.Array(prgBanks)(control); }

private:
    void MapPrg();
};

// Irem's H3001 (mapper 65): three 8 KiB PRG banks with the last page fixed, eight 1 KiB CHR banks,
// mirroring, and a 16-bit counter that counts processor cycles down from its reload value and raises
// the IRQ when it reaches 0, where it stops. $9003 (enable) and $9004 (reload) acknowledge.
class IremH3001 : public Mmc {
public:
    using Mmc::Mmc;

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    bool irqEnabled = false;
    std::uint16_t reload = 0;
    std::uint16_t counter = 0; // at processor cycle counterCycle
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override { io(irqEnabled, reload, counter, counterCycle); }

private:
    void SyncCounter(std::uint64_t now);
};

} // namespace Halvo::Nes
