#pragma once

#include <cstdint>

#include "nes/CpuAlu.h"
#include "nes/Process.h"
#include "nes/StaticCpu.h"

// Every primitive and body below is forced inline into the interpreter loop, so that a run's registers
// stay in machine registers from one instruction to the next.
#define HALVO_CPU_INLINE [[gnu::always_inline]] inline
// The same for a lambda handed to a shared helper: in a loop this large the compiler's own size limits
// would otherwise decide whether it is inlined.
#define HALVO_CPU_INLINE_LAMBDA __attribute__((always_inline))

namespace Halvo::Nes {

// How an instruction finds its operand. Zero-page modes (and the pointers of the two indirect modes)
// go straight to `ram`; the other memory modes go through the CPU memory map.
enum class AddressMode {
    Imp, // implied: registers only
    Acc, // accumulator
    Imm, // #nn
    Zp,  // nn
    Zpx, // nn,X
    Zpy, // nn,Y
    Abs, // nnnn
    Abx, // nnnn,X
    Aby, // nnnn,Y
    Izx, // (nn,X)
    Izy, // (nn),Y
    Rel, // branch offset
    Ind, // (nnnn), JMP only
};

// What a read-modify-write instruction does to its operand.
enum class Change { ShiftLeft, ShiftRight, RotateLeft, RotateRight, Increment, Decrement };

// One run of the interpreter and the instruction bodies that work on it. It is made on the stack by
// Execute and Step and its address never leaves the run. The two values every instruction changes, PC and the
// time account, are copies held in machine registers and written back when the run ends. The other registers
// and the unpacked status flags are used in place in the processor object: most runs are one or two
// instructions long, and copying all of them in and out around each would cost more than the few loads
// and stores of the instructions that touch them.
class StaticCpuCore {
public:
    using Mode = AddressMode;
    static constexpr std::int32_t Cycle = Cpu::DotsPerCycle;
    static constexpr std::uint8_t FlagC = StatusRegister::FlagC;
    static constexpr std::uint8_t FlagZ = StatusRegister::FlagZ;
    static constexpr std::uint8_t FlagI = StatusRegister::FlagI;
    static constexpr std::uint8_t FlagD = StatusRegister::FlagD;
    static constexpr std::uint8_t FlagB = StatusRegister::FlagB;
    static constexpr std::uint8_t FlagUnused = StatusRegister::FlagUnused;
    static constexpr std::uint8_t FlagV = StatusRegister::FlagV;
    static constexpr std::uint8_t FlagN = StatusRegister::FlagN;

    HALVO_CPU_INLINE explicit StaticCpuCore(StaticCpu& cpu)
        : cpu(cpu), process(*cpu.process), pc(static_cast<std::uint16_t>(cpu.pc)), counter(cpu.counter),
          a(cpu.a), x(cpu.x), y(cpu.y), s(cpu.s), n(cpu.p.n), v(cpu.p.v), bdi(cpu.p.bdi), z(cpu.p.z),
          c(cpu.p.c) {}

    // Writes PC and the time account back into the processor.
    HALVO_CPU_INLINE void Finish() {
        cpu.pc = pc;
        cpu.counter = counter;
    }

    // The interpreter loop works on the run's state directly.
    friend class StaticCpu;

private:
    // Memory through the map. A handler may look at the processor's `counter` (the PPU times the
    // sprite-0 hit with it) and change it (sprite DMA stalls the processor), so it is handed over.
    HALVO_CPU_INLINE std::uint8_t Read(std::uint16_t address) {
        const std::uint32_t page = address >> Process::PageShift;
        if (const std::uint8_t* data = process.readPages[page]) [[likely]] {
            return data[address & Process::PageMask];
        }
        cpu.counter = counter;
        const std::uint8_t value = process.readHandlers[page](&process, address);
        counter = cpu.counter;
        return value;
    }

    HALVO_CPU_INLINE void Write(std::uint16_t address, std::uint8_t value) {
        const std::uint32_t page = address >> Process::PageShift;
        if (std::uint8_t* data = process.writePages[page]) [[likely]] {
            data[address & Process::PageMask] = value;
            return;
        }
        cpu.counter = counter;
        process.writeHandlers[page](&process, address, value);
        counter = cpu.counter;
    }

    // Operands, vectors and jump targets, with the handlers reached through Read.
    HALVO_CPU_INLINE std::uint16_t ReadWord(std::uint16_t address) {
        return process.ReadWord(address, [this](std::uint16_t byteAddress)
                                             HALVO_CPU_INLINE_LAMBDA { return Read(byteAddress); });
    }

    HALVO_CPU_INLINE std::uint8_t Fetch() { return Read(pc++); }

    HALVO_CPU_INLINE std::uint16_t FetchWord() {
        const std::uint16_t word = ReadWord(pc);
        pc += 2;
        return word;
    }

    // A pointer in zero page; the high byte of a pointer at $FF comes from $00.
    HALVO_CPU_INLINE std::uint16_t ZeroPageWord(std::uint8_t address) {
        return static_cast<std::uint16_t>(process.ram[address] |
                                          process.ram[static_cast<std::uint8_t>(address + 1)] << 8);
    }

    HALVO_CPU_INLINE void Push(std::uint8_t value) { process.ram[0x100 + s--] = value; }
    HALVO_CPU_INLINE std::uint8_t Pull() { return process.ram[0x100 + ++s]; }

    HALVO_CPU_INLINE void PushWord(std::uint16_t value) {
        Push(static_cast<std::uint8_t>(value >> 8));
        Push(static_cast<std::uint8_t>(value));
    }

    HALVO_CPU_INLINE std::uint16_t PullWord() {
        const std::uint8_t low = Pull();
        return static_cast<std::uint16_t>(low | Pull() << 8);
    }

    HALVO_CPU_INLINE std::uint8_t Pack() const { return cpu.p; }

    // PLP and RTI. B is left as it is: the processor has no B flag, only the pushed copy of the status
    // register marks a BRK or PHP apart from an interrupt.
    HALVO_CPU_INLINE void PullFlags() {
        const std::uint8_t flags = Pull();
        n = flags;
        v = flags & FlagV;
        bdi = (bdi & FlagB) | (flags & (FlagD | FlagI));
        z = ~flags & FlagZ;
        c = flags & FlagC;
    }

    HALVO_CPU_INLINE void SetNz(std::uint8_t value) { n = z = value; }

    // CLI, PLP and RTI take the IRQ as soon as they clear I while the line is asserted, inside the same
    // instruction, which pays the entry's seven cycles on top of its own.
    HALVO_CPU_INLINE void TakePendingIrq() {
        if (cpu.irqInputs && !(bdi & FlagI)) [[unlikely]] {
            // The entry works on the processor itself: the run's copies go back and come out again.
            cpu.pc = pc;
            cpu.counter = counter;
            cpu.EnterInterrupt(Cpu::IrqVector);
            pc = static_cast<std::uint16_t>(cpu.pc);
            counter = cpu.counter;
        }
    }

    // Effective addresses -----------------------------------------------------------------------------

    // Indexing that carries into the high byte costs one cycle more, in every indexed mode.
    HALVO_CPU_INLINE std::uint16_t Indexed(std::uint16_t base, std::uint8_t index) {
        const std::uint16_t address = static_cast<std::uint16_t>(base + index);
        if ((base ^ address) & 0xFF00) {
            counter -= Cycle;
        }
        return address;
    }

    static constexpr bool IsZeroPage(Mode mode) {
        return mode == Mode::Zp || mode == Mode::Zpx || mode == Mode::Zpy;
    }

    template <Mode M>
    HALVO_CPU_INLINE std::uint16_t Address() {
        if constexpr (M == Mode::Zp) {
            return Fetch();
        } else if constexpr (M == Mode::Zpx) {
            return static_cast<std::uint8_t>(Fetch() + x);
        } else if constexpr (M == Mode::Zpy) {
            return static_cast<std::uint8_t>(Fetch() + y);
        } else if constexpr (M == Mode::Abs) {
            return FetchWord();
        } else if constexpr (M == Mode::Abx) {
            return Indexed(FetchWord(), x);
        } else if constexpr (M == Mode::Aby) {
            return Indexed(FetchWord(), y);
        } else if constexpr (M == Mode::Izx) {
            const std::uint32_t pointer = Fetch() + x;
            if (pointer > 0xFF) {
                counter -= Cycle;
            }
            return ZeroPageWord(static_cast<std::uint8_t>(pointer));
        } else {
            static_assert(M == Mode::Izy, "no memory operand in this mode");
            return Indexed(ZeroPageWord(Fetch()), y);
        }
    }

    template <Mode M>
    HALVO_CPU_INLINE std::uint8_t Load(std::uint16_t address) {
        if constexpr (IsZeroPage(M)) {
            return process.ram[address];
        } else {
            return Read(address);
        }
    }

    template <Mode M>
    HALVO_CPU_INLINE void Store(std::uint16_t address, std::uint8_t value) {
        if constexpr (IsZeroPage(M)) {
            process.ram[address] = value;
        } else {
            Write(address, value);
        }
    }

    template <Mode M>
    HALVO_CPU_INLINE std::uint8_t Operand() {
        if constexpr (M == Mode::Imm) {
            return Fetch();
        } else {
            return Load<M>(Address<M>());
        }
    }

    // Read-modify-write: the operand is read once and the result written once.
    template <Mode M, Change C>
    HALVO_CPU_INLINE std::uint8_t Modify() {
        if constexpr (M == Mode::Acc) {
            return a = Apply<C>(a);
        } else {
            const std::uint16_t address = Address<M>();
            const std::uint8_t result = Apply<C>(Load<M>(address));
            Store<M>(address, result);
            return result;
        }
    }

    // The unstable stores of the undocumented set (SHY, SHX, AHX, TAS) write the register AND the high
    // byte of the base address plus one: the chip computes that carry into the high byte on the same
    // lines. When the indexing crosses a page, the stored value also becomes the high byte of the
    // address written. The instruction test programs check both.
    template <Mode M>
    HALVO_CPU_INLINE void StoreAndHigh(std::uint8_t value) {
        std::uint16_t base = 0;
        std::uint8_t index = y;
        if constexpr (M == Mode::Abx) {
            base = FetchWord();
            index = x;
        } else if constexpr (M == Mode::Aby) {
            base = FetchWord();
        } else {
            static_assert(M == Mode::Izy, "the unstable stores are indexed");
            base = ZeroPageWord(Fetch());
        }
        std::uint16_t address = Indexed(base, index);
        const std::uint8_t stored = Alu::StoreAndHigh(base, address, value);
        Store<M>(address, stored);
    }

    // Arithmetic ---------------------------------------------------------------------------------------

    HALVO_CPU_INLINE void AddWithCarry(std::uint8_t operand) { Alu::AddWithCarry(a, cpu.p, operand); }
    HALVO_CPU_INLINE void SubtractWithBorrow(std::uint8_t operand) {
        Alu::SubtractWithBorrow(a, cpu.p, operand);
    }
    HALVO_CPU_INLINE void Compare(std::uint8_t reg, std::uint8_t operand) {
        Alu::Compare(cpu.p, reg, operand);
    }
    HALVO_CPU_INLINE std::uint8_t ShiftRight(std::uint8_t value) { return Alu::ShiftRight(cpu.p, value); }

    template <Change C>
    HALVO_CPU_INLINE std::uint8_t Apply(std::uint8_t value) {
        if constexpr (C == Change::ShiftLeft) {
            return Alu::ShiftLeft(cpu.p, value);
        } else if constexpr (C == Change::ShiftRight) {
            return Alu::ShiftRight(cpu.p, value);
        } else if constexpr (C == Change::RotateLeft) {
            return Alu::RotateLeft(cpu.p, value);
        } else if constexpr (C == Change::RotateRight) {
            return Alu::RotateRight(cpu.p, value);
        } else if constexpr (C == Change::Increment) {
            return Alu::Increment(cpu.p, value);
        } else {
            static_assert(C == Change::Decrement);
            return Alu::Decrement(cpu.p, value);
        }
    }

    HALVO_CPU_INLINE void Branch(bool taken) {
        const auto offset = static_cast<std::int8_t>(Fetch());
        if (taken) {
            const std::uint16_t destination = static_cast<std::uint16_t>(pc + offset);
            counter -= ((pc ^ destination) & 0xFF00) ? 2 * Cycle : Cycle;
            pc = destination;
        }
    }

    static constexpr std::uint16_t OperandSize(Mode mode) {
        return mode == Mode::Abs || mode == Mode::Abx ? 2 : mode == Mode::Imp ? 0 : 1;
    }

    // clang-format off
    // Instruction bodies, one per operation, each written once for all its modes ------------------------

    // Loads, stores and transfers
    template <Mode M> HALVO_CPU_INLINE void Lda() { SetNz(a = Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Ldx() { SetNz(x = Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Ldy() { SetNz(y = Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Sta() { Store<M>(Address<M>(), a); }
    template <Mode M> HALVO_CPU_INLINE void Stx() { Store<M>(Address<M>(), x); }
    template <Mode M> HALVO_CPU_INLINE void Sty() { Store<M>(Address<M>(), y); }
    template <Mode M> HALVO_CPU_INLINE void Tax() { SetNz(x = a); }
    template <Mode M> HALVO_CPU_INLINE void Tay() { SetNz(y = a); }
    template <Mode M> HALVO_CPU_INLINE void Txa() { SetNz(a = x); }
    template <Mode M> HALVO_CPU_INLINE void Tya() { SetNz(a = y); }
    template <Mode M> HALVO_CPU_INLINE void Tsx() { SetNz(x = s); }
    template <Mode M> HALVO_CPU_INLINE void Txs() { s = x; }

    // Logic and arithmetic
    template <Mode M> HALVO_CPU_INLINE void Ora() { SetNz(a |= Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void And() { SetNz(a &= Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Eor() { SetNz(a ^= Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Adc() { AddWithCarry(Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Sbc() { SubtractWithBorrow(Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Cmp() { Compare(a, Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Cpx() { Compare(x, Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Cpy() { Compare(y, Operand<M>()); }

    template <Mode M>
    HALVO_CPU_INLINE void Bit() {
        Alu::BitTest(cpu.p, a, Operand<M>());
    }

    // Increments, decrements, shifts and rotates
    template <Mode M> HALVO_CPU_INLINE void Inx() { SetNz(++x); }
    template <Mode M> HALVO_CPU_INLINE void Iny() { SetNz(++y); }
    template <Mode M> HALVO_CPU_INLINE void Dex() { SetNz(--x); }
    template <Mode M> HALVO_CPU_INLINE void Dey() { SetNz(--y); }

    template <Mode M> HALVO_CPU_INLINE void Inc() { Modify<M, Change::Increment>(); }
    template <Mode M> HALVO_CPU_INLINE void Dec() { Modify<M, Change::Decrement>(); }

    template <Mode M> HALVO_CPU_INLINE void Asl() { Modify<M, Change::ShiftLeft>(); }
    template <Mode M> HALVO_CPU_INLINE void Lsr() { Modify<M, Change::ShiftRight>(); }
    template <Mode M> HALVO_CPU_INLINE void Rol() { Modify<M, Change::RotateLeft>(); }
    template <Mode M> HALVO_CPU_INLINE void Ror() { Modify<M, Change::RotateRight>(); }

    // Flags. SED and CLD only change what PHP pushes: there is no decimal mode.
    template <Mode M> HALVO_CPU_INLINE void Clc() { c = 0; }
    template <Mode M> HALVO_CPU_INLINE void Sec() { c = FlagC; }
    template <Mode M> HALVO_CPU_INLINE void Sei() { bdi |= FlagI; }
    template <Mode M> HALVO_CPU_INLINE void Clv() { v = 0; }
    template <Mode M> HALVO_CPU_INLINE void Cld() { bdi &= ~FlagD; }
    template <Mode M> HALVO_CPU_INLINE void Sed() { bdi |= FlagD; }

    template <Mode M>
    HALVO_CPU_INLINE void Cli() {
        bdi &= ~FlagI;
        TakePendingIrq();
    }

    // Stack
    template <Mode M> HALVO_CPU_INLINE void Pha() { Push(a); }
    template <Mode M> HALVO_CPU_INLINE void Pla() { SetNz(a = Pull()); }
    // The pushed copy always has B set, which is how a handler tells PHP and BRK from an interrupt.
    template <Mode M> HALVO_CPU_INLINE void Php() { Push(Pack() | FlagB | FlagUnused); }

    template <Mode M>
    HALVO_CPU_INLINE void Plp() {
        PullFlags();
        TakePendingIrq();
    }

    // Jumps, calls and returns
    template <Mode M>
    HALVO_CPU_INLINE void Jmp() {
        if constexpr (M == Mode::Abs) {
            pc = FetchWord();
        } else {
            static_assert(M == Mode::Ind);
            // The pointer's high byte is fetched without a carry out of the low byte, so a pointer at
            // $xxFF takes its high byte from $xx00.
            const std::uint16_t pointer = FetchWord();
            if ((pointer & 0xFF) == 0xFF) {
                const std::uint8_t high = Read(pointer & 0xFF00);
                pc = static_cast<std::uint16_t>(high << 8 | Read(pointer));
            } else {
                pc = ReadWord(pointer);
            }
        }
    }

    // JSR pushes the address of its own last byte; RTS adds the missing one.
    template <Mode M>
    HALVO_CPU_INLINE void Jsr() {
        const std::uint16_t destination = ReadWord(pc);
        PushWord(static_cast<std::uint16_t>(pc + 1));
        pc = destination;
    }

    template <Mode M> HALVO_CPU_INLINE void Rts() { pc = static_cast<std::uint16_t>(PullWord() + 1); }

    template <Mode M>
    HALVO_CPU_INLINE void Rti() {
        PullFlags();
        pc = PullWord();
        TakePendingIrq();
    }

    // BRK skips a signature byte and pushes its flags with B set. Unlike later 6502s, the NES
    // processor leaves D as it is (the BRK test program checks it).
    template <Mode M>
    HALVO_CPU_INLINE void Brk() {
        PushWord(static_cast<std::uint16_t>(pc + 1));
        Push(Pack() | FlagB | FlagUnused);
        bdi |= FlagI;
        pc = ReadWord(Cpu::IrqVector);
    }

    // Branches
    template <Mode M> HALVO_CPU_INLINE void Bpl() { Branch(!(n & FlagN)); }
    template <Mode M> HALVO_CPU_INLINE void Bmi() { Branch(n & FlagN); }
    template <Mode M> HALVO_CPU_INLINE void Bvc() { Branch(!v); }
    template <Mode M> HALVO_CPU_INLINE void Bvs() { Branch(v); }
    template <Mode M> HALVO_CPU_INLINE void Bcc() { Branch(!c); }
    template <Mode M> HALVO_CPU_INLINE void Bcs() { Branch(c); }
    template <Mode M> HALVO_CPU_INLINE void Bne() { Branch(z); }
    template <Mode M> HALVO_CPU_INLINE void Beq() { Branch(!z); }

    // No-operations skip their operand bytes without touching memory.
    template <Mode M> HALVO_CPU_INLINE void Nop() { pc += OperandSize(M); }

    // The halt opcodes lock the processor: it keeps fetching the same opcode until a reset.
    template <Mode M>
    HALVO_CPU_INLINE void Jam() {
        --pc;
        cpu.jammed = true;
    }

    // Undocumented read-modify-write combinations
    template <Mode M> HALVO_CPU_INLINE void Slo() { SetNz(a |= Modify<M, Change::ShiftLeft>()); }
    template <Mode M> HALVO_CPU_INLINE void Rla() { SetNz(a &= Modify<M, Change::RotateLeft>()); }
    template <Mode M> HALVO_CPU_INLINE void Sre() { SetNz(a ^= Modify<M, Change::ShiftRight>()); }
    template <Mode M> HALVO_CPU_INLINE void Rra() { AddWithCarry(Modify<M, Change::RotateRight>()); }
    template <Mode M> HALVO_CPU_INLINE void Dcp() { Compare(a, Modify<M, Change::Decrement>()); }
    template <Mode M> HALVO_CPU_INLINE void Isc() { SubtractWithBorrow(Modify<M, Change::Increment>()); }

    // Undocumented loads and stores
    template <Mode M> HALVO_CPU_INLINE void Sax() { Store<M>(Address<M>(), a & x); }
    template <Mode M> HALVO_CPU_INLINE void Lax() { SetNz(a = x = Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Las() { SetNz(a = x = s = Operand<M>() & s); }
    template <Mode M> HALVO_CPU_INLINE void Shy() { StoreAndHigh<M>(y); }
    template <Mode M> HALVO_CPU_INLINE void Shx() { StoreAndHigh<M>(x); }
    template <Mode M> HALVO_CPU_INLINE void Ahx() { StoreAndHigh<M>(a & x); }

    template <Mode M>
    HALVO_CPU_INLINE void Tas() {
        s = a & x;
        StoreAndHigh<M>(s);
    }

    // Undocumented immediates. The unstable ones ($8B, $AB) mix in A OR $EE, a common value of the
    // analogue "magic" constant of real chips.
    // LAX immediate mixes A into the result through an analogue effect that varies between chips; the
    // instruction test programs expect the operand alone, as most consoles give it.
    template <Mode M> HALVO_CPU_INLINE void Lxa() { SetNz(a = x = Operand<M>()); }

    template <Mode M> HALVO_CPU_INLINE void Xaa() { SetNz(a = Alu::AndXImmediate(a, x, Operand<M>())); }
    template <Mode M> HALVO_CPU_INLINE void Anc() { Alu::AndCopyCarry(a, cpu.p, Operand<M>()); }

    template <Mode M> HALVO_CPU_INLINE void Alr() { a = ShiftRight(a & Operand<M>()); }

    template <Mode M> HALVO_CPU_INLINE void Arr() { Alu::AndRotateRight(a, cpu.p, Operand<M>()); }
    template <Mode M> HALVO_CPU_INLINE void Axs() { Alu::AndSubtractToX(a, x, cpu.p, Operand<M>()); }
    // clang-format on

    StaticCpu& cpu;
    Process& process;
    std::uint16_t pc;
    std::int32_t counter;
    // The processor's registers and flags, in place.
    std::uint8_t& a;
    std::uint8_t& x;
    std::uint8_t& y;
    std::uint8_t& s;
    std::uint8_t& n;
    std::uint8_t& v;
    std::uint8_t& bdi;
    std::uint8_t& z;
    std::uint8_t& c;
};

} // namespace Halvo::Nes
