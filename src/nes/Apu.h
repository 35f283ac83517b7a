#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "nes/ApuChannels.h"
#include "nes/ApuDmc.h"
#include "nes/ApuSynth.h"
#include "nes/ExpansionSound.h"
#include "nes/Region.h"
#include "ref/Object.h"

namespace Halvo::Nes {

class Process;
class StateIo;

// The audio processing unit: two pulse channels, the triangle, the noise channel and the DMC at
// $4000-$4013, the status and enable register $4015 and the frame counter at $4017.
//
// It keeps its own clock in processor cycles and runs lazily: the machine brings it up to date only
// when the processor touches one of its registers, when one of its interrupts is due and at the end of
// each frame. Between those points nothing calls it. What the processor can observe (the length
// counters, the frame counter and its interrupt, the DMC's fetches and interrupt) always runs; the
// tone generators' timers run only while `synthesis` is on, since only the sound depends on them.
class Apu : public Ref::Object {
public:
    static constexpr std::uint64_t Never = ~std::uint64_t{0};

    explicit Apu(Process* process);

    // Power-up (hard) or the reset button (soft) at processor cycle `now`. Power-up acts as a write of
    // $00 to $4017 shortly before the processor starts; the reset button writes the last $4017 value
    // again. Both silence every channel as a write of $00 to $4015 does and clear the frame interrupt.
    // `lead`: how many cycles before `now` that write lands; the exact timing model, whose reads of
    // $4015 come on their own cycle rather than at the start of their instruction, measures it 4
    // cycles later (apu_reset "4017_timing" prints 9 for both).
    void Reset(bool hard, std::uint64_t now, std::uint64_t lead = 9);
    // The frame counter's step positions, the noise and DMC periods and the output clock of a PAL
    // console, or of an NTSC one.
    void SetPal(bool pal);
    // The same for a region: the Dendy keeps NTSC's step positions and periods, and clocks its
    // processor (at 3 dots a cycle, as NTSC) so that its frames come at PAL's rate.
    void SetRegion(Region region);

    // Saves or loads every unit, the synthesiser included. Loading keeps the present choice of
    // whether sound is made.
    void State(StateIo& io);

    // Runs every unit up to and including cycle `now`.
    void RunTo(std::uint64_t now);

    // $4015 read: length counters running (bits 0-3), DMC bytes remaining (4), the frame interrupt (6,
    // cleared by the read) and the DMC interrupt (7).
    std::uint8_t ReadStatus(std::uint64_t now);
    // Writes to $4000-$4013, $4015 and $4017 at cycle `now`.
    void WriteRegister(std::uint32_t address, std::uint8_t value, std::uint64_t now);

    // The interrupt line: the frame interrupt or the DMC interrupt.
    bool Irq() const { return frameIrq || dmc.irqFlag; }
    // The earliest cycle at which the interrupt line may rise without a register access, or Never.
    std::uint64_t NextIrqCycle() const;
    // The earliest cycle at which the interrupt line may rise or the DMC fetches its next byte, or
    // Never: the exact timing model brings the unit up to date then.
    std::uint64_t NextEventCycle() const;
    // Cycles the DMC's fetches took from the processor since the last call.
    std::uint32_t TakeStall() { return dmc.TakeStall(); }

    // Whether the tone generators run and sound is made. Turning it on starts the sound from silence.
    void SetSynthesis(bool on);
    bool Synthesis() const { return synthesis; }
    // Makes the samples of everything run so far; they wait in `samples` (at SampleRate()) until the
    // listener takes them.
    void FlushSamples();
    double SampleRate() const { return synth.SampleRate(); }
    std::vector<float> samples;

    // The output stage after the mixer.
    void SetFilter(ApuSynth::Filter filter) { synth.SetFilter(filter); }
    // The volume (0-100) of one of the console's channels, or of a cartridge chip's whole output.
    void SetChannelVolume(ApuSynth::Channel channel, std::uint32_t percent);
    void SetChipVolume(SoundChip chip, std::uint32_t percent);
    // For a chip whose channels take turns at its DAC (the Namco 163): their mean instead.
    void SetChipAveraged(bool on);

    // A sound chip of the board, run and mixed with the channels from now on (null: lets go of all of
    // them). A chip must outlive the machine's sound or be let go of first.
    void AttachExpansion(ExpansionSound* chip);
    // A change of the chip's output at cycle `at` (not before the last flush), in the mix's fixed point;
    // false while no sound is made.
    bool AddExpansion(std::uint64_t at, std::int32_t delta) {
        // A time outside the open bins would write past them; the chip then reports it again later.
        if (!synthesis || at < synthStart ||
            at - synthStart >= ApuSynth::MaxCycles - 2 * ApuSynth::CyclesPerSample) {
            return false;
        }
        synth.AddExpansion(SynthTime(at), delta);
        return true;
    }

    std::uint64_t cycle = 0;
    PulseChannel pulse1{true};
    PulseChannel pulse2{false};
    TriangleChannel triangle;
    NoiseChannel noise;
    DmcChannel dmc;

    // The frame counter.
    bool fiveStep = false;
    bool irqInhibit = false;
    bool frameIrq = false;
    std::uint8_t lastFrameWrite = 0;
    std::uint32_t frameStep = 0;
    std::uint64_t sequenceStart = 0;
    // A $4017 write restarts the sequence 3 or 4 cycles later, on the next whole APU cycle.
    std::uint64_t restartAt = Never;
    bool restartFiveStep = false;

private:
    enum StepAction : std::uint8_t { Quarter = 1, Half = 2, SetIrq = 4, Restart = 8 };
    struct FrameStep {
        std::uint32_t cycle;
        std::uint8_t actions;
    };
    static const FrameStep NtscFourStep[6];
    static const FrameStep NtscFiveStep[5];
    static const FrameStep PalFourStep[6];
    static const FrameStep PalFiveStep[5];

    const FrameStep* Sequence() const;
    std::uint64_t NextFrameEvent() const;
    void FrameEvent(std::uint64_t at);
    void WriteFrameCounter(std::uint8_t value, std::uint64_t now);
    void RestartSequence(std::uint64_t at);
    void RunChannels(std::uint64_t to);
    void ClockQuarter();
    void ClockHalf();
    // Reports the channels' present levels to the synthesiser, stamped with cycle `at`.
    void UpdateLevels(std::uint64_t at);
    std::uint32_t SynthTime(std::uint64_t at) const { return static_cast<std::uint32_t>(at - synthStart); }

    bool pal = false;
    Region region = Region::Ntsc;
    bool synthesis = false;
    ApuSynth synth;
    // The cartridge's sound chips: one on a game's board, any of the six for a music file.
    std::array<ExpansionSound*, static_cast<std::size_t>(SoundChip::Count)> expansions{};
    std::size_t expansionCount = 0;
    std::span<ExpansionSound* const> Expansions() const { return {expansions.data(), expansionCount}; }
    bool chipAveraged = false;
    std::uint32_t chipVolumes[static_cast<std::size_t>(SoundChip::Count)] = {100, 100, 100, 100, 100, 100};
    std::uint64_t synthStart = 0;
    // Next timer step of each tone generator, and the level each last reported.
    std::uint64_t pulse1Next = 0, pulse2Next = 0, triangleNext = 0, noiseNext = 0, dmcNext = 0;
    std::int32_t pulse1Level = 0, pulse2Level = 0, triangleLevel = 0, noiseLevel = 0, dmcLevel = 0;
};

} // namespace Halvo::Nes
