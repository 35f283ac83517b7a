#include "nes/Cpu.h"

#include "nes/ExactCpu.h"
#include "nes/Process.h"
#include "nes/StaticCpu.h"
#include "nes/debug/Debugger.h"

namespace Halvo::Nes {

namespace {

constexpr std::uint8_t FlagI = StatusRegister::FlagI;
constexpr std::uint8_t FlagD = StatusRegister::FlagD;
constexpr std::uint8_t FlagB = StatusRegister::FlagB;

} // namespace

Ref::Ptr<Cpu> Cpu::Create(const std::string& name, Process* process, const Cpu* previous) {
    if (name == "Static") {
        return Ref::New<StaticCpu>(process, previous);
    }
    if (name == "Exact") {
        return Ref::New<ExactCpu>(process, previous);
    }
    return nullptr;
}

Cpu::Cpu(Process* process, const Cpu* previous) : process(process) {
    if (previous) {
        pc = previous->pc;
        s = previous->s;
        a = previous->a;
        x = previous->x;
        y = previous->y;
        p = previous->p;
        counter = previous->counter;
        target = previous->target;
        lineStart = previous->lineStart;
        irqAt = previous->irqAt;
        irqInputs = previous->irqInputs;
        jammed = previous->jammed;
    }
}

void Cpu::Reset(bool hard) {
    if (hard) {
        a = x = y = 0;
        s = 0xFF;
        p = 0x26;
        irqInputs = 0;
    }
    jammed = false;
    Interrupt(ResetVector);
    if (hard) {
        counter = target = lineStart = 0;
    }
}

void Cpu::Interrupt(std::uint16_t vector) {
    if (jammed) {
        return;
    }
    if (vector == IrqVector && (p.bdi & FlagI)) {
        return;
    }
    if (vector != ResetVector) {
        EnterInterrupt(vector);
        if (debugger) [[unlikely]] {
            debugger->OnInterrupt(vector);
        }
        return;
    }
    // The reset sequence runs the steps of an interrupt with its stack writes suppressed: nothing is
    // pushed, no flag changes, and one cycle fewer is spent.
    pc = process->CpuReadWord(vector);
    counter -= 6 * DotsPerCycle;
}

void Cpu::EnterInterrupt(std::uint16_t vector) {
    Push(static_cast<std::uint8_t>(pc >> 8));
    Push(static_cast<std::uint8_t>(pc));
    Push(p & ~FlagB);
    p.bdi = (p.bdi & ~FlagD) | FlagI;
    pc = process->CpuReadWord(vector);
    counter -= 7 * DotsPerCycle;
}

void Cpu::Push(std::uint8_t value) {
    process->ram[0x100 + s] = value;
    --s;
}

} // namespace Halvo::Nes
