#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/mmc/SerialEeprom.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Bandai's FCG boards: eight 1 KiB CHR banks, a 16 KiB PRG bank at $8000 with the last fixed at
// $C000, mirroring control and a 16-bit counter that counts processor cycles down and raises the IRQ
// when it reaches 0. The FCG-1 and FCG-2 chips answer at $6000-$7FFF and load the counter directly;
// the LZ93D50 answers at $8000-$FFFF, loads a latch that the IRQ control write copies into the
// counter, and drives a serial EEPROM whose data line reads back in bit 4 at $6000-$7FFF (24C02 on
// mapper 16, X24C01 on mapper 159). The mapper-153 board has 8 KiB of work RAM instead, enabled by
// bit 5 of $800D, and bit 0 of the CHR registers selects the 256 KiB half of its PRG-ROM (its CHR is
// RAM). The EEPROM's bytes are kept at the start of the battery RAM, so they are saved with it.
class Bandai : public Mmc {
public:
    enum class Chip : std::uint8_t { Both, Fcg, Lz93d50 };

    explicit Bandai(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    // The board as built from its name.
    Chip chip = Chip::Both;
    bool hasEeprom = false;
    bool workRamBoard = false; // mapper 153
    SerialEeprom eeprom;

    std::array<std::uint8_t, 8> chrBanks{};
    std::uint8_t prgBank = 0;
    std::uint8_t prgOuter = 0; // mapper 153: the 256 KiB half
    std::uint8_t mirrorControl = 0;
    std::uint8_t control = 0; // $800D: EEPROM lines or the work RAM enable
    bool irqEnabled = false;
    std::uint16_t latch = 0;
    // The counter's value at processor cycle `counterCycle`.
    std::uint16_t counter = 0;
    std::uint64_t counterCycle = 0;

    void StateRegisters(StateIo& io) override {
        io.Array(chrBanks)(prgBank, prgOuter).Bounded(mirrorControl, std::uint8_t{3});
        io(control, irqEnabled, latch, counter, counterCycle);
        if (hasEeprom) {
            eeprom.State(io);
        }
    }

    std::uint8_t ReadEeprom() const;

private:
    void Write(std::uint32_t reg, std::uint8_t value, bool latched);
    void MapBanks();
    void SyncCounter(std::uint64_t now);
};

} // namespace Halvo::Nes
