#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Taito's X1-005 (mapper 80; mapper 207 wires name tables from the CHR registers instead): registers
// at $7EF0-$7EFF for two 2 KiB and four 1 KiB CHR banks, mirroring, three 8 KiB PRG banks with the
// last page fixed at $E000, and 128 bytes of RAM inside the chip at $7F00-$7FFF (twice), enabled by
// writing $A3 to $7EF8. That RAM is the board's battery RAM. On mapper 207 bit 7 of the two 2 KiB CHR
// registers picks the name-table page of $2000-$27FF and $2800-$2FFF.
class TaitoX1005 : public Mmc {
public:
    explicit TaitoX1005(Process* process);

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    bool nameTablesFromChr = false; // mapper 207
    std::array<std::uint8_t, 6> chrBanks{};
    std::array<std::uint8_t, 3> prgBanks{};
    std::uint8_t mirrorControl = 0;
    std::uint8_t ramEnable = 0;

    void StateRegisters(StateIo& io) override {
        io.Array(chrBanks).Array(prgBanks)(mirrorControl, ramEnable);
    }

    std::uint8_t ReadRam(std::uint32_t address) const;

private:
    void Map();
};

// Taito's X1-017 (mapper 82): registers at $7EF0-$7EFF for two 2 KiB and four 1 KiB CHR banks whose
// halves bit 1 of $7EF6 swaps, mirroring, three 8 KiB PRG banks (the value's bits 2-7) with the last
// page fixed, and 5 KiB of RAM at $6000-$73FF (its three write enables are not emulated).
class TaitoX1017 : public Mmc {
public:
    explicit TaitoX1017(Process* process);

    void Reset(bool hard) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    std::array<std::uint8_t, 6> chrBanks{};
    std::array<std::uint8_t, 3> prgBanks{};
    std::uint8_t control = 0; // $7EF6: mirroring (bit 0) and CHR inversion (bit 1)

    void StateRegisters(StateIo& io) override { io.Array(chrBanks).Array(prgBanks)(control); }

private:
    void Map();
};

} // namespace Halvo::Nes
