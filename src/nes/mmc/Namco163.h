#pragma once

#include <array>
#include <cstdint>

#include "nes/Namco163Sound.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Namco's 163 (iNES mapper 19) and its soundless relatives 175 and 340 (mapper 210): three 8 KiB PRG
// banks at $8000-$DFFF ($E000, $E800, $F000) with the last page fixed at $E000 and eight 1 KiB CHR
// banks ($8000-$BFFF). The 163 adds four name-table banks ($C000-$DFFF: CHR-ROM pages, or the
// console's RAM for values $E0 and up), a 15-bit IRQ counter that counts processor cycles up to $7FFF
// ($5000/$5800), and its wavetable sound (RAM port $4800, address $F800, disabled by $E000 bit 6);
// the 340 chooses its mirroring with $E000 bits 6-7. Not emulated: the 163's console RAM in pattern
// tables (banks $E0 and up there map CHR-ROM) and its work RAM write protection.
class Namco163 : public Mmc {
public:
    enum class Chip : std::uint8_t { N163, N175, N340 };

    explicit Namco163(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;
    void StateRegisters(StateIo& io) override;

    std::uint8_t ReadIo(std::uint32_t address);
    void WriteIo(std::uint32_t address, std::uint8_t value);

    Chip chip = Chip::N163;
    std::array<std::uint8_t, 3> prgBanks{}; // with their registers' upper bits
    std::array<std::uint8_t, 8> chrBanks{};
    std::array<std::uint8_t, 4> nameTables{};
    // The IRQ counter (bit 15: enabled) at processor cycle `irqCycle`.
    std::uint16_t irqCounter = 0;
    std::uint64_t irqCycle = 0;
    Namco163Sound sound;

private:
    void MapNameTables();
    void SyncIrq(std::uint64_t now);
};

} // namespace Halvo::Nes
