#pragma once

#include <array>
#include <cstdint>

#include "nes/Mmc5Sound.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// Nintendo's MMC5 (the ExROM boards), as far as its games need it: PRG-ROM and work RAM in 8, 16 or
// 32 KiB banks over $6000-$FFFF, CHR in 1, 2, 4 or 8 KiB banks with a second set for the background
// while sprites are 8x16, 1 KiB of extended RAM (an extra name table, a tile bank and palette per
// background tile, or plain RAM), a fill name table, free name-table mapping, a scanline IRQ with an
// in-frame flag, an 8x8-bit multiplier and its sound channels. Its registers sit at $5000-$5FFF. Not
// emulated: the vertical split, the PCM channel's read mode and IRQ, and the work RAM write protection.
class Mmc5 : public Mmc {
public:
    static constexpr std::uint32_t WramBytes = 64 * 1024;

    explicit Mmc5(Process* process);

    void Reset(bool hard) override;
    void OnScanline() override;
    void OnVBlank() override;
    void OnPatternPhase(bool sprites) override;
    std::uint8_t GetAttribute(std::uint16_t nameTableAddress) override;
    std::uint64_t NextIrqCycle() override;
    void OnIrqCycle(std::uint64_t cycle) override;

    // $5000-$5FFF.
    std::uint8_t ReadLowRegister(std::uint32_t address);
    void WriteLowRegister(std::uint32_t address, std::uint8_t value);

    std::uint8_t prgMode = 3;                 // $5100: 32, 16 + 16, 16 + 8 + 8 or four 8 KiB banks
    std::uint8_t chrMode = 3;                 // $5101: 8, 4, 2 or 1 KiB banks
    std::array<std::uint8_t, 2> ramProtect{}; // $5102, $5103 (kept, not enforced)
    std::uint8_t exramMode = 0;               // $5104
    std::uint8_t nameTableMap = 0;            // $5105: two bits per slot
    std::uint8_t fillTile = 0;                // $5106
    std::uint8_t fillColour = 0;              // $5107
    // $5113-$5117: the RAM bank at $6000, then the banks of $8000-$FFFF (bit 7 set: PRG-ROM).
    std::array<std::uint8_t, 5> prgBanks{};
    // $5120-$5127 (sprites, and everything while sprites are 8x8) and $5128-$512B (the background
    // while sprites are 8x16), each with the $5130 bits that were set when it was written.
    std::array<std::uint16_t, 12> chrBanks{};
    std::uint8_t chrUpper = 0;      // $5130
    bool lastSetBackground = false; // which set was written last: it serves everything with 8x8 sprites
    bool spritePhase = false;       // the PPU is fetching sprite patterns
    std::uint8_t irqLine = 0;       // $5203: the line that raises the IRQ (0: none)
    bool irqEnabled = false;        // $5204 bit 7
    bool irqFlag = false;           // $5204 bit 7 when read; reading clears it
    bool inFrame = false;           // $5204 bit 6: the PPU is rendering lines 0-239
    std::uint8_t lineCount = 0;     // the line the PPU is on, counted from 0 at the frame start
    std::uint64_t irqRiseCycle = 0; // when the coming line starts and the flag rises, or Never
    std::array<std::uint8_t, 2> factors{0xFF, 0xFF}; // $5205, $5206
    std::array<std::uint8_t, 1024> exram{};
    // What a slot in fill mode shows: the fill tile everywhere, the fill colour in every attribute.
    std::array<std::uint8_t, 1024> fillTable{};
    Mmc5Sound sound;

    void StateRegisters(StateIo& io) override {
        io.Bounded(prgMode, std::uint8_t{3}).Bounded(chrMode, std::uint8_t{3}).Array(ramProtect);
        io.Bounded(exramMode, std::uint8_t{3});
        io(nameTableMap, fillTile, fillColour).Array(prgBanks).Array(chrBanks);
        io(chrUpper, lastSetBackground, spritePhase, irqLine, irqEnabled, irqFlag, inFrame, lineCount);
        io(irqRiseCycle).Array(factors).Array(exram).Array(fillTable);
        // Format 1 did not play the chip's sound.
        if (io.Version() >= 2) {
            const StateIo::Scope scope(io, "sound");
            sound.State(io);
        }
    }
    OwnMemory StateMemory(std::uint32_t index) override {
        return index == 0   ? OwnMemory{exram.data(), exram.size(), true}
               : index == 1 ? OwnMemory{fillTable.data(), fillTable.size(), false}
                            : OwnMemory{};
    }

private:
    void MapPrgBank(std::uint8_t value, std::uint32_t slot);
    void MapPrg();
    void MapChr();
    void MapNameTables();
};

} // namespace Halvo::Nes
