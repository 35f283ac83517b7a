#pragma once

#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

// The boards of the MMC3 chip (T*ROM and kin): 8 KiB PRG banks with two switchable ones and a mode
// bit that swaps $8000 and $C000, 1 KiB and 2 KiB CHR banks with a bit that swaps the two pattern
// tables, mirroring control, and a scanline counter that raises the CPU's IRQ. The counter is clocked
// once per rendered line through OnScanline. Work RAM at $5000-$7FFF is always there.
class Mmc3 : public Mmc {
public:
    explicit Mmc3(Process* process);

    void Reset(bool hard) override;
    void WriteRegister(std::uint16_t address, std::uint8_t value) override;
    void OnScanline() override;
    void OnPpuA12Rise() override;
    std::uint32_t A12RisesToIrq() const override;

    std::uint32_t bankSelect = 0; // register 0-7 that the next $8001 write loads
    std::uint32_t r6Slot = 4;     // CPU slot of register 6's bank: 4 ($8000) or 6 ($C000)
    std::uint32_t fixedSlot = 6;  // CPU slot of the fixed second-last bank: 6 or 4
    std::uint32_t chrInvert = 0;  // 0 or 4, XORed into the pattern page of every later CHR bank write
    std::uint32_t r6 = 0;
    std::uint32_t r7 = 1;
    std::uint8_t irqCounter = 0;
    std::uint8_t irqLatch = 0;
    bool irqEnabled = false;
    // Set by every clock; cleared by a $C001 write and by a raised IRQ. While set, latch and enable
    // writes leave the counter alone.
    bool irqRunning = false;

    void StateRegisters(StateIo& io) override {
        // The slots and the inversion decide where later writes map: only their two settings are valid.
        io.Bounded(bankSelect, 7u).Bounded(r6Slot, 6u, 4u).Bounded(fixedSlot, 6u, 4u).Bounded(chrInvert, 4u);
        if (io.Loading() && (r6Slot + fixedSlot != 10 || chrInvert % 4 != 0)) {
            io.Fail();
        }
        io(r6, r7, irqCounter, irqLatch, irqEnabled, irqRunning);
    }

    // The line that precedes line 0: 261 on NTSC, 311 on PAL.
    std::int32_t preRenderLine = 261;

protected:
    // Whether the line the PPU has just finished clocks a scanline counter that watches PPU A12: the
    // rendered lines and the pre-render line, while rendering is on.
    bool CountedLine() const;
    // Every 1 KiB CHR bank the registers select, pattern page by pattern page: CHR-ROM here; the
    // TxSROM and TQROM boards also wire a bank bit elsewhere.
    virtual void MapChrBank(std::uint32_t bank, std::uint32_t page);
};

} // namespace Halvo::Nes
