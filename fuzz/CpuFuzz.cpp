// Runs arbitrary bytes as a 6502 program through a machine with every kind of page: PRG read directly
// and written through a handler, work RAM, and register pages answered by handlers, one of which stalls
// the processor like sprite DMA. Interrupts arrive between slices. Nothing may crash, and every run
// must end at or below its target.
#include <array>
#include <cstddef>
#include <cstdint>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace {

using Halvo::Nes::Process;

std::array<std::uint8_t, 0x8000> prg;
std::array<std::uint8_t, 0x2000> wram;

std::uint8_t ReadRegister(Process* process, std::uint32_t address) {
    return static_cast<std::uint8_t>(address ^ process->Ram()[address & 0xFF]);
}

void WriteRegister(Process* process, std::uint32_t address, std::uint8_t value) {
    if (address == 0x4014) {
        process->GetCpu().counter -= 1536;
    } else if (address >= 0x8000) {
        // A mapper-like bank switch: the written value picks which 2 KiB of PRG the page shows.
        const std::uint32_t page = address >> Process::PageShift;
        process->MapCpuPage(page, prg.data() + (value & 15) * Process::PageSize, nullptr);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    for (std::size_t index = 0; index < prg.size(); ++index) {
        prg[index] = data[index % size];
    }
    wram.fill(0);
    Halvo::Ref::Ptr<Process> process = Halvo::Ref::New<Process>(nullptr);
    process->SetCpu(Halvo::Nes::Cpu::Create("Static", process.Get()));
    for (std::uint32_t page = 4; page < 12; ++page) {
        process->SetCpuReadHandler(page, &ReadRegister);
        process->SetCpuWriteHandler(page, &WriteRegister);
    }
    for (std::uint32_t page = 12; page < 16; ++page) {
        std::uint8_t* bank = wram.data() + (page - 12) * Process::PageSize;
        process->MapCpuPage(page, bank, bank);
    }
    for (std::uint32_t page = 16; page < 32; ++page) {
        process->MapCpuPage(page, prg.data() + (page - 16) * Process::PageSize, nullptr);
        process->SetCpuWriteHandler(page, &WriteRegister);
    }
    Halvo::Nes::Cpu& cpu = process->GetCpu();
    cpu.Reset(true);
    for (int line = 0; line < 64; ++line) {
        cpu.counter += 341;
        cpu.target = 341;
        cpu.lineStart = cpu.counter;
        for (int slice = 0; slice < 42; ++slice) {
            cpu.Execute(slice == 41 ? 5 : 8);
            if (cpu.counter > cpu.target) {
                __builtin_trap();
            }
        }
        if (line % 7 == 3) {
            cpu.Interrupt(Halvo::Nes::Cpu::IrqVector);
        }
        if (line % 16 == 15) {
            cpu.Interrupt(Halvo::Nes::Cpu::NmiVector);
        }
    }
    cpu.Step();
    return 0;
}
