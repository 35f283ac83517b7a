#include "nes/mmc/Mmc.h"

#include <algorithm>
#include <cstring>

#include "console/System.h"
#include "nes/Apu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {

namespace {

// Slots 0-3 of each mirroring type, for types 0-4 and 6-7 (5 leaves the slots alone).
constexpr std::uint8_t MirroringPages[8][4] = {
    {0, 0, 1, 1}, {0, 1, 0, 1}, {0, 0, 0, 0}, {1, 1, 1, 1},
    {0, 1, 2, 3}, {0, 0, 0, 0}, {2, 2, 2, 2}, {3, 3, 3, 3},
};

// The CPU pages of $5000-$7FFF, where work RAM answers.
constexpr std::uint32_t FirstWramPage = 0x5000 >> Process::PageShift;
// The 4 KiB of work RAM at $5000-$5FFF come before the 8 KiB that the header's size counts at $6000.
constexpr std::uint32_t WramBelow6000 = 0x1000;

void WriteWatchedPage(Process* process, std::uint32_t address, std::uint8_t value) {
    // A bank switch changes what the PPU's coming fetches see.
    process->GetPpu().CatchUp();
    process->GetMmc().WriteLow(static_cast<std::uint16_t>(address), value);
}

} // namespace

Mmc::Mmc(Process* process)
    : process(process), nameTableRam(std::make_unique_for_overwrite<std::uint8_t[]>(NameTableRamSize)) {
    const RomImage& image = *process->romImage;
    prgPageCount = 2 * image.prgBankCount;
    chrPageCount = image.chrRom ? 8 * image.chrBankCount : 0;
    // A header that asks for more RAM than usual gets it, up to what any board could bank.
    const std::uint64_t askedWram = std::uint64_t{image.prgRamSize} + image.prgNvramSize;
    if (askedWram > WramSize - WramBelow6000) {
        wramSize = WramBelow6000 +
                   static_cast<std::uint32_t>(std::min<std::uint64_t>(askedWram, MaxCartridgeRamSize));
    }
    const std::uint64_t askedChrRam = std::uint64_t{image.chrRamSize} + image.chrNvramSize;
    if (image.hasWram) {
        EnsureWram();
    }
    // A cartridge without CHR-ROM carries CHR-RAM in its place, whether or not the image says so.
    if (image.hasChrRam || chrPageCount == 0) {
        EnsureChrRam(static_cast<std::uint32_t>(std::min<std::uint64_t>(askedChrRam, MaxCartridgeRamSize)));
    }
}

Mmc::~Mmc() = default;

void Mmc::RaiseIrq() {
    process->cpu->SetIrqInput(Cpu::IrqBoard, true);
}

void Mmc::LowerIrq() {
    // A board resets before the processor exists while the machine is being built.
    if (process->cpu) {
        process->cpu->SetIrqInput(Cpu::IrqBoard, false);
    }
}

void Mmc::ScheduleIrq() {
    process->ScheduleBoardIrq();
}

std::uint64_t Mmc::CpuCycle() const {
    return process->CpuCycle();
}

const RomImage& Mmc::Image() const {
    return *process->romImage;
}

bool Mmc::ExactTiming() const {
    return process->exactCpu != nullptr;
}

// A machine built without a sound unit (as some tests build one) has nothing to attach to.
void Mmc::AttachSound(ExpansionSound& chip) {
    if (process->apu) {
        process->apu->AttachExpansion(&chip);
    }
}

void Mmc::RunSound() {
    if (process->apu) {
        process->apu->RunTo(CpuCycle());
    }
}

void Mmc::EnsureWram(std::uint32_t size) {
    if (!wram || wramSize < size) {
        // Cleared here, since a battery keeps it through the hard resets below.
        wramSize = std::max(wramSize, size);
        wram = std::make_unique<std::uint8_t[]>(wramSize);
    }
}

void Mmc::EnsureChrRam(std::uint32_t size) {
    // Called from constructors only: a board that needs more than the image gave gets it afresh.
    if (!chrRam || chrRamSize < size) {
        chrRamSize = std::max({size, chrRamSize, ChrRamSize});
        chrRam = std::make_unique_for_overwrite<std::uint8_t[]>(chrRamSize);
    }
}

void Mmc::Reset(bool hard) {
    if (hard) {
        // Battery-backed RAM keeps the player's saves through a power cycle: that is what the battery
        // is for.
        if (wram && !process->romImage->hasBattery) {
            std::memset(wram.get(), 0, wramSize);
        }
        if (chrRam) {
            std::memset(chrRam.get(), 0, chrRamSize);
        }
        std::memset(nameTableRam.get(), 0, NameTableRamSize);
        // Power comes up with the board's IRQ logic idle (a bare test machine has no processor).
        if (process->cpu) {
            LowerIrq();
        }
    }
    if (wram) {
        // CPU address $5000 + n reaches wram[n].
        for (std::uint32_t i = 0; i < WramSize / Process::PageSize; ++i) {
            std::uint8_t* storage = wram.get() + i * Process::PageSize;
            process->MapCpuPage(FirstWramPage + i, storage, storage);
        }
    }
    if (chrRam) {
        Ppu& ppu = *process->ppu;
        for (std::uint32_t page = 0; page < 8; ++page) {
            ppu.MapVramPage(page, chrRam.get() + page * ChrPageSize, true);
        }
    }
}

void Mmc::WriteRegister(std::uint16_t, std::uint8_t) {}
void Mmc::OnScanline() {
    scanlineHook = false;
}
void Mmc::OnVBlank() {}
void Mmc::OnVramAddress(std::uint16_t) {}
void Mmc::OnPatternFetch(std::uint16_t) {
    patternFetchHook = false;
}

void Mmc::OnPatternPhase(bool) {
    patternPhaseHook = false;
}

void Mmc::OnPpuA12Rise() {
    a12Hook = false;
}

std::uint32_t Mmc::A12RisesToIrq() const {
    return 1;
}

std::uint8_t Mmc::GetAttribute(std::uint16_t) {
    attributeHook = false;
    return 0;
}

void Mmc::WriteLow(std::uint16_t address, std::uint8_t value) {
    PassLowWrite(address, value);
}

void Mmc::WatchLowWrites(std::uint16_t first, std::uint16_t last) {
    for (std::uint32_t page = first >> Process::PageShift; page <= (last >> Process::PageShift); ++page) {
        // A soft reset of the board alone finds the page watched already: keep what answered before.
        if (process->writeHandlers[page] != &WriteWatchedPage) {
            passStorage[page - FirstLowPage] = process->writePages[page];
            passHandlers[page - FirstLowPage] = process->writeHandlers[page];
        }
        process->MapCpuPage(page, process->readPages[page], nullptr);
        process->SetCpuWriteHandler(page, &WriteWatchedPage);
    }
}

void Mmc::PassLowWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint32_t page = (address >> Process::PageShift) - FirstLowPage;
    if (std::uint8_t* storage = passStorage[page]) {
        storage[address & Process::PageMask] = value;
    } else {
        passHandlers[page](process, address, value);
    }
}

std::uint64_t Mmc::NextIrqCycle() {
    return Apu::Never;
}

void Mmc::OnIrqCycle(std::uint64_t) {}

void Mmc::MapPrg8k(std::uint32_t bank, std::uint32_t slot) {
    // An image without PRG-ROM is refused before a board is made; keep the slot unmapped anyway.
    if (prgPageCount == 0) {
        return;
    }
    const std::uint8_t* base = process->romImage->prgRom.get() + (bank % prgPageCount) * PrgPageSize;
    for (std::uint32_t i = 0; i < PrgPageSize / Process::PageSize; ++i) {
        process->MapCpuPage(slot * 4 + i, base + i * Process::PageSize, nullptr);
    }
}

void Mmc::MapPrg16k(std::uint32_t bank, std::uint32_t slot) {
    MapPrg8k(bank * 2, slot);
    MapPrg8k(bank * 2 + 1, slot + 1);
}

void Mmc::MapPrg32k(std::uint32_t bank) {
    for (std::uint32_t i = 0; i < 4; ++i) {
        MapPrg8k(bank * 4 + i, 4 + i);
    }
}

void Mmc::MapPrg2k(std::uint32_t offset, std::uint32_t page) {
    if (prgPageCount == 0) {
        return;
    }
    const std::uint32_t size = prgPageCount * PrgPageSize;
    process->MapCpuPage(page, process->romImage->prgRom.get() + offset % size, nullptr);
}

std::uint32_t Mmc::PrgPageFromEnd(std::uint32_t back) const {
    return prgPageCount == 0 ? 0 : (prgPageCount - back % prgPageCount) % prgPageCount;
}

void Mmc::MapWram8k(std::uint32_t bank, std::uint32_t slot) {
    if (!wram) {
        UnmapPrg8k(slot);
        return;
    }
    constexpr std::uint32_t FirstPage = 0x6000 - 0x5000;
    std::uint8_t* base = wram.get() + FirstPage + bank * PrgPageSize % (wramSize - FirstPage);
    for (std::uint32_t i = 0; i < PrgPageSize / Process::PageSize; ++i) {
        process->MapCpuPage(slot * 4 + i, base + i * Process::PageSize, base + i * Process::PageSize);
    }
}

void Mmc::MapCpuHandlers(std::uint32_t page, std::uint8_t (*read)(Process*, std::uint32_t),
                         void (*write)(Process*, std::uint32_t, std::uint8_t)) {
    process->MapCpuPage(page, nullptr, nullptr);
    process->SetCpuReadHandler(page, read);
    process->SetCpuWriteHandler(page, write);
}

void Mmc::UnmapPrg8k(std::uint32_t slot) {
    for (std::uint32_t i = 0; i < PrgPageSize / Process::PageSize; ++i) {
        process->MapCpuPage(slot * 4 + i, nullptr, nullptr);
    }
}

void Mmc::MapChr1k(std::uint32_t bank, std::uint32_t page) {
    if (chrPageCount == 0) {
        return;
    }
    Ppu& ppu = *process->ppu;
    ppu.MapVramPage(page, process->romImage->chrRom.get() + (bank % chrPageCount) * ChrPageSize, false);
}

void Mmc::MapChr4k(std::uint32_t bank, std::uint32_t table) {
    for (std::uint32_t i = 0; i < 4; ++i) {
        MapChr1k(bank * 4 + i, table * 4 + i);
    }
}

void Mmc::MapChr8k(std::uint32_t bank) {
    for (std::uint32_t page = 0; page < 8; ++page) {
        MapChr1k(bank * 8 + page, page);
    }
}

void Mmc::MapChrRam1k(std::uint32_t bank, std::uint32_t page) {
    Ppu& ppu = *process->ppu;
    ppu.MapVramPage(page, chrRam.get() + (bank % (chrRamSize / ChrPageSize)) * ChrPageSize, true);
}

void Mmc::MapChrRam4k(std::uint32_t bank, std::uint32_t table) {
    for (std::uint32_t i = 0; i < 4; ++i) {
        MapChrRam1k(bank * 4 + i, table * 4 + i);
    }
}

void Mmc::MapChrMemory(std::uint32_t page, std::uint8_t* storage, bool writable) {
    Ppu& ppu = *process->ppu;
    ppu.MapVramPage(page, storage, writable);
}

void Mmc::MapPrgMemory8k(const std::uint8_t* storage, std::uint32_t slot) {
    for (std::uint32_t i = 0; i < PrgPageSize / Process::PageSize; ++i) {
        process->MapCpuPage(slot * 4 + i, storage + i * Process::PageSize, nullptr);
    }
}

void Mmc::MapNameTable(std::uint32_t slot, std::uint32_t ramPage) {
    MapNameTableMemory(slot, nameTableRam.get() + (ramPage & 3) * ChrPageSize, true);
}

void Mmc::MapNameTableMemory(std::uint32_t slot, std::uint8_t* storage, bool writable) {
    Ppu& ppu = *process->ppu;
    ppu.MapVramPage(8 + slot, storage, writable);
    ppu.MapVramPage(12 + slot, storage, writable);
    mirroring = MirrorByMapper;
}

void Mmc::SetNameTableMirroring(std::uint32_t type) {
    if (type != MirrorByMapper) {
        const std::uint8_t* pages = MirroringPages[MirrorFourScreen];
        if (type < 8) {
            pages = MirroringPages[type];
        } else {
            Console::ReportError("Halvo::Nes::Mmc::SetNameTableMirroring", __LINE__)
                << "Invalid name table mirroring type used." << std::endl;
        }
        for (std::uint32_t slot = 0; slot < 4; ++slot) {
            MapNameTable(slot, pages[slot]);
        }
    }
    mirroring = type;
}

} // namespace Halvo::Nes
