#include "nes/Cpu.h"

#include <array>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "nes/CpuHarness.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

using TestSupport::CpuHarness;

constexpr std::uint8_t Cli = 0x58, Sei = 0x78, Plp = 0x28, Rti = 0x40, Nop = 0xEA;

// An IRQ line asserted while I is set waits, through a SEI too, and the instruction that clears I enters
// it at once: the next instruction executed is the handler's first, and that instruction pays the 7
// cycles of the entry.
TEST(CpuInterrupt, MaskedIrqWaitsUntilAnInstructionClearsI) {
    struct Case {
        std::vector<std::uint8_t> program; // the last instruction clears I
        std::vector<std::uint8_t> stack;   // bytes at $01FB upwards, S = $FA
        std::int32_t cycles;
        std::uint16_t pushedReturn;
    };
    const Case cases[] = {
        {{Cli}, {}, 2 + 7, 0x8001},
        {{Sei, Nop, Cli}, {}, 2 + 7, 0x8003},
        {{Plp}, {0x20}, 4 + 7, 0x8001},
        {{Rti}, {0x20, 0x56, 0x34}, 6 + 7, 0x3456},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(int(test.program.back()));
        CpuHarness machine;
        machine.Load(test.program);
        machine.Poke(0x01FB, test.stack);
        Nes::Cpu& cpu = machine.Cpu();
        cpu.s = 0xFA;
        cpu.p = 0x24;
        cpu.SetIrqInput(Nes::Cpu::IrqBoard, true);
        for (std::size_t i = 1; i < test.program.size(); ++i) {
            EXPECT_EQ(machine.Step(), 2);
        }
        EXPECT_EQ(cpu.s, 0xFA); // nothing pushed yet

        EXPECT_EQ(machine.Step(), test.cycles);
        EXPECT_EQ(cpu.pc, 0x9000u);
        const std::uint16_t top = static_cast<std::uint16_t>(0x01FA + test.stack.size());
        EXPECT_EQ(machine.Peek(top), test.pushedReturn >> 8);
        EXPECT_EQ(machine.Peek(top - 1), test.pushedReturn & 0xFF);
        // The pushed flags have I and B clear; the handler then runs with I set.
        EXPECT_EQ(machine.Peek(top - 2), 0x20);
        EXPECT_EQ(cpu.p & 0x04, 0x04);
    }
}

// The line is level-triggered: while a source holds it the handler's RTI enters the IRQ again, and once
// the source lets go RTI returns to the program.
TEST(CpuInterrupt, AssertedLineReentersAfterRtiUntilLowered) {
    CpuHarness machine;
    machine.Load({Nop, Nop});
    machine.Poke(0x9000, {Rti});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.p = 0x20;
    cpu.SetIrqInput(Nes::Cpu::IrqDmc, true);
    cpu.SetIrqInput(Nes::Cpu::IrqBoard, true);
    machine.Step(); // entry, then the handler's RTI enters again
    EXPECT_EQ(cpu.pc, 0x9000u);
    cpu.SetIrqInput(Nes::Cpu::IrqBoard, false);
    machine.Step();
    EXPECT_EQ(cpu.pc, 0x9000u); // the DMC still holds the line
    cpu.SetIrqInput(Nes::Cpu::IrqDmc, false);
    machine.Step();
    EXPECT_EQ(cpu.pc, 0x8000u);
}

TEST(CpuHalt, HaltOpcodeLocksTheProcessorUntilReset) {
    for (std::uint8_t opcode : {0x02, 0x12, 0x22, 0x32, 0x42, 0x52, 0x62, 0x72, 0x92, 0xB2, 0xD2, 0xF2}) {
        SCOPED_TRACE(opcode);
        CpuHarness machine;
        machine.Load({Nop, opcode, Nop});
        Nes::Cpu& cpu = machine.Cpu();
        cpu.SetIrqInput(Nes::Cpu::IrqBoard, true); // waits: I is set after reset
        machine.Step();
        EXPECT_EQ(machine.Step(), 2);
        EXPECT_TRUE(cpu.jammed);

        const std::uint8_t s = cpu.s;
        cpu.Interrupt(Nes::Cpu::NmiVector);
        cpu.p = 0x20;
        cpu.Interrupt(Nes::Cpu::IrqVector);
        machine.Step();
        EXPECT_EQ(cpu.s, s);
        cpu.SetIrqInput(Nes::Cpu::IrqBoard, false);

        // Each run still ends on its budget, spending it two cycles at a time.
        cpu.counter = cpu.target = 341;
        cpu.Execute(341);
        EXPECT_EQ(cpu.pc, 0x8001u);
        EXPECT_EQ(cpu.counter, 341 - 57 * 6);

        cpu.Reset(false);
        EXPECT_FALSE(cpu.jammed);
        EXPECT_EQ(cpu.pc, 0x8000u);
    }
}

// A word's high byte comes through the mapping of the address after its low byte: the RAM mirror
// past $07FF, $0000 past $FFFF, or a handler, which is asked for the high byte first.
TEST(CpuMemory, WordReadsTakeTheHighByteFromTheNextAddressAsMapped) {
    CpuHarness machine;
    static std::vector<std::uint32_t> reads;
    reads.clear();
    machine.process->MapCpuPage(4, nullptr, nullptr);
    machine.process->SetCpuReadHandler(4, [](Nes::Process*, std::uint32_t address) {
        reads.push_back(address);
        return static_cast<std::uint8_t>(address);
    });
    machine.process->Ram()[0x7FF] = 0x34;
    machine.process->Ram()[0x000] = 0x12;
    machine.Poke(0xFFFF, {0x56});
    EXPECT_EQ(machine.process->CpuReadWord(0x07FF), 0x1234);
    EXPECT_EQ(machine.process->CpuReadWord(0xFFFF), 0x1256);

    machine.Load({0x6C, 0x02, 0x20}); // JMP ($2002)
    machine.Step();
    EXPECT_EQ(reads, (std::vector<std::uint32_t>{0x2003, 0x2002}));
    EXPECT_EQ(machine.Cpu().pc, 0x0302u);
    // JMP $1234 with its opcode at $07FE: the operand's second byte is $0800, which is RAM at $0000.
    machine.process->Ram()[0x7FE] = 0x4C;
    machine.Cpu().pc = 0x07FE;
    machine.Step();
    EXPECT_EQ(machine.Cpu().pc, 0x1234u);
}

} // namespace
} // namespace Halvo
