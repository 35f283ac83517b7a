#include <gtest/gtest.h>

#include "HeadlessRunner.h"
#include "nes/ExactCpu.h"
#include "support/RomBuilder.h"
#include "support/TempDir.h"

namespace Halvo {
namespace {

using Program = std::vector<std::uint8_t>;

// An exact machine running `program`, stopped before its first instruction.
struct ExactMachine {
    explicit ExactMachine(Program program) {
        TestSupport::RomBuilder rom;
        rom.program = std::move(program);
        rom.Write(dir.Path("dma.nes").string());
        machine.settings.cpuKind = "Exact";
        EXPECT_TRUE(machine.Load(dir.Path("dma.nes").string()));
    }
    Nes::ExactCpu& Cpu() { return static_cast<Nes::ExactCpu&>(machine.process->GetCpu()); }

    TestSupport::TempDir dir;
    Tools::HeadlessMachine machine;
};

// The cycles the first `instructions` of `body` take when a DMC fetch (a load one, which a $4015 write
// starts, or a reload) comes due just before them, on a cycle of the given parity. A 3-cycle BIT put
// before the body sets the parity.
std::uint64_t CyclesWithFetch(const Program& body, std::uint64_t parity, bool load, int instructions) {
    const bool shift = (ExactMachine(body).Cpu().cycles & 1) != parity;
    Program program = shift ? Program{0x24, 0x10} : Program{};
    program.insert(program.end(), body.begin(), body.end());
    ExactMachine run(program);
    Nes::ExactCpu& cpu = run.Cpu();
    if (shift) {
        cpu.Step();
    }
    EXPECT_EQ(cpu.cycles & 1, parity);
    const std::uint64_t start = cpu.cycles;
    cpu.AddDmcStall(4, load);
    for (int i = 0; i < instructions; ++i) {
        cpu.Step();
    }
    return cpu.cycles - start;
}

// A DMC fetch halts the processor at a read cycle for its halt, its dummy cycle, an alignment cycle
// when that would leave the get on a put (even) cycle, and the get. Among reads alone the halt is
// tried on a put cycle, so the fetch costs 4 whatever the parity; when the try falls on a write cycle
// the halt moves to the next read, and on a get cycle it costs 3.
TEST(ExactDma, DmcFetchesTakeThreeOrFourCyclesByWhereTheHaltLands) {
    const Program nops(32, 0xEA);
    Program increments; // INC $10: three reads, then two writes
    for (int i = 0; i < 16; ++i) {
        increments.insert(increments.end(), {0xE6, 0x10});
    }
    for (const std::uint64_t parity : {0u, 1u}) {
        EXPECT_EQ(CyclesWithFetch(nops, parity, false, 2), 4u + 4u) << parity;
        EXPECT_EQ(CyclesWithFetch(nops, parity, true, 4), 8u + 4u) << parity;
        // A reload tries on the increment's first reads.
        EXPECT_EQ(CyclesWithFetch(increments, parity, false, 2), 10u + 4u) << parity;
    }
    // A load tries four or five cycles on, on the increment's writes, and halts at the next
    // instruction's first read: a put cycle after an even start, a get after an odd one.
    EXPECT_EQ(CyclesWithFetch(increments, 0, true, 2), 10u + 4u);
    EXPECT_EQ(CyclesWithFetch(increments, 1, true, 2), 10u + 3u);
}

} // namespace
} // namespace Halvo
