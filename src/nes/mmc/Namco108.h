#pragma once

#include "nes/mmc/Mmc3.h"

namespace Halvo::Nes {

// Namco's 108 chip (the DxROM boards): the MMC3's eight bank registers at $8000 (select) and $8001
// (data) mirrored through $9FFF, without its PRG and CHR swap bits, mirroring control, IRQ counter or
// work RAM. Mirroring is soldered (four screens on DRROM).
class Namco108 : public Mmc3 {
public:
    explicit Namco108(Process* process);

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

} // namespace Halvo::Nes

namespace Halvo::Nes {

// Namco's 3446 board (mapper 76): registers 2-5 select 2 KiB CHR banks across the whole pattern
// space; registers 0 and 1 do nothing.
class Namco3446 : public Namco108 {
public:
    using Namco108::Namco108;

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
};

// Namco's 3433 and 3443 boards (mapper 88): CHR A16 follows the pattern table, so registers 0-1 reach
// the lower 64 KiB of CHR-ROM and registers 2-5 the upper. The 3453 board (mapper 154) adds one-screen
// mirroring in bit 6 of every register write.
class Namco3433 : public Namco108 {
public:
    explicit Namco3433(Process* process);

    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    bool oneScreen = false; // 3453

protected:
    void MapChrBank(std::uint32_t bank, std::uint32_t page) override;
};

// Namco's 3425 board (mapper 95): bit 5 of register 0 picks the name-table page of $2000-$27FF and
// bit 5 of register 1 that of $2800-$2FFF.
class Namco3425 : public Namco108 {
public:
    using Namco108::Namco108;

protected:
    void MapChrBank(std::uint32_t bank, std::uint32_t page) override;
};

} // namespace Halvo::Nes
