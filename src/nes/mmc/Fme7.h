#pragma once

#include <array>
#include <cstdint>

#include "nes/Sunsoft5BSound.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Sunsoft's FME-7 (and the 5A, and the 5B with its sound at $C000/$E000): a command register at
// $8000-$9FFF picks which of 16 registers the next write to $A000-$BFFF loads. Eight 1 KiB CHR banks,
// four 8 KiB PRG banks ($6000-$DFFF; the one at $6000 may be work RAM instead) with the last page
// fixed at $E000, mirroring control, and a 16-bit counter that counts processor cycles down and raises
// the IRQ when it wraps from 0 to $FFFF.
class Fme7 : public Mmc {
public:
    explicit Fme7(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    static constexpr std::uint8_t RamSelect = 0x40;
    static constexpr std::uint8_t RamEnable = 0x80;

    std::uint8_t command = 0;
    std::array<std::uint8_t, 8> chrBanks{};
    // Register 8: the bank at $6000 (bits 0-5), work RAM instead of PRG-ROM (bit 6), RAM enabled
    // (bit 7); RAM selected but not enabled answers nothing.
    std::uint8_t bank6000 = 0;
    std::array<std::uint8_t, 3> prgBanks{}; // $8000, $A000, $C000
    std::uint8_t mirrorControl = 0;         // 0 vertical, 1 horizontal, 2 and 3 one page
    bool irqEnabled = false;                // register D bit 0: the wrap raises the line
    bool counterEnabled = false;            // register D bit 7: the counter counts
    // The counter's value at processor cycle `counterCycle`; it is brought up to date on each write.
    std::uint16_t counter = 0;
    std::uint64_t counterCycle = 0;
    Sunsoft5BSound sound;

    void StateRegisters(StateIo& io) override {
        io.Bounded(command, std::uint8_t{15}).Array(chrBanks)(bank6000).Array(prgBanks);
        io.Bounded(mirrorControl, std::uint8_t{3});
        io(irqEnabled, counterEnabled, counter, counterCycle);
        // Format 1 did not play the chip's sound.
        if (io.Version() >= 2) {
            const StateIo::Scope scope(io, "sound");
            sound.State(io);
        }
    }

private:
    void SyncCounter(std::uint64_t now);
    void MapBank6000();
};

} // namespace Halvo::Nes
