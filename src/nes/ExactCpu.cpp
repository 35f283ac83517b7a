#include "nes/ExactCpu.h"

#include "nes/CpuAlu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/debug/Debugger.h"
#include "nes/mmc/Mmc.h"

// As for the line model's interpreter: with the sanitizers' instrumentation, GCC's points-to analysis
// of the inlined instruction switch takes minutes.
#if defined(__SANITIZE_ADDRESS__) && !defined(__clang__)
#pragma GCC optimize("no-tree-pta")
#endif

#define HALVO_EXACT_INLINE [[gnu::always_inline]] inline

namespace Halvo::Nes {

namespace {

constexpr std::uint8_t FlagC = StatusRegister::FlagC;
constexpr std::uint8_t FlagI = StatusRegister::FlagI;
constexpr std::uint8_t FlagD = StatusRegister::FlagD;
constexpr std::uint8_t FlagB = StatusRegister::FlagB;
constexpr std::uint8_t FlagUnused = StatusRegister::FlagUnused;
constexpr std::uint8_t FlagN = StatusRegister::FlagN;

// The PPU's share of a cycle that runs before the processor's access, in master clock units. The 2A03
// puts its address out early in the cycle and takes the data at its end; register reads see the PPU
// one dot into the cycle on NTSC. ppu_vbl_nmi's VBlank set and clear tests and the NMI timing tests pin
// this down to the dot.
// Where a cycle's access falls among its PPU dots, in master clock units (12 a cycle on NTSC): the
// 2A03's access comes after the first of the cycle's dots (three on NTSC, 3.2 on PAL) and its NMI
// input is sampled after the second. ppu_vbl_nmi's VBlank set/clear, NMI timing, NMI on/off and suppression
// programs pin all three to the dot.
constexpr std::int32_t UnitsBeforeRead = 5;
constexpr std::int32_t UnitsBeforeWrite = 7;
constexpr std::int32_t DotsBeforeNmiSample = 2;

} // namespace

// The instruction interpreter of the exact model: one bus cycle per Read or Write.
class ExactCpu::Core {
public:
    explicit Core(ExactCpu& cpu) : cpu(cpu), process(*cpu.process), ppu(*process.ppu) {}

    // One cycle ------------------------------------------------------------------------------------------

    // The PPU runs lazily: a cycle only adds its master clock units to what the PPU owes, and the PPU
    // runs them (CatchUpPpu) when the processor could see the result or the PPU could reach the
    // processor: before every access that goes to a handler (its registers, sprite DMA's $2004 writes,
    // the board's registers, which change what its fetches see, the ports, where a light gun looks at
    // the picture), and at the two checks of every cycle once it owes the dots up to the next event
    // it named (the VBlank flag set or cleared, the frame's end, a line's end for a board that counts
    // lines, a board's filtered A12 rise that can raise its IRQ). Between those the PPU does nothing
    // the processor could tell apart from running it dot by dot. Within a cycle `ppuUnits` stands
    // for the units owed at its start, so a point in the cycle adds its offset.
    HALVO_EXACT_INLINE void StartCycle() { ++cpu.cycles; }

    // The end of every cycle: the rest of the PPU's dots, the sound unit and the board when due, and
    // the interrupt inputs sampled. An instruction acts on what its second-to-last cycle sampled. The
    // NMI input needs the PPU as it stands at the sample, the IRQ input a rise of a board's line
    // from the PPU's side (a scanline counter) by the end of the cycle. The PPU's /NMI output changes
    // only when the PPU has run or a register was accessed, so the edge detector looks only then.
    HALVO_EXACT_INLINE void EndCycle() {
        if (cpu.ppuUnits + cpu.sampleUnits >= cpu.eventUnits) [[unlikely]] {
            cpu.CatchUpPpu(cpu.sampleUnits);
        }
        if (cpu.nmiCheck) [[unlikely]] {
            cpu.nmiCheck = false;
            const bool line = ppu.NmiOutput();
            if (line && !cpu.nmiLine) {
                cpu.nmiPending = true;
            }
            cpu.nmiLine = line;
        }
        cpu.ppuUnits += cpu.cycleUnits;
        // The processor samples its IRQ input with the NMI's, after the cycle's second dot: a board's
        // line that the PPU's last dot raises counts from the next cycle (mmc3_test_2's
        // 4-scanline_timing pins MMC3's IRQ against the sprite fetches and the next line's first tile).
        std::uint8_t lateIrqs = 0;
        if (cpu.ppuUnits >= cpu.eventUnits) [[unlikely]] {
            const std::uint8_t sampled = cpu.irqInputs;
            cpu.CatchUpPpu(0);
            lateIrqs = cpu.irqInputs & ~sampled;
        }
        if (cpu.cycles >= process.apuDue) [[unlikely]] {
            process.ServiceApu();
        }
        if (cpu.cycles >= process.boardIrqCycle) [[unlikely]] {
            // The board may change its banks along with its count.
            cpu.CatchUpPpu(0);
            process.RunBoardIrq();
        }
        cpu.lastPollNmi = cpu.pollNmi;
        cpu.lastPollIrq = cpu.pollIrq;
        cpu.pollNmi = cpu.nmiPending;
        cpu.pollIrq = (cpu.irqInputs & ~lateIrqs) && !(cpu.p.bdi & FlagI);
    }

    // A read cycle, which any DMA waiting for the bus takes first.
    HALVO_EXACT_INLINE std::uint8_t Read(std::uint16_t address) {
        if ((cpu.dmcStall | static_cast<std::uint32_t>(cpu.spriteDmaPending)) != 0) [[unlikely]] {
            DmaTakesBus(cpu, address);
        }
        return BusRead(address);
    }

    HALVO_EXACT_INLINE void Write(std::uint16_t address, std::uint8_t value) { BusWrite(address, value); }

    // A cycle in which the processor's bus does nothing the machine can see.
    HALVO_EXACT_INLINE void Idle() {
        StartCycle();
        EndCycle();
    }

    // DMA takes the bus at a read cycle. The halted processor repeats its read while the DMA waits
    // (a register such as $2007 or $4016 sees those reads: dmc_dma_during_read4 checks them). A DMC
    // fetch takes its halt, its dummy cycle, an alignment cycle when the next is a put (even) cycle,
    // and the get that reads the sample byte; a read before the cycle it may halt on goes ahead.
    void RunDma(std::uint16_t address) {
        while (cpu.dmcStall > 0 || cpu.spriteDmaPending) {
            if (cpu.spriteDmaPending) {
                cpu.spriteDmaPending = false;
                RunSpriteDma(address);
                continue;
            }
            if (cpu.cycles + 1 < cpu.dmcHaltFrom) {
                return;
            }
            cpu.dmcStall -= std::min(cpu.dmcStall, DmcChannel::FetchStall);
            BusRead(address);
            ReadAgain(address);
            if (((cpu.cycles + 1) & 1) == 0) {
                ReadAgain(address);
            }
            Idle();
        }
    }

    // Sprite DMA alternates reads of the page (on odd cycles, the DMA's get cycles) with writes of
    // $2004 (put cycles), after one more cycle when it would start on a put: 513 or 514 cycles. A DMC
    // fetch that comes due meanwhile needs the bus only for its own get: its halt and dummy cycles pass
    // along with the copy's, then it takes the next get cycle and the copy's read waits for the one
    // after, two cycles in all. Due near the end, what is left of it runs on alone after the last
    // write: one or three cycles more (the DMA page of the NESdev wiki works these cases through).
    void RunSpriteDma(std::uint16_t address) {
        // The first cycle the DMC may take for its get; 0 while none is due.
        std::uint64_t dmcGetFrom = 0;
        const auto noteDmc = [&] {
            if (cpu.dmcStall != 0) {
                cpu.dmcStall = 0;
                dmcGetFrom = cpu.cycles + 3;
            }
        };
        BusRead(address);
        noteDmc();
        if (cpu.cycles & 1) {
            ReadAgain(address);
            noteDmc();
        }
        const std::uint16_t source = static_cast<std::uint16_t>(cpu.spriteDmaPage << 8);
        for (std::uint32_t i = 0; i < 256;) {
            if (dmcGetFrom != 0 && cpu.cycles + 1 >= dmcGetFrom) {
                dmcGetFrom = 0;
                Idle();
                Idle();
                noteDmc();
                continue;
            }
            const std::uint8_t value = BusRead(static_cast<std::uint16_t>(source + i));
            noteDmc();
            BusWrite(0x2004, value);
            noteDmc();
            ++i;
        }
        if (dmcGetFrom != 0) {
            while (cpu.cycles + 1 < dmcGetFrom || ((cpu.cycles + 1) & 1) == 0) {
                ReadAgain(address);
            }
            Idle();
        }
    }

    // A halted read repeated on the next cycle. A joypad shifts when its /OE line is released, and the
    // 2A03 holds /OE through consecutive reads of the same port register, so the pad sees one read for
    // the whole run and the processor the same bit each time (the NES and the AV Famicom; the RF
    // Famicom clocks on every cycle). dma_4016_read shows the bit the DMC's halt deletes that way.
    HALVO_EXACT_INLINE void ReadAgain(std::uint16_t address) {
        if ((address & 0xFFFE) == 0x4016) {
            Idle();
            return;
        }
        BusRead(address);
    }

    // The DMA's cycles from a core of their own: the instruction's core stays local to its run, and
    // the compiler keeps its program counter and references in registers.
    [[gnu::noinline]] static void DmaTakesBus(ExactCpu& cpu, std::uint16_t address) {
        Core dma(cpu);
        dma.RunDma(address);
    }

    // One access on the bus, with the rest of the machine moved on around it; the DMA's own cycles
    // come straight here.
    HALVO_EXACT_INLINE std::uint8_t BusRead(std::uint16_t address) {
        StartCycle();
        const std::uint32_t page = address >> Process::PageShift;
        if (const std::uint8_t* data = process.readPages[page]) [[likely]] {
            cpu.dataBus = data[address & Process::PageMask];
        } else {
            cpu.CatchUpPpu(UnitsBeforeRead);
            process.openBus = cpu.dataBus;
            cpu.dataBus = process.readHandlers[page](&process, address);
            // The access may have moved the PPU's next event (a $2000 or $2001 write, a bank) or its
            // NMI output ($2000, $2002).
            cpu.eventUnits = 0;
            cpu.nmiCheck = true;
        }
        EndCycle();
        return cpu.dataBus;
    }

    HALVO_EXACT_INLINE void BusWrite(std::uint16_t address, std::uint8_t value) {
        StartCycle();
        cpu.dataBus = value;
        const std::uint32_t page = address >> Process::PageShift;
        if (std::uint8_t* data = process.writePages[page]) [[likely]] {
            data[address & Process::PageMask] = value;
        } else {
            cpu.CatchUpPpu(UnitsBeforeWrite);
            process.writeHandlers[page](&process, address, value);
            cpu.eventUnits = 0;
            cpu.nmiCheck = true;
        }
        EndCycle();
    }

    // Addressing --------------------------------------------------------------------------------------

    HALVO_EXACT_INLINE std::uint8_t Fetch() { return Read(pc++); }

    HALVO_EXACT_INLINE std::uint16_t FetchWord() {
        const std::uint8_t low = Fetch();
        return static_cast<std::uint16_t>(low | Fetch() << 8);
    }

    // Zero page indexed: the base is read once while the index is added, and the sum wraps in page 0.
    HALVO_EXACT_INLINE std::uint16_t ZeroPageIndexed(std::uint8_t index) {
        const std::uint8_t base = Fetch();
        Read(base);
        return static_cast<std::uint8_t>(base + index);
    }

    // Absolute indexed: the first try reads with the low byte added and the high byte not yet carried
    // into. Reads skip that cycle when there is no carry; writes and read-modify-writes always make it.
    template <bool Always>
    HALVO_EXACT_INLINE std::uint16_t AbsoluteIndexed(std::uint8_t index) {
        const std::uint16_t base = FetchWord();
        const std::uint16_t address = static_cast<std::uint16_t>(base + index);
        if (Always || ((base ^ address) & 0xFF00)) {
            Read(static_cast<std::uint16_t>((base & 0xFF00) | (address & 0xFF)));
        }
        return address;
    }

    HALVO_EXACT_INLINE std::uint16_t IndexedIndirect() {
        const std::uint8_t pointer = Fetch();
        Read(pointer);
        const std::uint8_t at = static_cast<std::uint8_t>(pointer + cpu.x);
        const std::uint8_t low = Read(at);
        return static_cast<std::uint16_t>(low | Read(static_cast<std::uint8_t>(at + 1)) << 8);
    }

    template <bool Always>
    HALVO_EXACT_INLINE std::uint16_t IndirectIndexed() {
        const std::uint8_t pointer = Fetch();
        const std::uint8_t low = Read(pointer);
        const std::uint16_t base =
            static_cast<std::uint16_t>(low | Read(static_cast<std::uint8_t>(pointer + 1)) << 8);
        const std::uint16_t address = static_cast<std::uint16_t>(base + cpu.y);
        if (Always || ((base ^ address) & 0xFF00)) {
            Read(static_cast<std::uint16_t>((base & 0xFF00) | (address & 0xFF)));
        }
        return address;
    }

    // Stack -------------------------------------------------------------------------------------------

    HALVO_EXACT_INLINE void Push(std::uint8_t value) {
        Write(static_cast<std::uint16_t>(0x100 | cpu.s), value);
        --cpu.s;
    }
    HALVO_EXACT_INLINE std::uint8_t Pull() {
        ++cpu.s;
        return Read(static_cast<std::uint16_t>(0x100 | cpu.s));
    }
    HALVO_EXACT_INLINE void ReadStack() { Read(static_cast<std::uint16_t>(0x100 | cpu.s)); }
    // PLP and RTI. The processor has no B flag: only pushed copies of the status carry one.
    HALVO_EXACT_INLINE void PullStatus() {
        const std::uint8_t bFlag = cpu.p.bdi & FlagB;
        cpu.p = Pull();
        cpu.p.bdi = static_cast<std::uint8_t>((cpu.p.bdi & ~FlagB) | bFlag);
    }

    // Arithmetic ------------------------------------------------------------------------------------

    HALVO_EXACT_INLINE void SetNz(std::uint8_t value) { Alu::SetNz(cpu.p, value); }
    HALVO_EXACT_INLINE void Adc(std::uint8_t operand) { Alu::AddWithCarry(cpu.a, cpu.p, operand); }
    HALVO_EXACT_INLINE void Sbc(std::uint8_t operand) { Alu::SubtractWithBorrow(cpu.a, cpu.p, operand); }
    HALVO_EXACT_INLINE void Compare(std::uint8_t reg, std::uint8_t operand) {
        Alu::Compare(cpu.p, reg, operand);
    }
    HALVO_EXACT_INLINE std::uint8_t Asl(std::uint8_t value) { return Alu::ShiftLeft(cpu.p, value); }
    HALVO_EXACT_INLINE std::uint8_t Lsr(std::uint8_t value) { return Alu::ShiftRight(cpu.p, value); }
    HALVO_EXACT_INLINE std::uint8_t Rol(std::uint8_t value) { return Alu::RotateLeft(cpu.p, value); }
    HALVO_EXACT_INLINE std::uint8_t Ror(std::uint8_t value) { return Alu::RotateRight(cpu.p, value); }
    HALVO_EXACT_INLINE std::uint8_t Inc(std::uint8_t value) { return Alu::Increment(cpu.p, value); }
    HALVO_EXACT_INLINE std::uint8_t Dec(std::uint8_t value) { return Alu::Decrement(cpu.p, value); }

    // Read-modify-write: the unchanged value is written back while the new one is made, then the new.
    template <class Change>
    HALVO_EXACT_INLINE std::uint8_t Modify(std::uint16_t address, Change change) {
        const std::uint8_t value = Read(address);
        Write(address, value);
        const std::uint8_t result = change(value);
        Write(address, result);
        return result;
    }

    // The unstable stores (SHY, SHX, SHA, TAS): the indexed address's dummy read, then the store.
    HALVO_EXACT_INLINE void StoreAndHigh(std::uint16_t base, std::uint8_t index, std::uint8_t value) {
        std::uint16_t address = static_cast<std::uint16_t>(base + index);
        Read(static_cast<std::uint16_t>((base & 0xFF00) | (address & 0xFF)));
        const std::uint8_t stored = Alu::StoreAndHigh(base, address, value);
        Write(address, stored);
    }

    HALVO_EXACT_INLINE void Branch(bool taken) {
        const auto offset = static_cast<std::int8_t>(Fetch());
        if (!taken) {
            return;
        }
        // A taken branch that stays in its page polls at its operand fetch only: an interrupt raised
        // during its last cycle waits for one more instruction (cpu_interrupts_v2 "branch delays IRQ").
        const bool nmi = cpu.lastPollNmi;
        const bool irq = cpu.lastPollIrq;
        Read(pc);
        const auto destination = static_cast<std::uint16_t>(pc + offset);
        if ((pc ^ destination) & 0xFF00) {
            Read(static_cast<std::uint16_t>((pc & 0xFF00) | (destination & 0xFF)));
        } else {
            cpu.lastPollNmi = nmi;
            cpu.lastPollIrq = irq;
        }
        pc = destination;
    }

    // Interrupts --------------------------------------------------------------------------------------

    // BRK, NMI and IRQ share one sequence. The vector is chosen when the status is pushed: an NMI
    // that has arrived by then takes over a BRK or IRQ (the status pushed keeps BRK's B flag).
    HALVO_EXACT_INLINE void InterruptSequence(bool brk) {
        if (brk) {
            Fetch();
        } else {
            Read(pc);
            Read(pc);
        }
        Push(static_cast<std::uint8_t>(pc >> 8));
        Push(static_cast<std::uint8_t>(pc));
        std::uint16_t vector = Cpu::IrqVector;
        if (cpu.nmiPending) {
            cpu.nmiPending = false;
            vector = Cpu::NmiVector;
        }
        const std::uint8_t status = cpu.p | FlagUnused;
        Push(brk ? static_cast<std::uint8_t>(status | FlagB) : static_cast<std::uint8_t>(status & ~FlagB));
        cpu.p.bdi |= FlagI;
        const std::uint8_t low = Read(vector);
        pc = static_cast<std::uint16_t>(low | Read(static_cast<std::uint16_t>(vector + 1)) << 8);
        // The handler's first instruction runs before any other interrupt is looked at.
        cpu.lastPollNmi = cpu.lastPollIrq = false;
        cpu.pollNmi = cpu.nmiPending;
    }

    // One instruction, then the interrupt its second-to-last cycle saw.
    HALVO_EXACT_INLINE void Step();

    ExactCpu& cpu;
    Process& process;
    Ppu& ppu;
    std::uint16_t pc = 0;
};

HALVO_EXACT_INLINE void ExactCpu::Core::Step() {
    const std::uint8_t opcode = Fetch();
    std::uint8_t& a = cpu.a;
    std::uint8_t& x = cpu.x;
    std::uint8_t& y = cpu.y;
    StatusRegister& p = cpu.p;
    // The operand's address in each mode, and the value read there.
    const auto zp = [&] { return static_cast<std::uint16_t>(Fetch()); };
    const auto imm = [&] { return Fetch(); };
    const auto implied = [&] { Read(pc); };
    switch (opcode) {
    // clang-format off
    // Loads
    case 0xA9: SetNz(a = imm()); break;
    case 0xA5: SetNz(a = Read(zp())); break;
    case 0xB5: SetNz(a = Read(ZeroPageIndexed(x))); break;
    case 0xAD: SetNz(a = Read(FetchWord())); break;
    case 0xBD: SetNz(a = Read(AbsoluteIndexed<false>(x))); break;
    case 0xB9: SetNz(a = Read(AbsoluteIndexed<false>(y))); break;
    case 0xA1: SetNz(a = Read(IndexedIndirect())); break;
    case 0xB1: SetNz(a = Read(IndirectIndexed<false>())); break;
    case 0xA2: SetNz(x = imm()); break;
    case 0xA6: SetNz(x = Read(zp())); break;
    case 0xB6: SetNz(x = Read(ZeroPageIndexed(y))); break;
    case 0xAE: SetNz(x = Read(FetchWord())); break;
    case 0xBE: SetNz(x = Read(AbsoluteIndexed<false>(y))); break;
    case 0xA0: SetNz(y = imm()); break;
    case 0xA4: SetNz(y = Read(zp())); break;
    case 0xB4: SetNz(y = Read(ZeroPageIndexed(x))); break;
    case 0xAC: SetNz(y = Read(FetchWord())); break;
    case 0xBC: SetNz(y = Read(AbsoluteIndexed<false>(x))); break;
    // LAX
    case 0xA7: SetNz(a = x = Read(zp())); break;
    case 0xB7: SetNz(a = x = Read(ZeroPageIndexed(y))); break;
    case 0xAF: SetNz(a = x = Read(FetchWord())); break;
    case 0xBF: SetNz(a = x = Read(AbsoluteIndexed<false>(y))); break;
    case 0xA3: SetNz(a = x = Read(IndexedIndirect())); break;
    case 0xB3: SetNz(a = x = Read(IndirectIndexed<false>())); break;
    // LXA: the instruction test programs expect the operand alone, as most consoles give it.
    case 0xAB: SetNz(a = x = imm()); break;
    // Stores
    case 0x85: Write(zp(), a); break;
    case 0x95: Write(ZeroPageIndexed(x), a); break;
    case 0x8D: Write(FetchWord(), a); break;
    case 0x9D: Write(AbsoluteIndexed<true>(x), a); break;
    case 0x99: Write(AbsoluteIndexed<true>(y), a); break;
    case 0x81: Write(IndexedIndirect(), a); break;
    case 0x91: Write(IndirectIndexed<true>(), a); break;
    case 0x86: Write(zp(), x); break;
    case 0x96: Write(ZeroPageIndexed(y), x); break;
    case 0x8E: Write(FetchWord(), x); break;
    case 0x84: Write(zp(), y); break;
    case 0x94: Write(ZeroPageIndexed(x), y); break;
    case 0x8C: Write(FetchWord(), y); break;
    // SAX
    case 0x87: Write(zp(), a & x); break;
    case 0x97: Write(ZeroPageIndexed(y), a & x); break;
    case 0x8F: Write(FetchWord(), a & x); break;
    case 0x83: Write(IndexedIndirect(), a & x); break;
    // The unstable stores
    case 0x9C: StoreAndHigh(FetchWord(), x, y); break;
    case 0x9E: StoreAndHigh(FetchWord(), y, x); break;
    case 0x9F: StoreAndHigh(FetchWord(), y, a & x); break;
    case 0x9B: cpu.s = a & x; StoreAndHigh(FetchWord(), y, cpu.s); break;
    case 0x93: {
        const std::uint8_t pointer = Fetch();
        const std::uint8_t low = Read(pointer);
        const auto base = static_cast<std::uint16_t>(low | Read(static_cast<std::uint8_t>(pointer + 1)) << 8);
        StoreAndHigh(base, y, a & x);
        break;
    }
    case 0xBB: SetNz(a = x = cpu.s = Read(AbsoluteIndexed<false>(y)) & cpu.s); break;
    // Transfers
    case 0xAA: implied(); SetNz(x = a); break;
    case 0xA8: implied(); SetNz(y = a); break;
    case 0x8A: implied(); SetNz(a = x); break;
    case 0x98: implied(); SetNz(a = y); break;
    case 0xBA: implied(); SetNz(x = cpu.s); break;
    case 0x9A: implied(); cpu.s = x; break;
    // Logic and arithmetic, one group of eight modes each
#define HALVO_READ_GROUP(imm_, zp_, zpx_, abs_, abx_, aby_, izx_, izy_, action) \
    case imm_: { const std::uint8_t m = imm(); action; break; } \
    case zp_: { const std::uint8_t m = Read(zp()); action; break; } \
    case zpx_: { const std::uint8_t m = Read(ZeroPageIndexed(x)); action; break; } \
    case abs_: { const std::uint8_t m = Read(FetchWord()); action; break; } \
    case abx_: { const std::uint8_t m = Read(AbsoluteIndexed<false>(x)); action; break; } \
    case aby_: { const std::uint8_t m = Read(AbsoluteIndexed<false>(y)); action; break; } \
    case izx_: { const std::uint8_t m = Read(IndexedIndirect()); action; break; } \
    case izy_: { const std::uint8_t m = Read(IndirectIndexed<false>()); action; break; }
    HALVO_READ_GROUP(0x09, 0x05, 0x15, 0x0D, 0x1D, 0x19, 0x01, 0x11, SetNz(a |= m))
    HALVO_READ_GROUP(0x29, 0x25, 0x35, 0x2D, 0x3D, 0x39, 0x21, 0x31, SetNz(a &= m))
    HALVO_READ_GROUP(0x49, 0x45, 0x55, 0x4D, 0x5D, 0x59, 0x41, 0x51, SetNz(a ^= m))
    HALVO_READ_GROUP(0x69, 0x65, 0x75, 0x6D, 0x7D, 0x79, 0x61, 0x71, Adc(m))
    HALVO_READ_GROUP(0xE9, 0xE5, 0xF5, 0xED, 0xFD, 0xF9, 0xE1, 0xF1, Sbc(m))
    HALVO_READ_GROUP(0xC9, 0xC5, 0xD5, 0xCD, 0xDD, 0xD9, 0xC1, 0xD1, Compare(a, m))
#undef HALVO_READ_GROUP
    case 0xEB: Sbc(imm()); break;
    case 0xE0: Compare(x, imm()); break;
    case 0xE4: Compare(x, Read(zp())); break;
    case 0xEC: Compare(x, Read(FetchWord())); break;
    case 0xC0: Compare(y, imm()); break;
    case 0xC4: Compare(y, Read(zp())); break;
    case 0xCC: Compare(y, Read(FetchWord())); break;
    case 0x24: case 0x2C: {
        Alu::BitTest(p, a, Read(opcode == 0x24 ? zp() : FetchWord()));
        break;
    }
    // Immediate oddities
    case 0x0B: case 0x2B: Alu::AndCopyCarry(a, p, imm()); break;
    case 0x4B: a = Lsr(a & imm()); break;
    case 0x6B: Alu::AndRotateRight(a, p, imm()); break;
    case 0x8B: SetNz(a = Alu::AndXImmediate(a, x, imm())); break;
    case 0xCB: Alu::AndSubtractToX(a, x, p, imm()); break;
    // Read-modify-write, one group of five modes each (accumulator apart)
#define HALVO_MODIFY_GROUP(zp_, zpx_, abs_, abx_, change, after) \
    case zp_: { const std::uint8_t r = Modify(zp(), change); after; break; } \
    case zpx_: { const std::uint8_t r = Modify(ZeroPageIndexed(x), change); after; break; } \
    case abs_: { const std::uint8_t r = Modify(FetchWord(), change); after; break; } \
    case abx_: { const std::uint8_t r = Modify(AbsoluteIndexed<true>(x), change); after; break; }
#define HALVO_UNOFFICIAL_GROUP(zp_, zpx_, abs_, abx_, aby_, izx_, izy_, change, after) \
    HALVO_MODIFY_GROUP(zp_, zpx_, abs_, abx_, change, after) \
    case aby_: { const std::uint8_t r = Modify(AbsoluteIndexed<true>(y), change); after; break; } \
    case izx_: { const std::uint8_t r = Modify(IndexedIndirect(), change); after; break; } \
    case izy_: { const std::uint8_t r = Modify(IndirectIndexed<true>(), change); after; break; }
    HALVO_MODIFY_GROUP(0x06, 0x16, 0x0E, 0x1E, [&](std::uint8_t v) { return Asl(v); }, (void)r)
    HALVO_MODIFY_GROUP(0x46, 0x56, 0x4E, 0x5E, [&](std::uint8_t v) { return Lsr(v); }, (void)r)
    HALVO_MODIFY_GROUP(0x26, 0x36, 0x2E, 0x3E, [&](std::uint8_t v) { return Rol(v); }, (void)r)
    HALVO_MODIFY_GROUP(0x66, 0x76, 0x6E, 0x7E, [&](std::uint8_t v) { return Ror(v); }, (void)r)
    HALVO_MODIFY_GROUP(0xE6, 0xF6, 0xEE, 0xFE, [&](std::uint8_t v) { return Inc(v); }, (void)r)
    HALVO_MODIFY_GROUP(0xC6, 0xD6, 0xCE, 0xDE, [&](std::uint8_t v) { return Dec(v); }, (void)r)
    HALVO_UNOFFICIAL_GROUP(0x07, 0x17, 0x0F, 0x1F, 0x1B, 0x03, 0x13, [&](std::uint8_t v) { return Asl(v); }, SetNz(a |= r))
    HALVO_UNOFFICIAL_GROUP(0x27, 0x37, 0x2F, 0x3F, 0x3B, 0x23, 0x33, [&](std::uint8_t v) { return Rol(v); }, SetNz(a &= r))
    HALVO_UNOFFICIAL_GROUP(0x47, 0x57, 0x4F, 0x5F, 0x5B, 0x43, 0x53, [&](std::uint8_t v) { return Lsr(v); }, SetNz(a ^= r))
    HALVO_UNOFFICIAL_GROUP(0x67, 0x77, 0x6F, 0x7F, 0x7B, 0x63, 0x73, [&](std::uint8_t v) { return Ror(v); }, Adc(r))
    HALVO_UNOFFICIAL_GROUP(0xC7, 0xD7, 0xCF, 0xDF, 0xDB, 0xC3, 0xD3, [&](std::uint8_t v) { return Dec(v); }, Compare(a, r))
    HALVO_UNOFFICIAL_GROUP(0xE7, 0xF7, 0xEF, 0xFF, 0xFB, 0xE3, 0xF3, [&](std::uint8_t v) { return Inc(v); }, Sbc(r))
#undef HALVO_UNOFFICIAL_GROUP
#undef HALVO_MODIFY_GROUP
    case 0x0A: implied(); a = Asl(a); break;
    case 0x4A: implied(); a = Lsr(a); break;
    case 0x2A: implied(); a = Rol(a); break;
    case 0x6A: implied(); a = Ror(a); break;
    case 0xE8: implied(); SetNz(++x); break;
    case 0xC8: implied(); SetNz(++y); break;
    case 0xCA: implied(); SetNz(--x); break;
    case 0x88: implied(); SetNz(--y); break;
    // Flags: the change lands after the cycle that polled, so CLI and SEI act one instruction late.
    case 0x18: implied(); p.c = 0; break;
    case 0x38: implied(); p.c = FlagC; break;
    case 0x58: implied(); p.bdi &= static_cast<std::uint8_t>(~FlagI); break;
    case 0x78: implied(); p.bdi |= FlagI; break;
    case 0xB8: implied(); p.v = 0; break;
    case 0xD8: implied(); p.bdi &= static_cast<std::uint8_t>(~FlagD); break;
    case 0xF8: implied(); p.bdi |= FlagD; break;
    // Stack
    case 0x48: implied(); Push(a); break;
    case 0x08: implied(); Push(static_cast<std::uint8_t>(p | FlagB | FlagUnused)); break;
    case 0x68: implied(); ReadStack(); SetNz(a = Pull()); break;
    case 0x28: {
        implied();
        ReadStack();
        PullStatus();
        break;
    }
    // Jumps
    case 0x4C: pc = FetchWord(); break;
    case 0x6C: {
        const std::uint16_t pointer = FetchWord();
        const std::uint8_t low = Read(pointer);
        // No carry out of the pointer's low byte: $xxFF takes its high byte from $xx00.
        const auto next = static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0xFF));
        pc = static_cast<std::uint16_t>(low | Read(next) << 8);
        break;
    }
    case 0x20: {
        const std::uint8_t low = Fetch();
        ReadStack();
        Push(static_cast<std::uint8_t>(pc >> 8));
        Push(static_cast<std::uint8_t>(pc));
        pc = static_cast<std::uint16_t>(low | Read(pc) << 8);
        break;
    }
    case 0x60: {
        implied();
        ReadStack();
        const std::uint8_t low = Pull();
        pc = static_cast<std::uint16_t>(low | Pull() << 8);
        Read(pc++);
        break;
    }
    case 0x40: {
        implied();
        ReadStack();
        PullStatus();
        const std::uint8_t low = Pull();
        pc = static_cast<std::uint16_t>(low | Pull() << 8);
        break;
    }
    case 0x00: InterruptSequence(true); return;
    // Branches
    case 0x10: Branch(!(p.n & FlagN)); break;
    case 0x30: Branch(p.n & FlagN); break;
    case 0x50: Branch(!p.v); break;
    case 0x70: Branch(p.v); break;
    case 0x90: Branch(!p.c); break;
    case 0xB0: Branch(p.c); break;
    case 0xD0: Branch(p.z); break;
    case 0xF0: Branch(!p.z); break;
    // No-operations read what their mode reads
    case 0xEA: case 0x1A: case 0x3A: case 0x5A: case 0x7A: case 0xDA: case 0xFA: implied(); break;
    case 0x80: case 0x82: case 0x89: case 0xC2: case 0xE2: imm(); break;
    case 0x04: case 0x44: case 0x64: Read(zp()); break;
    case 0x14: case 0x34: case 0x54: case 0x74: case 0xD4: case 0xF4: Read(ZeroPageIndexed(x)); break;
    case 0x0C: Read(FetchWord()); break;
    case 0x1C: case 0x3C: case 0x5C: case 0x7C: case 0xDC: case 0xFC: Read(AbsoluteIndexed<false>(x)); break;
    // The halts: the processor stops with the bus at $FFFF until a reset.
    default:
        --pc;
        cpu.jammed = true;
        break;
        // clang-format on
    }
}

ExactCpu::ExactCpu(Process* process, const Cpu* previous) : Cpu(process, previous) {}

void ExactCpu::Reset(bool hard) {
    if (hard) {
        a = x = y = 0;
        s = 0;
        p = 0x04;
        irqInputs = 0;
        cycles = 0;
        dataBus = 0;
        nmiLine = nmiPending = pollNmi = pollIrq = lastPollNmi = lastPollIrq = false;
        ppuUnits = 0;
    }
    spriteDmaPending = false;
    dmcStall = 0;
    dmcHaltFrom = 0;
    jammed = false;
    // Master clocks a cycle and a dot: NTSC 12 and 4, PAL 16 and 5 (3.2 dots a cycle), the Dendy 15
    // and 5.
    const Region region = process->region;
    cycleUnits = region == Region::Pal ? 16 : region == Region::Dendy ? 15 : 12;
    dotUnits = region == Region::Ntsc ? 4 : 5;
    // The reset sequence is an interrupt whose three pushes are reads: S goes down by 3, nothing is
    // written, I is set, PC comes from $FFFC. Its seven cycles pass before the machine's other parts
    // take their reset time (the PPU catches up at the first cycle), so that the sound unit's
    // power-up $4017 write lands where apu_reset "4017_timing" finds it.
    s = static_cast<std::uint8_t>(s - 3);
    p.bdi |= FlagI;
    pc = process->CpuReadWord(ResetVector);
    cycles += 7;
    ppuUnits += 7 * cycleUnits;
}

void ExactCpu::Interrupt(std::uint16_t vector) {
    if (vector == ResetVector) {
        Reset(false);
        return;
    }
    if (jammed || (vector == IrqVector && (p.bdi & FlagI))) {
        return;
    }
    Core core(*this);
    core.pc = static_cast<std::uint16_t>(pc);
    if (vector == NmiVector) {
        nmiPending = true;
    }
    eventUnits = 0;
    sampleUnits = DotsBeforeNmiSample * dotUnits;
    nmiCheck = true;
    core.InterruptSequence(false);
    CatchUpPpu();
    pc = core.pc;
}

void ExactCpu::CatchUpPpu(std::int32_t offset) {
    Ppu& ppu = *process->ppu;
    const std::int32_t owed = ppuUnits + offset;
    if (owed >= dotUnits) {
        const std::int32_t dots = owed / dotUnits;
        ppuUnits -= dots * dotUnits;
        ppu.RunDots(dots);
    }
    eventUnits = ppu.DotsToEvent() * dotUnits;
    nmiCheck = true;
}

void ExactCpu::RunFrame() {
    // While the debugger watches, instructions go one at a time, each with the interrupt it lets in,
    // and the debugger is asked before each (the rest of the frame as usual should it stop watching).
    if (debugger) [[unlikely]] {
        const Ppu& ppu = *process->ppu;
        while (debugger && !ppu.FrameEnded()) {
            // The PPU stands where the processor's time is, for the debugger's line and dot.
            CatchUpPpu();
            debugger->BeforeInstruction();
            Run(false, true);
        }
    }
    Run(true);
}

// The one place the interpreter is inlined: its core is a local the compiler can keep in registers.
void ExactCpu::Run(bool frame, bool interrupts) {
    Core core(*this);
    core.pc = static_cast<std::uint16_t>(pc);
    Ppu& ppu = *process->ppu;
    eventUnits = 0;
    sampleUnits = DotsBeforeNmiSample * dotUnits;
    nmiCheck = true;
    // The end-of-cycle check has run the PPU through every line end the last instruction passed.
    while (!frame || !ppu.FrameEnded()) {
        if ((frame || interrupts) && jammed) [[unlikely]] {
            core.Read(0xFFFF);
            if (!frame) {
                break;
            }
            continue;
        }
        core.Step();
        if (!frame) {
            // One instruction for the debugger, with the interrupt it lets in.
            if (interrupts && (lastPollNmi || lastPollIrq)) {
                core.InterruptSequence(false);
            }
            break;
        }
        if (lastPollNmi) [[unlikely]] {
            core.InterruptSequence(false);
        } else if (lastPollIrq) [[unlikely]] {
            core.InterruptSequence(false);
        }
    }
    // Between frames the PPU stands where the processor's time is, as states save it.
    CatchUpPpu();
    pc = core.pc;
}

void ExactCpu::Execute(std::int32_t) {
    RunFrame();
}

void ExactCpu::Step() {
    Run(false);
}

} // namespace Halvo::Nes

#undef HALVO_EXACT_INLINE
