#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace Halvo::TestSupport {

// A bare machine for processor tests: the internal RAM at $0000-$1FFF and plain writable memory on
// every other page, a "Static" processor, nothing else.
class CpuHarness {
public:
    CpuHarness() : process(Ref::New<Nes::Process>(nullptr)), memory(0x10000, 0) {
        process->SetCpu(Nes::Cpu::Create("Static", process.Get()));
        for (std::uint32_t page = 4; page < Nes::Process::PageCount; ++page) {
            std::uint8_t* data = memory.data() + page * Nes::Process::PageSize;
            process->MapCpuPage(page, data, data);
        }
    }

    Nes::Cpu& Cpu() { return process->GetCpu(); }

    void Poke(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t byte : bytes) {
            process->CpuWrite(address++, byte);
        }
    }

    std::uint8_t Peek(std::uint16_t address) { return process->CpuRead(address); }

    // A, X, Y, S and P, to compare in one go.
    std::array<int, 5> Registers() { return {Cpu().a, Cpu().x, Cpu().y, Cpu().s, Cpu().p}; }

    // Places the program at `origin`, points the reset, IRQ ($9000) and NMI ($A000) vectors and
    // hard-resets the processor.
    void Load(const std::vector<std::uint8_t>& program, std::uint16_t origin = 0x8000) {
        Poke(origin, program);
        Poke(Nes::Cpu::NmiVector, {0x00, 0xA0, static_cast<std::uint8_t>(origin),
                                   static_cast<std::uint8_t>(origin >> 8), 0x00, 0x90});
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
