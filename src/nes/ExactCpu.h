#pragma once

#include <cstdint>

#include "nes/ApuDmc.h"
#include "nes/Cpu.h"

namespace Halvo::Nes {

class Ppu;

// The processor of the "exact" timing model: every instruction runs as the 2A03's own sequence of bus
// cycles (operand fetches, dummy reads, the dummy write of read-modify-write instructions, stack and
// vector cycles), and every cycle moves the rest of the machine on before and after its access: the PPU
// by its dots (3 a cycle on NTSC, 3.2 on PAL), the sound unit and the board's cycle counters when they
// are due. The data bus keeps the last byte that crossed it, which is what an unmapped address reads.
//
// Interrupts are polled as the hardware does at the end of every cycle, and an instruction looks at the
// result of its second-to-last cycle; the NMI input is an edge detector on the PPU's output. DMA halts
// the processor on its next read cycle: sprite DMA for 513 or 514 cycles, a DMC fetch for 3 or 4.
class ExactCpu final : public Cpu {
public:
    ExactCpu(Process* process, const Cpu* previous);

    // Power-up: A, X, Y 0, P with I set, and S $FD after the reset sequence, which runs the stack
    // cycles of an interrupt as reads. The reset button: the same sequence, registers kept.
    void Reset(bool hard) override;
    // Outside a frame the NMI and IRQ come through their inputs; this only enters the vector at once
    // (the headless runner's tests of a halted processor use it).
    void Interrupt(std::uint16_t vector) override;
    // Runs whole instructions until the PPU ends its frame; `dots` is not used.
    void Execute(std::int32_t dots) override;
    void Step() override;

    // The frame's run: instructions until the PPU reaches the start of vertical blank.
    void RunFrame();
    // $4014: the copy starts at the next read cycle.
    void RequestSpriteDma(std::uint8_t page) {
        spriteDmaPage = page;
        spriteDmaPending = true;
    }
    // A DMC fetch (DmcChannel::FetchStall cycles for each): it halts the processor at a read cycle, then
    // takes a dummy cycle, an alignment cycle when the next one is a put, and the get: 3 or 4 cycles.
    // Get cycles are the odd ones, as for sprite DMA. The "reload" fetches as the sample plays try to
    // halt from the next put cycle, so they take 4 unless a write cycle pushes the halt onto a get
    // (the NESdev wiki's DMA page). The "load" fetch a $4015 write starts tries in the second APU
    // cycle after the write. The wiki has it try on that cycle's get half and take 3; this DMC takes
    // its byte at the write itself, and dmc_dma_during_read4's dma_2007_read and dma_4016_read, which
    // time themselves by that fetch, pass only with the try on the put half that follows.
    void AddDmcStall(std::uint32_t cycles, bool load) {
        if (cycles == 0) {
            return;
        }
        dmcStall += cycles;
        const std::uint64_t now = this->cycles;
        const bool get = (now & 1) != 0;
        dmcHaltFrom = load ? now + (get ? 5 : 4) : now + (get ? 1 : 2);
    }

    // The fetches the DMC made since the last call, which halt the processor as above.
    void TakeDmcFetches(DmcChannel& dmc) {
        const bool load = dmc.LoadFetched();
        AddDmcStall(dmc.TakeStall(), load);
    }

    // Runs the PPU up to the present, `offset` units into the cycle under way (0 at its end), and
    // asks it for its next event.
    void CatchUpPpu(std::int32_t offset = 0);

    // Saves or loads what the exact model keeps beyond the registers.
    void ExactState(StateIo& io);

    // The cycles run since power-up.
    std::uint64_t cycles = 0;
    // The byte last seen on the data bus.
    std::uint8_t dataBus = 0;
    // NMI edge detector and the polled interrupt state. No two of them that the end of a cycle reads
    // sit side by side: the compiler would read such a pair as one 16-bit load of two bytes stored
    // apart, which the processor cannot forward from its store buffer.
    bool nmiPending = false;
    bool nmiLine = false;
    bool pollNmi = false;
    bool lastPollIrq = false;
    bool pollIrq = false;
    bool lastPollNmi = false;
    bool spriteDmaPending = false;
    std::uint8_t spriteDmaPage = 0;
    std::uint32_t dmcStall = 0;
    // The first cycle on which the DMC's next fetch may halt the processor.
    std::uint64_t dmcHaltFrom = 0;
    // PPU time still owed, in master clock units (12 a cycle on NTSC, 16 on PAL; a dot is 4 or 5), at
    // the start of the cycle under way. Between frames it is less than a dot.
    std::int32_t ppuUnits = 0;
    // The PPU may owe this much before it must run: the dots to its next event that the processor
    // could see. 0 makes the next check run it.
    std::int32_t eventUnits = 0;
    // Where a cycle samples the NMI input, in units from its start.
    std::int32_t sampleUnits = 8;
    // The PPU ran or a register was accessed since the NMI input was last looked at.
    bool nmiCheck = true;
    std::int32_t cycleUnits = 12;
    std::int32_t dotUnits = 4;

private:
    // Whole instructions until the frame ends, or (frame false) one, with the interrupt it lets in
    // when `interrupts`.
    void Run(bool frame, bool interrupts = false);

    class Core;
    friend class Core;
};

} // namespace Halvo::Nes
