#pragma once

#include <cstdint>

#include "nes/Cpu.h"

namespace Halvo::Nes {

// The table-driven interpreter: one jump through a 256-entry table per instruction, every instruction
// body inlined into the loop. While a run is going on, the registers and the unpacked status flags live
// in a StaticCpuCore on the stack, and the object's fields are brought up to date when it ends; only
// `counter` is kept current during the run, since memory handlers read and change it.
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
