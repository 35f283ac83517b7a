#pragma once

#include <cstdint>

#include "nes/Cpu.h"

namespace Halvo::Nes {

// The table-driven interpreter: one jump through a 256-entry table per instruction, every instruction
// body inlined into the loop. During a run PC and `counter` live in a StaticCpuCore on the stack and are
// written back when it ends (`counter` also around every memory handler, which may read or change it);
// the other registers and the unpacked status flags are used in place.
class StaticCpu final : public Cpu {
public:
    StaticCpu(Process* process, const Cpu* previous);

    bool IsReady() override { return true; }
    void Execute(std::int32_t dots) override;
    void Step() override;

private:
    void RunUntil(std::int32_t stop);
};

} // namespace Halvo::Nes
