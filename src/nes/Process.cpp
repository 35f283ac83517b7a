#include "nes/Process.h"

#include <algorithm>
#include <stdexcept>

#include "console/ReportedCreate.h"
#include "nes/ExactCpu.h"
#include "nes/Joypad.h"
#include "nes/mmc/MmcManager.h"

namespace Halvo::Nes {

// The register pages' handlers: members, so that they reach the machine's parts directly.
struct Process::Bus {
    // $2000-$3FFF: the eight PPU registers, mirrored every 8 bytes.
    static std::uint8_t ReadPpuRegister(Process* process, std::uint32_t address) {
        return process->ppu->ReadRegister(address);
    }
    static void WritePpuRegister(Process* process, std::uint32_t address, std::uint8_t value) {
        process->ppu->WriteRegister(address, value);
    }
    static std::uint8_t ReadPpuRegisterExact(Process* process, std::uint32_t address) {
        return process->ppu->ReadRegisterExact(address);
    }
    static void WritePpuRegisterExact(Process* process, std::uint32_t address, std::uint8_t value) {
        process->ppu->WriteRegisterExact(address, value);
    }

    // After the processor touched the sound unit: the cycles its DMC fetches took, and when the next line
    // start must look at it again. An acknowledgement ($4015 read, $4017 inhibit, $4010 disable) lowers the
    // unit's inputs to the IRQ line at once; a flag set meanwhile raises its input at the next line start.
    static void AfterApuAccess(Process* process) {
        Cpu& cpu = *process->cpu;
        const Apu& apu = *process->apu;
        if (ExactCpu* exact = process->exactCpu) {
            exact->TakeDmcFetches(process->apu->dmc);
            process->apuDue = std::min(process->apuDue, apu.NextEventCycle());
        } else {
            cpu.counter -= static_cast<std::int32_t>(process->apu->TakeStall()) * Cpu::DotsPerCycle;
            process->apuDue = std::min(process->apuDue, apu.NextIrqCycle());
        }
        if (!apu.frameIrq) {
            cpu.SetIrqInput(Cpu::IrqFrameCounter, false);
        }
        if (!apu.dmc.irqFlag) {
            cpu.SetIrqInput(Cpu::IrqDmc, false);
        }
    }

    // $4000-$4FFF: the sound unit, the controller ports and sprite DMA. Bit 6 of a port read is the open
    // bus left by the address byte $40; the sound unit's write-only registers read 0. In the exact model
    // the bits no device drives are the data bus's: bits 5-7 of a port read, bit 5 of $4015 and every
    // write-only register.
    static std::uint8_t ReadIoRegister(Process* process, std::uint32_t address) {
        if (address == 0x4016 || address == 0x4017) {
            const std::uint8_t bus = process->exactCpu ? process->openBus & 0xE0 : 0x40;
            process->buttons.NotePoll();
            return static_cast<std::uint8_t>(process->ports->Read(address) | bus);
        }
        if (address == 0x4015) {
            std::uint8_t status = process->apu->ReadStatus(process->CpuCycle());
            if (process->exactCpu) {
                status = static_cast<std::uint8_t>((status & ~0x20) | (process->openBus & 0x20));
            }
            AfterApuAccess(process);
            return status;
        }
        return process->openBus;
    }
    static void WriteIoRegister(Process* process, std::uint32_t address, std::uint8_t value) {
        if (address == 0x4014 && process->exactCpu) {
            process->exactCpu->RequestSpriteDma(value);
            return;
        }
        if (address == 0x4014) {
            // The processor stops while the DMA copies 256 bytes.
            process->cpu->counter -= process->ppu->SpriteDma(value);
            return;
        }
        if (address <= 0x4013 || address == 0x4015 || address == 0x4017) {
            process->apu->WriteRegister(address, value, process->CpuCycle());
            AfterApuAccess(process);
        }
        if (address == 0x4016 || address == 0x4017) {
            process->ports->Write(address, value);
        }
    }

    // $8000-$FFFF: every write reaches the board's registers.
    static void WriteMapperRegister(Process* process, std::uint32_t address, std::uint8_t value) {
        // A bank switch changes what the PPU's coming fetches see.
        process->ppu->CatchUp();
        process->mmc->WriteRegister(static_cast<std::uint16_t>(address), value);
    }
};

Ref::Ptr<Process> Process::Create(const std::string& cpuKind, RomImage* romImage) {
    return Console::CreateOrReport("Halvo::Nes::Process::Create", __LINE__, "Could not create Nes::Process--",
                                   "Could not create Nes::Process--unknown exception.",
                                   [&] { return Ref::Ptr<Process>(Ref::New<Process>(cpuKind, romImage)); });
}

Process::Process(const std::string& cpuKind, RomImage* romImage) : Process(romImage) {
    cpu = Cpu::Create(cpuKind, this, nullptr);
    if (!cpu) {
        throw std::runtime_error("Could not create Nes::Cpu object.");
    }
    if (cpuKind == "Exact") {
        exactCpu = static_cast<ExactCpu*>(cpu.Get());
    }
    ppu = Ppu::Create(this);
    if (!ppu) {
        throw std::runtime_error("Could not create Nes::Ppu object.");
    }
    ppu->SetExact(exactCpu != nullptr);
    {
        Ref::Ptr<MmcManager> boards(MmcManager::Instance());
        mmc = boards->CreateMmc(this);
    }
    if (!mmc) {
        throw std::runtime_error("Could not create Nes::Mmc object.");
    }
    ports = Ports::Create(this);
    if (!ports) {
        throw std::runtime_error("Could not create Nes::Ports object.");
    }
    // Both players' joypads, as on the console; they latch from this machine's buttons.
    ports->ConnectDevice(0, Ref::Ptr<ExtDevice>(Ref::New<Joypad>(&buttons, 0, IsExact())));
    ports->ConnectDevice(1, Ref::Ptr<ExtDevice>(Ref::New<Joypad>(&buttons, 1, IsExact())));
    apu = Ref::Ptr<Apu>(Ref::New<Apu>(this));
}

void Process::Reset(bool hard) {
    if (hard) {
        ram.fill(0);
    }
    for (std::uint32_t page = 0; page < PageCount; ++page) {
        const bool isRam = page < 4;
        MapCpuPage(page, isRam ? ram.data() : nullptr, isRam ? ram.data() : nullptr);
        readHandlers[page] = &ReadUnmapped;
        writeHandlers[page] = &WriteUnmapped;
    }
    for (std::uint32_t page = 0x2000 >> PageShift; page < 0x4000 >> PageShift; ++page) {
        readHandlers[page] = exactCpu ? &Bus::ReadPpuRegisterExact : &Bus::ReadPpuRegister;
        writeHandlers[page] = exactCpu ? &Bus::WritePpuRegisterExact : &Bus::WritePpuRegister;
    }
    for (std::uint32_t page = 0x4000 >> PageShift; page < 0x5000 >> PageShift; ++page) {
        readHandlers[page] = &Bus::ReadIoRegister;
        writeHandlers[page] = &Bus::WriteIoRegister;
    }
    for (std::uint32_t page = 0x8000 >> PageShift; page < PageCount; ++page) {
        writeHandlers[page] = &Bus::WriteMapperRegister;
    }
    if (hard) {
        dotBudget = 0;
    }
    region = EffectiveRegion();
    ports->Reset(hard);
    ppu->Reset(hard);
    mmc->Reset(hard);
    cpu->Reset(hard);
    apu->SetRegion(region);
    // At power-up and reset the frame counter restarts as if $4017 had been written some 9 to 12
    // cycles before the processor's first instruction (9 on a console that was off for a while).
    apu->Reset(hard, CpuCycle(), exactCpu ? 5 : 9);
    cpu->SetIrqInput(Cpu::IrqFrameCounter, apu->frameIrq);
    cpu->SetIrqInput(Cpu::IrqDmc, apu->dmc.irqFlag);
    apuDue = 0;
    ScheduleBoardIrq();
}

void Process::RunFrame(bool render) {
    if (exactCpu) {
        ppu->BeginExactFrame(render);
        exactCpu->RunFrame();
        ppu->EndExactFrame();
    } else {
        ppu->RunFrame(render);
    }
    ServiceApu();
    apu->FlushSamples();
}

std::uint64_t Process::ExactCycle() const {
    return exactCpu->cycles;
}

void Process::ServiceApu() {
    const std::uint64_t now = CpuCycle();
    if (exactCpu) {
        // A sample fetch reads the processor's memory, which a board's handler may answer.
        exactCpu->CatchUpPpu();
        apu->RunTo(now);
        exactCpu->TakeDmcFetches(apu->dmc);
        cpu->SetIrqInput(Cpu::IrqFrameCounter, apu->frameIrq);
        cpu->SetIrqInput(Cpu::IrqDmc, apu->dmc.irqFlag);
        apuDue = apu->NextEventCycle();
        return;
    }
    apu->RunTo(now);
    cpu->counter -= static_cast<std::int32_t>(apu->TakeStall()) * Cpu::DotsPerCycle;
    cpu->SetIrqInput(Cpu::IrqFrameCounter, apu->frameIrq);
    cpu->SetIrqInput(Cpu::IrqDmc, apu->dmc.irqFlag);
    apuDue = apu->NextIrqCycle();
    // A playing sample fetches a byte every 8 of its periods: its stolen cycles are taken line by line.
    if (apu->dmc.bytesRemaining > 0 && apuDue > now + 1) {
        apuDue = now + 1;
    }
}

Process::Process(RomImage* romImage) : romImage(romImage) {
    readHandlers.fill(&ReadUnmapped);
    writeHandlers.fill(&WriteUnmapped);
    // $0000-$1FFF: the 2 KiB of RAM answer at four mirrored addresses, the CPU decoding only 11 bits.
    for (std::uint32_t page = 0; page < 4; ++page) {
        MapCpuPage(page, ram.data(), ram.data());
    }
}

// The members go in reverse order: RAM with the map, then ports, mapper, PPU and processor.
Process::~Process() = default;

std::uint8_t Process::ReadUnmapped(Process* process, std::uint32_t) {
    return process->openBus;
}

void Process::WriteUnmapped(Process*, std::uint32_t, std::uint8_t) {}

} // namespace Halvo::Nes
