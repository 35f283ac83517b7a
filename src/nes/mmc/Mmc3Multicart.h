#pragma once

#include <array>
#include <cstdint>

#include "nes/mmc/Mmc3.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// MMC3 multicarts whose outer bank register at $6000-$7FFF confines the MMC3 to one game's part of
// the ROMs. Mapper 37 (Super Mario Bros. + Tetris + Nintendo World Cup): bits 0-2 pick 64 KiB or
// 128 KiB of PRG-ROM (0-2: the first 64 KiB, 3: the second, 4-6: the second 128 KiB, 7: the last
// 64 KiB) and bit 2 the 128 KiB half of CHR-ROM. Mapper 47 (NES-QJ): bit 0 picks the 128 KiB half of
// both. The fixed pages are the last of the part chosen.
class Mmc3Multicart : public Mmc3 {
public:
    explicit Mmc3Multicart(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void WriteLow(std::uint16_t address, std::uint8_t value) override;

    bool qj = false; // mapper 47
    std::uint8_t outer = 0;
    std::array<std::uint32_t, 8> chrBanks{}; // as the MMC3 selected them

    void StateRegisters(StateIo& io) override {
        Mmc3::StateRegisters(io);
        io(outer).Array(chrBanks);
    }

protected:
    void MapChrBank(std::uint32_t bank, std::uint32_t page) override;

private:
    std::uint32_t PrgPage(std::uint32_t bank) const;
    void MapOuter();
};

} // namespace Halvo::Nes
