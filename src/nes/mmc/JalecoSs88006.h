#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Jaleco's SS 88006: the chip sees CPU A12-A14 and A0-A1 and four data bits, so every bank number is
// written a nibble at a time to two neighbouring addresses (low nibble first). Three 8 KiB PRG banks
// with the last page fixed at $E000, eight 1 KiB CHR banks, work RAM at $6000, mirroring control, and
// a 16-bit reload value and counter that counts processor cycles down; the control register lets
// only the low 12, 8 or 4 bits count, and the IRQ rises when the counting bits wrap from 0.
class JalecoSs88006 : public Mmc {
public:
    explicit JalecoSs88006(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    std::array<std::uint8_t, 3> prgBanks{};
    std::array<std::uint8_t, 8> chrBanks{};
    std::uint8_t mirrorControl = 0;
    std::uint16_t reload = 0;
    std::uint8_t irqControl = 0; // bit 0 counting, bits 1-3 the counter's width
    // The counter at processor cycle `counterCycle`.
    std::uint16_t counter = 0;
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override {
        io.Array(prgBanks).Array(chrBanks).Bounded(mirrorControl, std::uint8_t{3});
        io(reload).Bounded(irqControl, std::uint8_t{15});
        io(counter, counterCycle);
    }

private:
    std::uint16_t CountMask() const;
    void SyncCounter(std::uint64_t now);
};

} // namespace Halvo::Nes
