#include "nes/Cpu.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nes/CpuHarness.h"
#include "nes/Process.h"
#include "nes/StaticCpu.h"

namespace Halvo {
namespace {

using TestSupport::CpuHarness;

constexpr std::uint8_t Cli = 0x58, Sei = 0x78, Plp = 0x28, Rti = 0x40, Nop = 0xEA, Jam = 0x02;

TEST(CpuCreate, KnowsOnlyTheExactNameStatic) {
    Ref::Ptr<Nes::Process> process = Ref::New<Nes::Process>(nullptr);
    Ref::Ptr<Nes::Cpu> cpu = Nes::Cpu::Create("Static", process.Get());
    ASSERT_TRUE(cpu);
    EXPECT_NE(dynamic_cast<Nes::StaticCpu*>(cpu.Get()), nullptr);
    EXPECT_EQ(cpu->process, process.Get());
    EXPECT_TRUE(cpu->IsReady());
    for (const char* name : {"static", "STATIC", "Static ", " Static", ""}) {
        EXPECT_FALSE(Nes::Cpu::Create(name, process.Get())) << '"' << name << '"';
    }
}

TEST(CpuCreate, ContinuesWherePreviousStopped) {
    CpuHarness machine;
    Nes::Cpu& old = machine.Cpu();
    old.pc = 0x1234;
    old.s = 0x80;
    old.a = 1;
    old.x = 2;
    old.y = 3;
    old.p = 0xE5;
    old.counter = -7;
    old.target = -9;
    old.lineStart = 100;
    old.irqPending = true;
    old.jammed = true;
    Ref::Ptr<Nes::Cpu> cpu = Nes::Cpu::Create("Static", machine.process.Get(), &old);
    ASSERT_TRUE(cpu);
    EXPECT_EQ(cpu->pc, 0x1234u);
    EXPECT_EQ(cpu->s, 0x80);
    EXPECT_EQ(cpu->a, 1);
    EXPECT_EQ(cpu->x, 2);
    EXPECT_EQ(cpu->y, 3);
    EXPECT_EQ(cpu->p, 0xE5);
    EXPECT_EQ(cpu->counter, -7);
    EXPECT_EQ(cpu->target, -9);
    EXPECT_EQ(cpu->lineStart, 100);
    EXPECT_TRUE(cpu->irqPending);
    EXPECT_TRUE(cpu->jammed);
}

TEST(CpuReset, HardResetClearsRegistersAndTime) {
    CpuHarness machine;
    machine.Load({Nop}, 0x8123);
    Nes::Cpu& cpu = machine.Cpu();
    cpu.a = cpu.x = cpu.y = 0x55;
    cpu.s = 0x10;
    cpu.p = 0xFF;
    cpu.counter = cpu.target = cpu.lineStart = 999;
    cpu.irqPending = cpu.jammed = true;
    cpu.Reset(true);
    EXPECT_EQ(cpu.a, 0);
    EXPECT_EQ(cpu.x, 0);
    EXPECT_EQ(cpu.y, 0);
    EXPECT_EQ(cpu.s, 0xFF);
    EXPECT_EQ(cpu.p, 0x26);
    EXPECT_EQ(cpu.pc, 0x8123u);
    EXPECT_EQ(cpu.counter, 0);
    EXPECT_EQ(cpu.target, 0);
    EXPECT_EQ(cpu.lineStart, 0);
    EXPECT_FALSE(cpu.irqPending);
    EXPECT_FALSE(cpu.jammed);
}

TEST(CpuReset, SoftResetKeepsRegistersAndCostsSixCycles) {
    CpuHarness machine;
    machine.Load({0xA9, 0x42, 0xA2, 0x17, Jam});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.counter = 341;
    cpu.target = 341;
    cpu.Execute(341);
    ASSERT_TRUE(cpu.jammed);
    const std::uint8_t s = cpu.s, p = cpu.p;
    const std::int32_t counter = cpu.counter;
    cpu.Reset(false);
    EXPECT_EQ(cpu.a, 0x42);
    EXPECT_EQ(cpu.x, 0x17);
    EXPECT_EQ(cpu.s, s);
    EXPECT_EQ(cpu.p, p);
    EXPECT_EQ(cpu.pc, 0x8000u);
    EXPECT_EQ(cpu.counter, counter - 18);
    EXPECT_FALSE(cpu.jammed);
}

TEST(CpuInterrupt, NmiPushesThroughTheStackWrap) {
    CpuHarness machine;
    machine.Load({Nop});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.pc = 0x1234;
    cpu.s = 0x01;
    cpu.p = 0x2B; // D, Z, C and bit 5; I clear
    cpu.counter = 100;
    cpu.Interrupt(Nes::Cpu::NmiVector);
    EXPECT_EQ(machine.Peek(0x0101), 0x12);
    EXPECT_EQ(machine.Peek(0x0100), 0x34);
    EXPECT_EQ(machine.Peek(0x01FF), 0x2B);
    EXPECT_EQ(cpu.s, 0xFE);
    EXPECT_EQ(cpu.p, 0x27); // I set, D cleared
    EXPECT_EQ(cpu.pc, 0xA000u);
    EXPECT_EQ(cpu.counter, 100 - 21);
}

TEST(CpuInterrupt, IrqWithIClearIsTakenAtOnceAndPushesBClear) {
    CpuHarness machine;
    machine.Load({Nop});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.p = 0x30 | 0x01;
    cpu.Interrupt(Nes::Cpu::IrqVector);
    EXPECT_EQ(cpu.pc, 0x9000u);
    EXPECT_EQ(machine.Peek(0x01FF), 0x80);
    EXPECT_EQ(machine.Peek(0x01FE), 0x00);
    EXPECT_EQ(machine.Peek(0x01FD), 0x21);
    EXPECT_FALSE(cpu.irqPending);
}

// An IRQ raised while I is set waits, and the instruction that clears I enters it at once: the next
// instruction executed is the handler's first, and the run pays the 7 cycles of the entry.
TEST(CpuInterrupt, MaskedIrqIsLatchedUntilAnInstructionClearsI) {
    struct Case {
        const char* name;
        std::uint8_t opcode;
        std::vector<std::uint8_t> stack; // bytes at $01FB upwards, S = $FA
        std::int32_t cycles;
        std::uint16_t pushedReturn;
    };
    const Case cases[] = {
        {"CLI", Cli, {}, 2 + 7, 0x8001},
        {"PLP", Plp, {0x20}, 4 + 7, 0x8001},
        {"RTI", Rti, {0x20, 0x56, 0x34}, 6 + 7, 0x3456},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CpuHarness machine;
        machine.Load({test.opcode});
        Nes::Cpu& cpu = machine.Cpu();
        cpu.s = 0xFA;
        for (std::size_t index = 0; index < test.stack.size(); ++index) {
            machine.Poke(static_cast<std::uint16_t>(0x01FB + index), {test.stack[index]});
        }
        cpu.p = 0x24;
        const std::uint8_t s = cpu.s;
        cpu.Interrupt(Nes::Cpu::IrqVector);
        EXPECT_TRUE(cpu.irqPending);
        EXPECT_EQ(cpu.s, s);
        EXPECT_EQ(cpu.pc, 0x8000u);

        EXPECT_EQ(machine.Step(), test.cycles);
        EXPECT_FALSE(cpu.irqPending);
        EXPECT_EQ(cpu.pc, 0x9000u);
        const std::uint8_t top = static_cast<std::uint8_t>(0xFA + test.stack.size());
        EXPECT_EQ(machine.Peek(0x100 + top), test.pushedReturn >> 8);
        EXPECT_EQ(machine.Peek(0x100 + static_cast<std::uint8_t>(top - 1)), test.pushedReturn & 0xFF);
        // The pushed flags have I and B clear; the handler then runs with I set.
        EXPECT_EQ(machine.Peek(0x100 + static_cast<std::uint8_t>(top - 2)), 0x20);
        EXPECT_EQ(cpu.p & 0x04, 0x04);
    }
}

TEST(CpuInterrupt, SeiDoesNotCancelALatchedIrq) {
    CpuHarness machine;
    machine.Load({Sei, Nop, Cli, Nop});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.Interrupt(Nes::Cpu::IrqVector);
    EXPECT_EQ(machine.Step(), 2);
    EXPECT_EQ(machine.Step(), 2);
    EXPECT_TRUE(cpu.irqPending);
    EXPECT_EQ(machine.Step(), 9);
    EXPECT_EQ(cpu.pc, 0x9000u);
}

TEST(CpuHalt, HaltOpcodeLocksTheProcessorUntilReset) {
    for (std::uint8_t opcode : {0x02, 0x12, 0x22, 0x32, 0x42, 0x52, 0x62, 0x72, 0x92, 0xB2, 0xD2, 0xF2}) {
        SCOPED_TRACE(opcode);
        CpuHarness machine;
        machine.Load({Nop, opcode, Nop});
        Nes::Cpu& cpu = machine.Cpu();
        cpu.Interrupt(Nes::Cpu::IrqVector); // latched: I is set after reset
        machine.Step();
        EXPECT_EQ(machine.Step(), 2);
        EXPECT_TRUE(cpu.jammed);
        EXPECT_FALSE(cpu.irqPending);
        EXPECT_EQ(cpu.pc, 0x8001u);

        const std::uint8_t s = cpu.s;
        cpu.Interrupt(Nes::Cpu::NmiVector);
        cpu.p = 0x20;
        cpu.Interrupt(Nes::Cpu::IrqVector);
        EXPECT_EQ(cpu.pc, 0x8001u);
        EXPECT_EQ(cpu.s, s);
        EXPECT_FALSE(cpu.irqPending);

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

TEST(CpuExecute, ReturnsAtOnceWhenAlreadyAheadOfTheSlice) {
    CpuHarness machine;
    machine.Load({Nop});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.counter = -20;
    cpu.target = 0;
    cpu.Execute(20);
    EXPECT_EQ(cpu.target, -20);
    EXPECT_EQ(cpu.counter, -20);
    EXPECT_EQ(cpu.pc, 0x8000u);
}

// A line's slices add up to its length, so the instructions of a line are those that start before
// its end, however it is sliced; the overshoot of one slice shortens the next.
TEST(CpuExecute, OvershootCarriesIntoTheNextSlice) {
    for (const std::vector<std::int32_t>& slices :
         {std::vector<std::int32_t>{341}, {256, 85}, {20, 236, 85}, std::vector<std::int32_t>(42, 8)}) {
        CpuHarness machine;
        // LDA $6000 (4 cycles, 12 dots) over and over.
        for (std::uint16_t address = 0x8000; address < 0x8400; address += 3) {
            machine.Poke(address, {0xAD, 0x00, 0x60});
        }
        machine.Load({0xAD, 0x00, 0x60});
        Nes::Cpu& cpu = machine.Cpu();
        for (int line = 0; line < 2; ++line) {
            cpu.counter += 341;
            cpu.target = 341;
            cpu.lineStart = cpu.counter;
            std::int32_t sliced = 0;
            for (std::int32_t dots : slices) {
                sliced += dots;
                cpu.Execute(dots);
                EXPECT_LE(cpu.counter, cpu.target);
                EXPECT_GT(cpu.counter, cpu.target - 12);
            }
            if (sliced < 341) {
                cpu.Execute(341 - sliced);
            }
            EXPECT_EQ(cpu.target, 0);
        }
        // 682 dots hold 56 whole instructions and start a 57th.
        EXPECT_EQ(cpu.pc, 0x8000u + 57 * 3);
        EXPECT_EQ(cpu.counter, 682 - 57 * 12);
    }
}

// Sprite DMA: the $4014 handler takes the stall from the processor's counter in the middle of a run;
// the run ends after that instruction and the following slices give it back.
TEST(CpuExecute, HandlerStallEndsTheRun) {
    CpuHarness machine;
    std::int32_t counterSeen = 0;
    static std::int32_t* seen = nullptr;
    seen = &counterSeen;
    machine.process->MapCpuPage(8, nullptr, nullptr);
    machine.process->writeHandlers[8] = [](Nes::Process* process, std::uint32_t address, std::uint8_t) {
        if (address == 0x4014) {
            *seen = process->cpu->counter;
            process->cpu->counter -= 1536;
        }
    };
    machine.Load({0xA9, 0x02, 0x8D, 0x14, 0x40, Nop, Nop});
    Nes::Cpu& cpu = machine.Cpu();
    cpu.counter = cpu.target = 341;
    cpu.Execute(341);
    EXPECT_EQ(counterSeen, 341 - 6); // the handler sees the time before the storing instruction
    EXPECT_EQ(cpu.pc, 0x8005u);
    EXPECT_EQ(cpu.counter, 341 - 6 - 12 - 1536);
    // Three lines pass without an instruction: -872, -531, -190 dots at their starts.
    for (int line = 0; line < 3; ++line) {
        cpu.counter += 341;
        cpu.target = 341;
        cpu.Execute(341);
        EXPECT_EQ(cpu.pc, 0x8005u) << line;
    }
    cpu.counter += 341;
    cpu.target = 341;
    cpu.Execute(341);
    EXPECT_NE(cpu.pc, 0x8005u);
}

// Each run takes the opcode that is at PC when it starts, even when the memory there was written or
// remapped since the previous run ended.
TEST(CpuExecute, RunsTheOpcodeFoundAtPcWhenTheRunStarts) {
    CpuHarness machine;
    machine.Load({Nop, 0xA9, 0x05}); // NOP; LDA #$05
    Nes::Cpu& cpu = machine.Cpu();
    machine.Step();
    machine.Poke(0x8001, {0xA2, 0x07}); // LDX #$07
    machine.Step();
    EXPECT_EQ(cpu.x, 0x07);
    EXPECT_EQ(cpu.a, 0x00);

    std::vector<std::uint8_t> other(Nes::Process::PageSize, 0xE8); // INX
    machine.process->MapCpuPage(0x8000 >> Nes::Process::PageShift, other.data(), nullptr);
    cpu.counter = cpu.target = 341;
    cpu.Execute(6);
    EXPECT_EQ(cpu.x, 0x08);
    EXPECT_EQ(cpu.pc, 0x8004u);
}

TEST(CpuMemory, WordReadAtTheEndOfRamTakesItsHighByteFromTheMirror) {
    CpuHarness machine;
    machine.process->ram[0x7FF] = 0x34;
    machine.process->ram[0x000] = 0x12;
    EXPECT_EQ(machine.process->CpuReadWord(0x07FF), 0x1234);
    // JMP $1234 with its opcode at $07FE: the operand's second byte is $0800, which is RAM at $0000.
    machine.Load({Nop});
    machine.process->ram[0x7FE] = 0x4C;
    machine.Cpu().pc = 0x07FE;
    machine.Step();
    EXPECT_EQ(machine.Cpu().pc, 0x1234u);
}

TEST(CpuMemory, WordReadThroughHandlersAsksForTheHighByteFirst) {
    CpuHarness machine;
    static std::vector<std::uint32_t> reads;
    reads.clear();
    machine.process->MapCpuPage(4, nullptr, nullptr);
    machine.process->readHandlers[4] = [](Nes::Process*, std::uint32_t address) {
        reads.push_back(address);
        return static_cast<std::uint8_t>(address);
    };
    // JMP ($2002): the operand comes from ROM, the target from the handler.
    machine.Load({0x6C, 0x02, 0x20});
    machine.Step();
    EXPECT_EQ(reads, (std::vector<std::uint32_t>{0x2003, 0x2002}));
    EXPECT_EQ(machine.Cpu().pc, 0x0302u);
}

} // namespace
} // namespace Halvo
