#pragma once

#include <climits>
#include <cstdint>
#include <string>

#include "ref/Object.h"

namespace Halvo::Nes {

class Debugger;
class Process;
class StateIo;

// The status register N V 1 B D I Z C (bit 7 down), held unpacked as the interpreter works on it: `n`
// and `z` are the last result byte (N is its bit 7; Z is set when the byte is zero), `v` and `c` are
// 0 or their own bit, and `bdi` holds B, D and I in their packed positions. Reading it gives the packed
// byte (bit 5 always set) and assigning a byte unpacks it. It stays unpacked between runs as well: while
// the picture is drawn the processor runs in thousands of slices a frame, most of them one instruction
// long, and unpacking and packing around each would cost more than the instructions.
struct StatusRegister {
    static constexpr std::uint8_t FlagC = 0x01;
    static constexpr std::uint8_t FlagZ = 0x02;
    static constexpr std::uint8_t FlagI = 0x04;
    static constexpr std::uint8_t FlagD = 0x08;
    static constexpr std::uint8_t FlagB = 0x10;
    static constexpr std::uint8_t FlagUnused = 0x20;
    static constexpr std::uint8_t FlagV = 0x40;
    static constexpr std::uint8_t FlagN = 0x80;

    operator std::uint8_t() const {
        return static_cast<std::uint8_t>((n & FlagN) | FlagUnused | v | bdi | (z ? 0 : FlagZ) | c);
    }

    StatusRegister& operator=(std::uint8_t packed) {
        n = packed;
        v = packed & FlagV;
        bdi = packed & (FlagB | FlagD | FlagI);
        z = ~packed & FlagZ;
        c = packed & FlagC;
        return *this;
    }

    std::uint8_t n = 0;
    std::uint8_t v = 0;
    std::uint8_t bdi = 0;
    std::uint8_t z = FlagZ;
    std::uint8_t c = 0;
};

// The NES processor, a 6502 without decimal arithmetic. Time is counted in PPU dots (3 per CPU cycle):
// every instruction takes its cost from `counter`, and a run started by Execute stops at the first
// instruction boundary where `counter` has reached `target`. The machine adds a scanline's dots to
// `counter` at every line start, so an instruction that overshoots a run shortens the next one and the
// long-term timing stays exact.
//
// A board whose IRQ counts processor cycles names the cycle at which its line rises; the process turns
// it into `irqAt`, the `counter` value of that cycle, and a run also stops there (its stop is the
// higher of `target` and `irqAt`), so the board raises the line between the right two instructions
// without being called on every cycle.
class Cpu : public Ref::Object {
public:
    static constexpr std::uint16_t NmiVector = 0xFFFA;
    static constexpr std::uint16_t ResetVector = 0xFFFC;
    static constexpr std::uint16_t IrqVector = 0xFFFE;
    static constexpr std::int32_t DotsPerCycle = 3;
    // `irqAt` while no board IRQ is due: below any value `counter` reaches.
    static constexpr std::int32_t NoIrq = INT32_MIN;

    // Makes the processor implementation of that name ("Static" is the only one) for the process,
    // continuing where `previous` stopped when one is given; null for an unknown name.
    static Ref::Ptr<Cpu> Create(const std::string& name, Process* process, const Cpu* previous = nullptr);

    ~Cpu() override = default;
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    // A hard reset clears the registers and the time account; a soft one keeps them. Both load the
    // reset vector and leave the halt state.
    virtual void Reset(bool hard);
    // Enters the interrupt of that vector (NMI $FFFA, reset $FFFC, IRQ $FFFE) at once. Called between
    // runs; the NMI is the PPU's edge. An IRQ while I is set is not entered: IRQs come through the line.
    virtual void Interrupt(std::uint16_t vector);

    // The IRQ line's inputs. The console's line is open collector: the frame counter, the DMC and the
    // cartridge each pull it low on their own, and the processor sees it asserted while any of them
    // does. It is level-triggered: while it stays asserted and I is clear the processor enters the IRQ
    // at the next instruction boundary, again after every RTI, until each source is acknowledged.
    enum IrqSource : std::uint8_t { IrqFrameCounter = 1, IrqDmc = 2, IrqBoard = 4 };
    // Raises or lowers one source's input; may be called inside an instruction (from a register
    // handler), in which case the run ends after it so that the IRQ is entered at the boundary.
    void SetIrqInput(IrqSource source, bool asserted) {
        if (asserted) {
            irqInputs |= source;
            if (!(p.bdi & StatusRegister::FlagI)) {
                stop = INT32_MAX;
            }
        } else {
            irqInputs &= static_cast<std::uint8_t>(~source);
        }
    }
    bool IrqAsserted() const { return irqInputs != 0; }
    // Takes `dots` from the budget and runs instructions until it is spent.
    virtual void Execute(std::int32_t dots) = 0;
    // Runs exactly one instruction, whatever the budget.
    virtual void Step() = 0;
    // Saves or loads the registers and the time account.
    void State(StateIo& io);

    // Execute for a slice of the frame, with the processor's own first test made here: when an earlier
    // instruction or a DMA stall already ran past the slice's end, only `target` moves and no call is
    // made. During rendered lines most slices are 8 dots, shorter than many instructions, so this
    // saves a good share of the calls.
    void RunSlice(std::int32_t dots) {
        if (counter > target - dots) {
            Execute(dots);
        } else {
            target -= dots;
        }
    }

    Process* process;
    std::uint32_t pc = 0;
    std::uint8_t s = 0;
    std::uint8_t a = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    StatusRegister p;
    std::int32_t counter = 0;
    std::int32_t target = 0;
    std::int32_t lineStart = 0;
    // The `counter` value at which the board's IRQ line rises, or NoIrq.
    std::int32_t irqAt = NoIrq;
    // Where the present run stops: max(target, irqAt), raised when a board schedules its IRQ mid-run.
    std::int32_t stop = 0;
    // One bit per IrqSource whose input holds the line asserted.
    std::uint8_t irqInputs = 0;
    bool jammed = false;
    // The debugger watching the processor: while set, runs go one instruction at a time and ask it
    // before each. Null (the plain run) when no break, trace or step needs it.
    Debugger* debugger = nullptr;

protected:
    Cpu(Process* process, const Cpu* previous);

    // The entry of an NMI or IRQ, taken between runs by Interrupt and at the start of a run, and inside
    // an instruction by one that clears I while the IRQ line is asserted: PC and the flags (B clear)
    // are pushed, IRQs are masked, D is cleared and PC comes from the vector. Seven cycles.
    void EnterInterrupt(std::uint16_t vector);
    // Between runs: enters the IRQ when the line is asserted and I is clear.
    void PollIrq() {
        if (irqInputs && !(p.bdi & StatusRegister::FlagI) && !jammed) [[unlikely]] {
            EnterInterrupt(IrqVector);
        }
    }

    // The interpreter's run enters interrupts through EnterInterrupt.
    friend class StaticCpuCore;

private:
    void Push(std::uint8_t value);
};

} // namespace Halvo::Nes
