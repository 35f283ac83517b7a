#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The boards of the MMC1 chip (S*ROM). The CPU loads the four 5-bit registers one bit at a time: five
// writes to $8000-$FFFF, bit 0 of each, the address of the fifth choosing the register. They select
// the PRG mode and banks, the CHR mode and banks, and the mirroring; boards with 512 KiB of PRG-ROM
// take the upper 256 KiB through bit 4 of the CHR registers. Work RAM at $5000-$7FFF is always there.
class Mmc1 : public Mmc {
public:
    explicit Mmc1(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t control = 0x0C; // bits 0-1 mirroring, 2-3 PRG mode, 4 CHR mode
    std::uint8_t chrBank0 = 0;
    std::uint8_t chrBank1 = 0;
    std::uint8_t prgBank = 0; // bits 0-3
    std::uint8_t shift = 0;
    std::uint8_t shiftCount = 0;
    void StateRegisters(StateIo& io) override {
        io(control, chrBank0, chrBank1, prgBank, shift).Bounded(shiftCount, std::uint8_t{4});
    }

    // The 8 KiB page of the fixed last 16 KiB bank: the last of the first 256 KiB on 512 KiB boards.
    std::uint32_t lastBankPage = 0;

protected:
    // After every register load and reset: the banks and mirroring the registers select.
    virtual void MapBanks();
};

} // namespace Halvo::Nes
