#pragma once

#include <cstdint>
#include <string>

#include "ref/Object.h"

namespace Halvo::Nes {

class Process;

// The NES processor, a 6502 without decimal arithmetic. Time is counted in PPU dots (3 per CPU cycle):
// every instruction takes its cost from `counter`, and a run started by Execute stops at the first
// instruction boundary where `counter` has reached `target`. The machine adds a scanline's dots to
// `counter` at every line start, so an instruction that overshoots a run shortens the next one and the
// long-term timing stays exact.
class Cpu : public Ref::Object {
public:
    static constexpr std::uint16_t NmiVector = 0xFFFA;
    static constexpr std::uint16_t ResetVector = 0xFFFC;
    static constexpr std::uint16_t IrqVector = 0xFFFE;
    static constexpr std::int32_t DotsPerCycle = 3;

    // Makes the processor implementation of that name ("Static" is the only one) for the process,
    // continuing where `previous` stopped when one is given; null for an unknown name.
    static Ref::Ptr<Cpu> Create(const std::string& name, Process* process, const Cpu* previous = nullptr);

    ~Cpu() override = default;
    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

    // A hard reset clears the registers and the time account; a soft one keeps them. Both load the
    // reset vector and leave the halt state.
    virtual void Reset(bool hard);
    virtual bool IsReady() = 0;
    // Enters the interrupt of that vector (NMI $FFFA, reset $FFFC, IRQ $FFFE). Called between runs. An
    // IRQ while I is set is latched in `irqPending` and taken when an instruction clears I.
    virtual void Interrupt(std::uint16_t vector);
    // Takes `dots` from the budget and runs instructions until it is spent.
    virtual void Execute(std::int32_t dots) = 0;
    // Runs exactly one instruction, whatever the budget.
    virtual void Step() = 0;

    Process* process;
    std::uint32_t pc = 0;
    std::uint8_t s = 0;
    std::uint8_t a = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    // The status register as pushed by the processor: N V 1 B D I Z C from bit 7 down.
    std::uint8_t p = 0;
    std::int32_t counter = 0;
    std::int32_t target = 0;
    std::int32_t lineStart = 0;
    bool irqPending = false;
    bool jammed = false;

protected:
    Cpu(Process* process, const Cpu* previous);

private:
    void Push(std::uint8_t value);
};

} // namespace Halvo::Nes
