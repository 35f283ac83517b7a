#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Konami's VRC2 and VRC4: two switchable 8 KiB PRG banks (on the VRC4 the first may sit at $C000
// instead of $8000) with the last two pages fixed, eight 1 KiB CHR banks written a nibble at a time,
// mirroring control, and on the VRC4 an IRQ counter clocked by processor cycles, directly or through a
// prescaler that divides them into scanlines of 113 2/3 cycles.
//
// The chip sees four registers per 4 KiB of $8000-$FFFF through two address inputs, and each board
// wires different CPU address lines to them; the board name says which (see Vrc.cpp).
class Vrc : public Mmc {
public:
    explicit Vrc(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    // IRQ control bits.
    static constexpr std::uint8_t IrqEnableAfterAck = 0x01;
    static constexpr std::uint8_t IrqEnable = 0x02;
    static constexpr std::uint8_t IrqCycleMode = 0x04;
    // Dots per scanline, and per processor cycle, of the prescaler.
    static constexpr std::uint32_t PrescalerPeriod = 341;
    static constexpr std::uint32_t PrescalerStep = 3;

    // The wiring, fixed by the board: the CPU address lines whose OR feeds the chip's A0 and A1.
    std::uint32_t a0Lines = 0x01;
    std::uint32_t a1Lines = 0x02;
    bool vrc2 = false;
    // 1 on the VRC2a, whose CHR bank inputs start at the written value's bit 1.
    std::uint32_t chrShift = 0;

    std::array<std::uint8_t, 2> prgBanks{};
    bool prgSwap = false; // VRC4: register 0's bank at $C000 and the second-last page at $8000
    std::uint8_t mirrorControl = 0;
    std::array<std::uint16_t, 8> chrBanks{};
    // VRC2 without work RAM: the one-bit latch at $6000-$6FFF that some games read back.
    std::uint8_t latch6000 = 0;
    std::uint8_t irqLatch = 0;
    std::uint8_t irqControl = 0;
    // The counter and the prescaler's dots toward the next scanline clock, both at processor cycle
    // `irqCycle`; they are brought up to date on each IRQ register write.
    std::uint8_t irqCounter = 0;
    std::uint32_t irqPrescaler = 0;
    std::uint64_t irqCycle = 0;

    // The wiring is the board's and stays as built.
    void StateRegisters(StateIo& io) override {
        io.Array(prgBanks)(prgSwap).Bounded(mirrorControl, std::uint8_t{3});
        io.Array(chrBanks)(latch6000, irqLatch, irqControl, irqCounter);
        io.Bounded(irqPrescaler, PrescalerPeriod - 1)(irqCycle);
    }

private:
    void MapPrg();
    void SyncIrq(std::uint64_t now);
};

} // namespace Halvo::Nes
