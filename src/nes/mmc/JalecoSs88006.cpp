#include "nes/mmc/JalecoSs88006.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint32_t Mirrorings[4] = {MirrorHorizontal, MirrorVertical, MirrorSinglePage0,
                                         MirrorSinglePage1};

std::uint8_t Nibble(std::uint8_t bank, std::uint8_t value, bool high) {
    return high ? static_cast<std::uint8_t>((bank & 0x0F) | (value & 0x0F) << 4)
                : static_cast<std::uint8_t>((bank & 0xF0) | (value & 0x0F));
}

} // namespace

JalecoSs88006::JalecoSs88006(Process* process) : Mmc(process) {
    EnsureWram();
}

void JalecoSs88006::Reset(bool hard) {
    Mmc::Reset(hard);
    prgBanks = {0, 1, 2};
    for (std::uint32_t slot = 0; slot < 3; ++slot) {
        MapPrg8k(prgBanks[slot], 4 + slot);
    }
    MapPrg8k(PrgPageFromEnd(1), 7);
    for (std::uint32_t page = 0; page < 8; ++page) {
        chrBanks[page] = static_cast<std::uint8_t>(page);
        MapChr1k(page, page);
    }
    mirrorControl = Image().mirroring == MirrorVertical ? 1 : 0;
    SetNameTableMirroring(Mirrorings[mirrorControl]);
    if (hard) {
        reload = counter = 0;
        irqControl = 0;
        counterCycle = 0;
    }
}

std::uint16_t JalecoSs88006::CountMask() const {
    if (irqControl & 0x08) {
        return 0x000F;
    }
    if (irqControl & 0x04) {
        return 0x00FF;
    }
    return (irqControl & 0x02) ? 0x0FFF : 0xFFFF;
}

void JalecoSs88006::SyncCounter(std::uint64_t now) {
    if (irqControl & 1) {
        const std::uint64_t elapsed = now - counterCycle;
        const std::uint16_t mask = CountMask();
        const std::uint64_t counting = counter & mask;
        std::uint64_t left = counting >= elapsed
                                 ? counting - elapsed
                                 : mask - (elapsed - counting - 1) % (std::uint64_t{mask} + 1);
        counter = static_cast<std::uint16_t>((counter & ~mask) | left);
    }
    counterCycle = now;
}

void JalecoSs88006::WriteRegister(std::uint16_t address, std::uint8_t value) {
    const std::uint32_t reg = ((address >> 10) & 0x1C) | (address & 3); // A14-A12, A1-A0
    const bool high = address & 1;
    if (reg < 6) { // $8000-$8003, $9000-$9001: PRG
        const std::uint32_t slot = reg >> 1;
        prgBanks[slot] = Nibble(prgBanks[slot], value, high);
        MapPrg8k(prgBanks[slot], 4 + slot);
    } else if (reg < 8) {
        // $9002: the work RAM's enable and write protection, not emulated (always open).
    } else if (reg < 24) { // $A000-$D003: CHR
        const std::uint32_t page = (reg - 8) >> 1;
        chrBanks[page] = Nibble(chrBanks[page], value, high);
        MapChr1k(chrBanks[page], page);
    } else if (reg < 28) { // $E000-$E003: the reload value, a nibble each
        const std::uint32_t shift = (reg - 24) * 4;
        reload = static_cast<std::uint16_t>((reload & ~(0xF << shift)) | (value & 0x0F) << shift);
    } else if (reg < 30) { // $F000 reloads the counter, $F001 sets the control; both acknowledge
        SyncCounter(CpuCycle());
        if (reg == 28) {
            counter = reload;
        } else {
            irqControl = value & 0x0F;
        }
        LowerIrq();
        ScheduleIrq();
    } else if (reg == 30) {
        mirrorControl = value & 3;
        SetNameTableMirroring(Mirrorings[mirrorControl]);
    }
    // $F003: the sound chip of some boards, not emulated.
}

std::uint64_t JalecoSs88006::NextIrqCycle() {
    return (irqControl & 1) ? counterCycle + (counter & CountMask()) + 1 : Apu::Never;
}

void JalecoSs88006::OnIrqCycle(std::uint64_t cycle) {
    SyncCounter(cycle);
    RaiseIrq();
}

} // namespace Halvo::Nes
