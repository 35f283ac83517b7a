#include "nes/mmc/DiscreteLatch.h"

#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

void DiscreteLatch::Reset(bool hard) {
    Mmc::Reset(hard);
    if (LowLatch()) {
        WatchLowWrites(0x6000, 0x7FFF);
    }
    SetNameTableMirroring(Image().mirroring == MirrorFourScreen ? MirrorVertical : Image().mirroring);
    MapResetPrg();
    latch = 0;
    Apply(0);
}

void DiscreteLatch::MapResetPrg() {
    MapPrg16k(0, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
}

void DiscreteLatch::WriteRegister(std::uint16_t, std::uint8_t value) {
    if (!LowLatch()) {
        const std::uint8_t previous = latch;
        latch = value;
        Apply(previous);
    }
}

void DiscreteLatch::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (LowLatch() && address >= 0x6000) {
        const std::uint8_t previous = latch;
        latch = value;
        Apply(previous);
    } else {
        PassLowWrite(address, value);
    }
}

void Jaleco87::Apply(std::uint8_t) {
    MapChr8k(((latch & 1u) << 1) | ((latch >> 1) & 1u));
}

Bandai74161::Bandai74161(Process* process) : DiscreteLatch(process) {
    oneScreen = Image().boardName.find("152") != std::string::npos;
}

void Bandai74161::Apply(std::uint8_t) {
    MapPrg16k((latch >> 4) & (oneScreen ? 7 : 15), 4);
    MapChr8k(latch & 0x0F);
    if (oneScreen) {
        SetNameTableMirroring((latch & 0x80) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
}

void Sunsoft1::Apply(std::uint8_t) {
    MapChr4k(latch & 7, 0);
    MapChr4k((latch >> 4) & 7, 1);
}

Sunsoft2::Sunsoft2(Process* process) : DiscreteLatch(process) {
    chrBanking = Image().boardName.find("3R") == std::string::npos;
    if (!chrBanking) {
        EnsureChrRam();
    }
}

void Sunsoft2::Apply(std::uint8_t) {
    MapPrg16k((latch >> 4) & 7, 4);
    if (chrBanking) {
        MapChr8k(((latch >> 4) & 8u) | (latch & 7u));
        SetNameTableMirroring((latch & 0x08) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
}

JalecoJf17::JalecoJf17(Process* process) : DiscreteLatch(process) {
    upperSwitches = Image().boardName.find("JF-19") != std::string::npos;
}

void JalecoJf17::MapResetPrg() {
    prgBank = upperSwitches ? static_cast<std::uint8_t>(PrgPageFromEnd(2) / 2) : 0;
    MapPrg16k(0, 4);
    MapPrg16k(PrgPageFromEnd(2) / 2, 6);
}

void JalecoJf17::Apply(std::uint8_t previous) {
    const std::uint8_t rises = latch & ~previous;
    if (rises & 0x80) {
        prgBank = latch & 0x0F;
        MapPrg16k(prgBank, upperSwitches ? 6 : 4);
    }
    if (rises & 0x40) {
        MapChr8k(latch & 0x0F);
    }
    if (previous == 0 && latch == 0) {
        MapChr8k(0);
    }
}

void JalecoJf13::WriteLow(std::uint16_t address, std::uint8_t value) {
    if (address < 0x7000) {
        DiscreteLatch::WriteLow(address, value);
    }
}

void JalecoJf13::Apply(std::uint8_t) {
    MapPrg32k((latch >> 4) & 3);
    MapChr8k(((latch >> 4) & 4u) | (latch & 3u));
}

Jaleco78::Jaleco78(Process* process) : DiscreteLatch(process) {
    holyDiver = Image().boardName.find("IF-12") != std::string::npos;
}

void Jaleco78::Apply(std::uint8_t) {
    MapPrg16k(latch & 7, 4);
    MapChr8k(latch >> 4);
    if (holyDiver) {
        SetNameTableMirroring((latch & 0x08) ? MirrorVertical : MirrorHorizontal);
    } else {
        SetNameTableMirroring((latch & 0x08) ? MirrorSinglePage1 : MirrorSinglePage0);
    }
}

} // namespace Halvo::Nes
