// What each component of the machine keeps between two frames, one list of fields per component,
// serving both saving and loading.

#include <algorithm>

#include "nes/Apu.h"
#include "nes/ApuSynth.h"
#include "nes/Cpu.h"
#include "nes/ExactCpu.h"
#include "nes/Joypad.h"
#include "nes/NintendoPorts.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "nes/state/StateIo.h"

namespace Halvo::Nes {

namespace {

void LengthState(StateIo& io, LengthCounter& length) {
    io(length.value, length.halt, length.enabled);
}

void EnvelopeState(StateIo& io, Envelope& envelope) {
    io(envelope.period, envelope.divider, envelope.decay, envelope.constant, envelope.loop, envelope.start);
}

void PulseState(StateIo& io, PulseChannel& pulse) {
    LengthState(io, pulse.length);
    EnvelopeState(io, pulse.envelope);
    io.Bounded(pulse.period, 0x7FFu).Bounded(pulse.duty, std::uint8_t{3});
    io.Bounded(pulse.sequence, std::uint8_t{7});
    io(pulse.sweepEnabled, pulse.sweepNegate, pulse.sweepReload, pulse.sweepPeriod, pulse.sweepShift,
       pulse.sweepDivider);
}

void TriangleState(StateIo& io, TriangleChannel& triangle) {
    LengthState(io, triangle.length);
    io.Bounded(triangle.period, 0x7FFu);
    io.Bounded(triangle.sequence, std::uint8_t{31});
    io(triangle.linear, triangle.linearReload, triangle.control, triangle.reloadLinear);
}

void NoiseState(StateIo& io, NoiseChannel& noise) {
    LengthState(io, noise.length);
    EnvelopeState(io, noise.envelope);
    io.Bounded(noise.periodIndex, std::uint8_t{15});
    io(noise.shift, noise.shortMode);
}

// A few fetches' worth: far more than a machine leaves, far less than could wrap the processor's budget.
constexpr std::uint32_t MaxStall = 16 * DmcChannel::FetchStall;
// The processor's budget and the marks in it stay within a few lines of 0 (a sprite DMA is 1536 dots);
// this bound is thousands of lines away, and keeps the sums made with them far from wrapping.
constexpr std::int32_t MaxBudget = 1 << 20;
// Some 400 years of play: the time account stays far from wrapping when multiplied or negated.
constexpr std::uint64_t MaxDots = std::uint64_t{1} << 56;

void DmcState(StateIo& io, DmcChannel& dmc) {
    io.Bounded(dmc.rateIndex, std::uint8_t{15});
    io(dmc.irqEnabled, dmc.loop, dmc.irqFlag, dmc.level, dmc.sampleAddress, dmc.sampleLength, dmc.address,
       dmc.bytesRemaining, dmc.buffer, dmc.bufferFull, dmc.shift, dmc.bitsRemaining, dmc.silence);
    // The processor takes the fetches' stall at every line start; between frames it is none.
    io.Bounded(dmc.stall, MaxStall);
}

void TileState(StateIo& io, Gfx::TileRecord& tile) {
    io(tile.x, tile.y, tile.attribute, tile.pattern);
}

} // namespace

void Cpu::State(StateIo& io) {
    io.Bounded(pc, 0xFFFFu);
    io(s, a, x, y, p.n, p.v, p.bdi, p.z, p.c);
    io.Bounded(counter, MaxBudget, -MaxBudget).Bounded(target, MaxBudget, -MaxBudget);
    io.Bounded(lineStart, MaxBudget, -MaxBudget);
    if (io.Version() >= 2) {
        io.Bounded(irqInputs, std::uint8_t{Cpu::IrqFrameCounter | Cpu::IrqDmc | Cpu::IrqBoard});
    } else {
        // Format 1 latched an IRQ raised while I was set; the sound unit never left one behind.
        bool latched = false;
        io(latched);
        irqInputs = latched ? IrqBoard : 0;
    }
    io(jammed, irqAt, stop);
}

void Ppu::State(StateIo& io) {
    io(oddFrame).Bounded(scanline, linesPerFrame - 1);
    io(validRows);
    for (std::uint32_t i = 0; i < tileRows.size(); ++i) {
        const StateIo::Scope scope(io, "tile", i);
        TileState(io, tileRows[i]);
    }
    io.Bounded(oamScan, OamSize).Bounded(spriteCount, std::uint32_t{8});
    // -1 (no sprite 0 on the line) is stored as all ones and bounded as unsigned.
    auto slot = static_cast<std::uint32_t>(spriteZeroSlot + 1);
    auto column = static_cast<std::uint32_t>(spriteZeroColumn);
    io.Bounded(slot, std::uint32_t{8}).Bounded(column, std::uint32_t{32});
    spriteZeroSlot = static_cast<std::int32_t>(slot) - 1;
    spriteZeroColumn = static_cast<std::int32_t>(column);
    for (std::uint32_t i = 0; i < sprites.size(); ++i) {
        const StateIo::Scope scope(io, "sprite", i);
        TileState(io, sprites[i]);
    }
    io(control, mask, status, oamAddress, latch, readBuffer, writeToggle, vramAddress, tempAddress);
    io.Bounded(fineX, 7u);
    io(addressIncrement, spritePatternBase).Bounded(bgPatternBase, 0x1000u);
    io(spriteHeight, spriteZeroPending, spriteZeroTime);
    io.Array(palette).Array(oam);
    // Between frames no steps wait; a state is only ever taken there.
    io.Bounded(pending, PendingSteps::None);
    io(pendingTarget, pendingNext);
    if (exact) {
        const StateIo::Scope scope(io, "exact", 0);
        ExactState(io);
    }
    auto drawnColumn = static_cast<std::uint32_t>(lineColumn);
    io.Bounded(drawnColumn, std::uint32_t{32});
    lineColumn = static_cast<std::int32_t>(drawnColumn);
    if (io.Loading()) {
        spriteLinesStale = true;
        lineDrawer = nullptr;
        renderer = nullptr;
    }
}

void ApuSynth::State(StateIo& io) {
    io(pulseSteps[0], pulseSteps[1], tndSteps[0], tndSteps[1], pulseSum, tndSum);
    io.Bounded(phase, CyclesPerSample - 1);
    io(lastIn, lastMid, hp1State, hp2State, lpState);
    // Format 1 had no cartridge sound.
    if (io.Version() >= 2) {
        io(expansionSteps[0], expansionSteps[1], expansionSum);
    }
    if (io.Loading()) {
        settling = false;
        std::fill(pulseSteps.begin() + 2, pulseSteps.end(), 0);
        std::fill(tndSteps.begin() + 2, tndSteps.end(), 0);
        std::fill(expansionSteps.begin() + 2, expansionSteps.end(), 0);
    }
}

void Apu::State(StateIo& io) {
    io(cycle);
    {
        const StateIo::Scope scope(io, "pulse", 1);
        PulseState(io, pulse1);
    }
    {
        const StateIo::Scope scope(io, "pulse", 2);
        PulseState(io, pulse2);
    }
    {
        const StateIo::Scope scope(io, "triangle");
        TriangleState(io, triangle);
    }
    {
        const StateIo::Scope scope(io, "noise");
        NoiseState(io, noise);
    }
    {
        const StateIo::Scope scope(io, "dmc");
        DmcState(io, dmc);
    }
    io(fiveStep, irqInhibit, frameIrq, lastFrameWrite).Bounded(frameStep, fiveStep ? 4u : 5u);
    io(sequenceStart, restartAt, restartFiveStep);
    const bool making = synthesis;
    io(synthesis);
    {
        const StateIo::Scope scope(io, "synth");
        synth.State(io);
    }
    io(synthStart, pulse1Next, pulse2Next, triangleNext, noiseNext, dmcNext);
    // The channels' output levels: 4 bits each, 7 for the DMC (the synthesiser's steps are their changes).
    io.Bounded(pulse1Level, 15).Bounded(pulse2Level, 15).Bounded(triangleLevel, 15).Bounded(noiseLevel, 15);
    io.Bounded(dmcLevel, 127);
    if (!io.Loading()) {
        return;
    }
    // Every time the unit keeps lies within a frame or so of its own clock; a state that said otherwise
    // would have it stepping for hours to catch up (or the synthesiser writing past its bins).
    const auto within = [this](std::uint64_t at, std::int64_t before, std::int64_t after) {
        const auto offset = static_cast<std::int64_t>(at - cycle);
        return offset >= -before && offset <= after;
    };
    constexpr std::int64_t Span = ApuSynth::MaxCycles / 2;
    // The frame counter's sequence began at most one sequence ago: PAL's five steps are the longest.
    constexpr std::int64_t LongestSequence = 41566;
    bool fits = within(sequenceStart, LongestSequence, 16) &&
                (restartAt == Never || within(restartAt, 0, 8)) && within(dmcNext, 0, Span);
    if (synthesis) {
        fits = fits && within(synthStart, Span, 0) && within(pulse1Next, 0, Span) &&
               within(pulse2Next, 0, Span) && within(triangleNext, 0, Span) && within(noiseNext, 0, Span);
    }
    if (!fits) {
        io.Fail();
    }
    samples.clear();
    if (synthesis != making) {
        // A machine that makes no sound stays silent; one that does starts from the loaded levels.
        SetSynthesis(making);
    }
}

void Joypad::State(StateIo& io) {
    io(strobe, shift);
}

void NintendoPorts::State(StateIo& io) {
    io(readCount4016, readCount4017, strobe);
    for (const Ref::Ptr<ExtDevice>& device : devices) {
        io.Block([&](StateIo& block) {
            if (device) {
                device->State(block);
            }
        });
    }
}

void Mmc::StateRegisters(StateIo&) {}

Mmc::OwnMemory Mmc::StateMemory(std::uint32_t) {
    return {};
}

void Mmc::State(StateIo& io) {
    if (wram) {
        const StateIo::Scope scope(io, "wram");
        io.Bytes(wram.get(), wramSize);
    }
    if (chrRam) {
        const StateIo::Scope scope(io, "chrram");
        io.Bytes(chrRam.get(), chrRamSize);
    }
    {
        const StateIo::Scope scope(io, "ntram");
        io.Bytes(nameTableRam.get(), NameTableRamSize);
    }
    io.Bounded(mirroring, std::uint32_t{MirrorNotSet});
    const StateIo::Scope scope(io, "board");
    StateRegisters(io);
}

void Process::State(StateIo& io) {
    io.Array(ram);
    io.Bounded(dotBudget, MaxDots);
    io(apuDue, boardIrqCycle);
    // A state belongs to the timing model that wrote it (states without the field are the line
    // model's); the other model's machine is not the same machine.
    if (io.Version() < 2) {
        // Halvo 0.2.0 had the line model only.
        if (exactCpu && io.Loading()) {
            otherTimingState = true;
            io.Fail();
        }
        return;
    }
    const std::uint8_t mine = exactCpu ? 1 : 0;
    std::uint8_t timing = mine;
    io(timing, openBus);
    if (io.Loading() && timing != mine) {
        otherTimingState = true;
        io.Fail();
    }
    if (exactCpu) {
        const StateIo::Scope scope(io, "exact", 0);
        exactCpu->ExactState(io);
    }
}

void ExactCpu::ExactState(StateIo& io) {
    io(cycles, dataBus, nmiLine, nmiPending, pollNmi, pollIrq, lastPollNmi, lastPollIrq);
    io(spriteDmaPending, spriteDmaPage).Bounded(dmcStall, 16u);
    io.Bounded(ppuUnits, 7 * 16).Bounded(cycleUnits, 16, 12).Bounded(dotUnits, 5, 4);
    // States from before the fetch's halt was timed let it halt at once.
    if (io.Loading()) {
        dmcHaltFrom = 0;
    }
    io(dmcHaltFrom);
}

} // namespace Halvo::Nes
