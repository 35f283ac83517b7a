#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Camerica's BF9096 board (Quattro multicarts): PRG-ROM in 64 KiB blocks, chosen at $8000-$BFFF
// (bits 3-4), each an UNROM of four 16 KiB banks: the bank at $8000 written at $C000-$FFFF
// (bits 0-1), the block's last bank fixed at $C000. 8 KiB of CHR-RAM. The Aladdin Deck Enhancer
// (submapper 1) wires the two block bits the other way round.
class Bf9096 : public Mmc {
public:
    explicit Bf9096(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;

    std::uint8_t block = 0; // 64 KiB block
    std::uint8_t bank = 0;  // 16 KiB bank within it at $8000

    void StateRegisters(StateIo& io) override { io(block, bank); }

private:
    void MapBanks();
};

} // namespace Halvo::Nes
