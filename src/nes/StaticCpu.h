#pragma once

#include <cstdint>

#include "nes/Cpu.h"

namespace Halvo::Nes {

// The table-driven interpreter: one jump through a 256-entry table per instruction, every instruction
// body inlined into Execute. During a run PC and `counter` live in a StaticCpuCore on the stack and are
// written back when it ends (`counter` also around every memory handler, which may read or change it);
// the other registers and the unpacked status flags are used in place.
class StaticCpu final : public Cpu {
public:
    StaticCpu(Process* process, const Cpu* previous);

    void Execute(std::int32_t dots) override;
    void Step() override;

private:
    // A run while the debugger watches: before each instruction it asks the debugger, which may trace
    // it or stop the machine.
    void RunWatched();

    // The opcode at PC when the last run ended, and its body. While the picture is drawn most runs are
    // a single instruction, and the jump that starts a run is hard for the host to predict: the frame's
    // own work comes between two runs. Taken from here, once PC and the byte at PC are seen to be
    // unchanged, a mispredicted jump is found out at once instead of after three dependent loads
    // (page table, opcode, jump table).
    std::uint32_t nextPc = ~0u; // none: the first run fetches its opcode
    std::uint8_t nextOpcode = 0;
    const void* nextBody = nullptr;
};

} // namespace Halvo::Nes
