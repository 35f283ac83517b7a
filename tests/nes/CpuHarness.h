#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace Halvo::TestSupport {

// A bare machine for processor tests: the internal RAM at $0000-$1FFF and plain writable memory on
// every other page, a "Static" processor, nothing else.
class CpuHarness {
public:
    CpuHarness() : process(Ref::New<Nes::Process>(nullptr)), memory(0x10000, 0) {
        process->cpu = Nes::Cpu::Create("Static", process.Get());
        for (std::uint32_t page = 4; page < Nes::Process::PageCount; ++page) {
            std::uint8_t* data = memory.data() + page * Nes::Process::PageSize;
            process->MapCpuPage(page, data, data);
        }
    }

    Nes::Cpu& Cpu() { return *process->cpu; }

    void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t byte : bytes) {
            process->CpuWrite(address++, byte);
        }
    }

    std::uint8_t Peek(std::uint16_t address) { return process->CpuRead(address); }

    // Places the program at `origin`, points the reset and IRQ vectors and hard-resets the processor.
    void Load(std::initializer_list<std::uint8_t> program, std::uint16_t origin = 0x8000) {
        Poke(origin, program);
        Poke(Nes::Cpu::ResetVector,
             {static_cast<std::uint8_t>(origin), static_cast<std::uint8_t>(origin >> 8)});
        Poke(Nes::Cpu::IrqVector, {0x00, 0x90});
        Poke(Nes::Cpu::NmiVector, {0x00, 0xA0});
        Cpu().Reset(true);
    }

    // Runs one instruction and returns what it cost in CPU cycles.
    std::int32_t Step() {
        const std::int32_t before = Cpu().counter;
        Cpu().Step();
        return (before - Cpu().counter) / Nes::Cpu::DotsPerCycle;
    }

    Ref::Ptr<Nes::Process> process;
    std::vector<std::uint8_t> memory;
};

} // namespace Halvo::TestSupport
