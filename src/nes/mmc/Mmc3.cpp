#include "nes/mmc/Mmc3.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

Mmc3::Mmc3(Process* process) : Mmc(process) {
    EnsureWram();
    a12Hook = true;
}

// The exact model's counter, as the MMC3B (most games' chip) counts: on each filtered rise of A12 a
// counter at 0, or one asked to reload by $C001, takes the latch; any other counter counts down. A
// counter at 0 after that raises the IRQ while it is enabled, so a latch of 0 raises it on every line
// (mmc3_test_2 "1-clocking", "2-details", "4-scanline_timing", "5-MMC3"). `irqRunning` holds the
// reload request here.
void Mmc3::OnPpuA12Rise() {
    if (irqCounter == 0 || irqRunning) {
        irqCounter = irqLatch;
        irqRunning = false;
    } else {
        --irqCounter;
    }
    if (irqCounter == 0 && irqEnabled) {
        RaiseIrq();
    }
}

// A counter at 0 or asked to reload takes the latch at the next rise and reaches 0 that many rises
// later (at once with a latch of 0); any other counter reaches 0 in as many rises as it holds.
std::uint32_t Mmc3::A12RisesToIrq() const {
    if (!irqEnabled) {
        return 0;
    }
    if (irqCounter == 0 || irqRunning) {
        return irqLatch + 1u;
    }
    return irqCounter;
}

void Mmc3::Reset(bool hard) {
    Mmc::Reset(hard);
    // PAL and the Dendy draw 312 lines a frame, NTSC 262.
    preRenderLine = process->EffectiveRegion() == Region::Ntsc ? 261 : 311;
    MapPrg8k(0, 4);
    MapPrg8k(1, 5);
    MapPrg8k(PrgPageFromEnd(2), 6);
    // $E000 always shows the last page: the reset vector lives there.
    MapPrg8k(PrgPageFromEnd(1), 7);
    chrInvert = 0;
    SetNameTableMirroring(Image().mirroring);
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChrBank(page, page);
    }
    bankSelect = 0;
    r6Slot = 4;
    fixedSlot = 6;
    r6 = 0;
    r7 = 1;
    // The counter runs on through a soft reset: the reset line of the console does not reach it.
    if (hard) {
        irqCounter = irqLatch = 0;
        irqEnabled = irqRunning = false;
    }
}

void Mmc3::WriteRegister(std::uint16_t address, std::uint8_t value) {
    // The registers answer at their seven exact addresses only; every other address is ignored.
    switch (address) {
    case 0x8000: {
        bankSelect = value & 7;
        // A new inversion applies to the CHR bank writes that follow; the pages mapped stay.
        chrInvert = (value & 0x80) ? 4 : 0;
        const std::uint32_t mode = (value & 0x40) ? 2 : 0;
        r6Slot = 4 + mode;
        fixedSlot = 6 - mode;
        MapPrg8k(r6, r6Slot);
        MapPrg8k(r7, 5);
        MapPrg8k(PrgPageFromEnd(2), fixedSlot);
        break;
    }
    case 0x8001:
        if (bankSelect < 2) {
            // A 2 KiB bank: the value and the page after it, as written (not made even).
            const std::uint32_t page = (2 * bankSelect) ^ chrInvert;
            MapChrBank(value, page);
            MapChrBank(value + 1u, page + 1);
        } else if (bankSelect < 6) {
            MapChrBank(value, (bankSelect + 2) ^ chrInvert);
        } else if (bankSelect == 6) {
            r6 = value;
            MapPrg8k(r6, r6Slot);
        } else {
            r7 = value;
            MapPrg8k(r7, 5);
        }
        break;
    case 0xA000:
        // Four-screen boards wire their own name-table RAM and ignore the mirroring bit.
        if (mirroring != MirrorFourScreen) {
            SetNameTableMirroring((value & 1) ? MirrorHorizontal : MirrorVertical);
        }
        break;
    case 0xC000:
        irqLatch = value;
        if (!irqRunning && !ExactTiming()) {
            irqCounter = value;
        }
        break;
    case 0xC001:
        if (ExactTiming()) {
            // The counter reloads at the next clock.
            irqCounter = 0;
            irqRunning = true;
            break;
        }
        irqCounter = irqLatch;
        irqRunning = false;
        break;
    case 0xE000:
        // Disabling is also the acknowledgement: the chip lets go of the IRQ line.
        irqEnabled = false;
        LowerIrq();
        if (!irqRunning && !ExactTiming()) {
            irqCounter = irqLatch;
        }
        break;
    case 0xE001:
        irqEnabled = true;
        if (!irqRunning && !ExactTiming()) {
            irqCounter = irqLatch;
        }
        break;
    default: // $A001 (work RAM protection, not emulated: the RAM is always open) and the rest
        break;
    }
}

void Mmc3::MapChrBank(std::uint32_t bank, std::uint32_t page) {
    MapChr1k(bank, page);
}

bool Mmc3::CountedLine() const {
    // The chip counts the rises of PPU A12 that sprite fetches make once per rendered line; this
    // counts the lines instead, at the end of lines 0-238 and of the pre-render line.
    const Ppu& ppu = process->GetPpu();
    if ((ppu.mask & Ppu::MaskRendering) == 0) {
        return false;
    }
    const std::int32_t line = ppu.scanline;
    return (line >= 1 && line <= 239) || line == preRenderLine;
}

void Mmc3::OnScanline() {
    if (!CountedLine()) {
        return;
    }
    irqRunning = true;
    const std::uint8_t old = irqCounter--;
    if (old == 0) {
        irqCounter = irqLatch;
        if (irqEnabled) {
            irqRunning = false;
            // Held until $E000 acknowledges it; the CPU waits while its I flag is set.
            RaiseIrq();
        }
    }
}

} // namespace Halvo::Nes
