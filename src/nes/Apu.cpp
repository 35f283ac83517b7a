#include "nes/Apu.h"

#include <algorithm>

namespace Halvo::Nes {

namespace {

// The runs of the sound that are kept between two flushes: the synthesiser takes at most a little
// over 65,000 cycles at once.
constexpr std::uint64_t FlushCycles = 32768;
// Samples kept for a listener that does not take them (two seconds): beyond that they are dropped.
constexpr std::size_t MaxPendingSamples = 1u << 19;

constexpr double NtscClock = 1789773.0;
// The machine runs its processor at 3 dots a cycle on PAL too, so a PAL frame holds 35,464 cycles, and
// at 50.007 frames a second the sound unit is clocked at this rate (a real PAL console: 1,662,607 Hz).
constexpr double PalClock = 35464 * 50.007;

// Steps a tone generator's timer up to and including cycle `to`, reporting each change of its level.
// While the generator cannot be heard its steps are counted in one go: only the sound depends on them.
template <class Channel, class Report>
void RunTone(Channel& channel, std::uint64_t& next, std::uint64_t to, std::int32_t& level, Report report) {
    if (next > to) {
        return;
    }
    const std::uint64_t period = channel.StepCycles();
    if (!channel.Audible()) {
        const std::uint64_t steps = (to - next) / period + 1;
        channel.Skip(steps);
        next += steps * period;
        return;
    }
    for (; next <= to; next += period) {
        channel.Step();
        const std::int32_t now = channel.Output();
        if (now != level) {
            report(next, now - level);
            level = now;
        }
    }
}

} // namespace

// Positions of the frame counter's steps in processor cycles after the sequence starts. The four-step
// sequence sets its interrupt flag on three cycles in a row around its last step.
const Apu::FrameStep Apu::NtscFourStep[6] = {
    {7457, Quarter}, {14913, Quarter | Half},          {22371, Quarter},
    {29828, SetIrq}, {29829, Quarter | Half | SetIrq}, {29830, SetIrq | Restart}};
const Apu::FrameStep Apu::NtscFiveStep[5] = {
    {7457, Quarter}, {14913, Quarter | Half}, {22371, Quarter}, {37281, Quarter | Half}, {37282, Restart}};
const Apu::FrameStep Apu::PalFourStep[6] = {
    {8313, Quarter}, {16627, Quarter | Half},          {24939, Quarter},
    {33252, SetIrq}, {33253, Quarter | Half | SetIrq}, {33254, SetIrq | Restart}};
const Apu::FrameStep Apu::PalFiveStep[5] = {
    {8313, Quarter}, {16627, Quarter | Half}, {24939, Quarter}, {41565, Quarter | Half}, {41566, Restart}};

Apu::Apu(Process* process) : dmc(process) {
    samples.reserve(MaxPendingSamples);
}

void Apu::Reset(bool hard, std::uint64_t now, std::uint64_t lead) {
    cycle = now;
    if (hard) {
        pulse1 = PulseChannel(true);
        pulse2 = PulseChannel(false);
        triangle = TriangleChannel();
        noise = NoiseChannel();
        dmc = DmcChannel(dmc.process);
        lastFrameWrite = 0;
        SetRegion(region);
    }
    // As a write of $00 to $4015.
    pulse1.length.SetEnabled(false);
    pulse2.length.SetEnabled(false);
    triangle.length.SetEnabled(false);
    noise.length.SetEnabled(false);
    dmc.Reset();
    dmc.TakeStall();

    frameIrq = false;
    irqInhibit = (lastFrameWrite & 0x40) != 0;
    restartFiveStep = (lastFrameWrite & 0x80) != 0;
    // Cycle counts wrap: a sequence that began before cycle 0 (at power-up) counts from below it.
    RestartSequence(now - lead);

    synth.Clear();
    synthStart = now;
    pulse1Level = pulse2Level = triangleLevel = noiseLevel = dmcLevel = 0;
    pulse1Next = pulse2Next = triangleNext = noiseNext = now;
    dmcNext = now + dmc.StepCycles();
    // The levels the channels hold (the triangle's step) open the sound, which settles on them.
    UpdateLevels(now);
    samples.clear();
    for (ExpansionSound* chip : Expansions()) {
        chip->Restart(now);
    }
}

void Apu::AttachExpansion(ExpansionSound* chip) {
    if (!chip) {
        for (ExpansionSound* attached : Expansions()) {
            attached->Attach(nullptr);
        }
        expansionCount = 0;
        return;
    }
    // A board attaches its chips at every reset: once attached, a chip stays.
    const auto attached = Expansions();
    if (std::find(attached.begin(), attached.end(), chip) != attached.end() ||
        expansionCount == expansions.size()) {
        return;
    }
    expansions[expansionCount++] = chip;
    {
        chip->Attach(this);
        chip->SetVolume(chipVolumes[static_cast<std::size_t>(chip->kind)]);
        chip->SetAveraged(chipAveraged);
    }
}

void Apu::SetChipAveraged(bool on) {
    if (on != chipAveraged) {
        for (ExpansionSound* chip : Expansions()) {
            chip->SetAveraged(on);
        }
    }
    chipAveraged = on;
}

void Apu::SetChipVolume(SoundChip chip, std::uint32_t percent) {
    chipVolumes[static_cast<std::size_t>(chip)] = percent;
    for (ExpansionSound* attached : Expansions()) {
        if (attached->kind == chip) {
            attached->SetVolume(percent);
        }
    }
}

void Apu::SetChannelVolume(ApuSynth::Channel channel, std::uint32_t percent) {
    const std::int32_t levels[ApuSynth::ChannelCount] = {pulse1Level, pulse2Level, triangleLevel, noiseLevel,
                                                         dmcLevel};
    synth.SetVolume(channel, percent, SynthTime(cycle), synthesis ? levels[channel] : 0);
}

void Apu::SetPal(bool palTiming) {
    SetRegion(palTiming ? Region::Pal : Region::Ntsc);
}

void Apu::SetRegion(Region console) {
    region = console;
    pal = region == Region::Pal;
    noise.periods = pal ? NoiseChannel::PalPeriods : NoiseChannel::NtscPeriods;
    dmc.periods = pal ? DmcChannel::PalPeriods : DmcChannel::NtscPeriods;
    synth.SetClockRate(region == Region::Ntsc ? NtscClock : PalClock);
}

const Apu::FrameStep* Apu::Sequence() const {
    if (pal) {
        return fiveStep ? PalFiveStep : PalFourStep;
    }
    return fiveStep ? NtscFiveStep : NtscFourStep;
}

std::uint64_t Apu::NextFrameEvent() const {
    const std::uint64_t step = sequenceStart + Sequence()[frameStep].cycle;
    return step < restartAt ? step : restartAt;
}

void Apu::RunTo(std::uint64_t now) {
    if (now <= cycle) {
        return;
    }
    while (true) {
        const std::uint64_t event = NextFrameEvent();
        const std::uint64_t until =
            synthesis && synthStart + FlushCycles < now ? synthStart + FlushCycles : now;
        if (event <= until) {
            RunChannels(event);
            cycle = event;
            FrameEvent(event);
            continue;
        }
        RunChannels(until);
        cycle = until;
        for (ExpansionSound* chip : Expansions()) {
            chip->RunTo(until);
        }
        if (until == now) {
            return;
        }
        FlushSamples();
    }
}

void Apu::FrameEvent(std::uint64_t at) {
    const FrameStep& step = Sequence()[frameStep];
    if (sequenceStart + step.cycle > restartAt) {
        RestartSequence(at);
    } else {
        if (step.actions & Quarter) {
            ClockQuarter();
        }
        if (step.actions & Half) {
            ClockHalf();
        }
        if ((step.actions & SetIrq) && !irqInhibit) {
            frameIrq = true;
        }
        if (step.actions & Restart) {
            sequenceStart += step.cycle;
            frameStep = 0;
        } else {
            ++frameStep;
        }
    }
    UpdateLevels(at);
}

void Apu::RestartSequence(std::uint64_t at) {
    fiveStep = restartFiveStep;
    sequenceStart = at;
    frameStep = 0;
    restartAt = Never;
    // The five-step sequence clocks its units at once when it starts.
    if (fiveStep) {
        ClockQuarter();
        ClockHalf();
    }
}

void Apu::ClockQuarter() {
    pulse1.QuarterFrame();
    pulse2.QuarterFrame();
    triangle.QuarterFrame();
    noise.QuarterFrame();
}

void Apu::ClockHalf() {
    pulse1.HalfFrame();
    pulse2.HalfFrame();
    triangle.HalfFrame();
    noise.HalfFrame();
}

void Apu::WriteFrameCounter(std::uint8_t value, std::uint64_t now) {
    lastFrameWrite = value;
    irqInhibit = (value & 0x40) != 0;
    if (irqInhibit) {
        frameIrq = false;
    }
    restartFiveStep = (value & 0x80) != 0;
    // The sequence restarts at the second APU cycle edge after the write.
    restartAt = now + ((now & 1) ? 4 : 3);
}

std::uint8_t Apu::ReadStatus(std::uint64_t now) {
    RunTo(now);
    std::uint8_t status = 0;
    status |= pulse1.length.value > 0 ? 0x01 : 0;
    status |= pulse2.length.value > 0 ? 0x02 : 0;
    status |= triangle.length.value > 0 ? 0x04 : 0;
    status |= noise.length.value > 0 ? 0x08 : 0;
    status |= dmc.bytesRemaining > 0 ? 0x10 : 0;
    status |= frameIrq ? 0x40 : 0;
    status |= dmc.irqFlag ? 0x80 : 0;
    frameIrq = false;
    return status;
}

void Apu::WriteRegister(std::uint32_t address, std::uint8_t value, std::uint64_t now) {
    RunTo(now);
    if (address < 0x4004) {
        pulse1.Write(address, value);
    } else if (address < 0x4008) {
        pulse2.Write(address, value);
    } else if (address < 0x400C) {
        triangle.Write(address, value);
    } else if (address < 0x4010) {
        noise.Write(address, value);
    } else if (address < 0x4014) {
        dmc.Write(address, value);
    } else if (address == 0x4015) {
        pulse1.length.SetEnabled(value & 0x01);
        pulse2.length.SetEnabled(value & 0x02);
        triangle.length.SetEnabled(value & 0x04);
        noise.length.SetEnabled(value & 0x08);
        dmc.SetEnabled(value & 0x10);
    } else if (address == 0x4017) {
        WriteFrameCounter(value, now);
    }
    UpdateLevels(now);
}

std::uint64_t Apu::NextIrqCycle() const {
    if (Irq()) {
        return cycle;
    }
    std::uint64_t next = restartAt;
    if (!irqInhibit && !fiveStep) {
        for (std::uint32_t step = frameStep; step < 6; ++step) {
            if (Sequence()[step].actions & SetIrq) {
                const std::uint64_t at = sequenceStart + Sequence()[step].cycle;
                next = at < next ? at : next;
                break;
            }
        }
    }
    if (dmc.irqEnabled) {
        if (const std::uint32_t steps = dmc.StepsToEnd()) {
            const std::uint64_t at = dmcNext + std::uint64_t{steps - 1} * dmc.StepCycles();
            next = at < next ? at : next;
        }
    }
    return next;
}

std::uint64_t Apu::NextEventCycle() const {
    std::uint64_t next = restartAt;
    // A flag already raised needs no visit until a register access clears it.
    if (!frameIrq && !irqInhibit && !fiveStep) {
        for (std::uint32_t step = frameStep; step < 6; ++step) {
            if (Sequence()[step].actions & SetIrq) {
                next = std::min(next, sequenceStart + Sequence()[step].cycle);
                break;
            }
        }
    }
    if (dmc.bytesRemaining > 0) {
        // The buffer is refilled when the output unit takes it, at the step that empties the shifter.
        const std::uint64_t fetch =
            dmc.bufferFull ? dmcNext + std::uint64_t{dmc.bitsRemaining - 1u} * dmc.StepCycles() : cycle;
        next = std::min(next, fetch);
    }
    if (!dmc.irqFlag && dmc.irqEnabled) {
        if (const std::uint32_t steps = dmc.StepsToEnd()) {
            next = std::min(next, dmcNext + std::uint64_t{steps - 1} * dmc.StepCycles());
        }
    }
    return next;
}

void Apu::RunChannels(std::uint64_t to) {
    while (dmcNext <= to) {
        if (dmc.Step() && synthesis) {
            synth.AddLevel(ApuSynth::Dmc, SynthTime(dmcNext), dmc.level - dmcLevel);
            dmcLevel = dmc.level;
        }
        dmcNext += dmc.StepCycles();
    }
    if (!synthesis) {
        return;
    }
    const auto to_ = [&](ApuSynth::Channel channel) {
        return [this, channel](std::uint64_t at, std::int32_t delta) {
            synth.AddLevel(channel, SynthTime(at), delta);
        };
    };
    RunTone(pulse1, pulse1Next, to, pulse1Level, to_(ApuSynth::Pulse1));
    RunTone(pulse2, pulse2Next, to, pulse2Level, to_(ApuSynth::Pulse2));
    RunTone(triangle, triangleNext, to, triangleLevel, to_(ApuSynth::Triangle));
    RunTone(noise, noiseNext, to, noiseLevel, to_(ApuSynth::Noise));
}

void Apu::UpdateLevels(std::uint64_t at) {
    if (!synthesis) {
        return;
    }
    const std::uint32_t time = SynthTime(at);
    auto report = [&](std::int32_t now, std::int32_t& level, ApuSynth::Channel channel) {
        if (now != level) {
            synth.AddLevel(channel, time, now - level);
            level = now;
        }
    };
    report(pulse1.Output(), pulse1Level, ApuSynth::Pulse1);
    report(pulse2.Output(), pulse2Level, ApuSynth::Pulse2);
    report(triangle.Output(), triangleLevel, ApuSynth::Triangle);
    report(noise.Output(), noiseLevel, ApuSynth::Noise);
    report(dmc.level, dmcLevel, ApuSynth::Dmc);
}

void Apu::SetSynthesis(bool on) {
    if (on == synthesis) {
        return;
    }
    for (ExpansionSound* chip : Expansions()) {
        chip->RunTo(cycle);
    }
    synthesis = on;
    if (on) {
        synth.Clear();
        synthStart = cycle;
        pulse1Level = pulse2Level = triangleLevel = noiseLevel = dmcLevel = 0;
        pulse1Next = cycle + pulse1.StepCycles();
        pulse2Next = cycle + pulse2.StepCycles();
        triangleNext = cycle + triangle.StepCycles();
        noiseNext = cycle + noise.StepCycles();
        UpdateLevels(cycle);
        for (ExpansionSound* chip : Expansions()) {
            chip->Restart(cycle);
        }
    }
}

void Apu::FlushSamples() {
    if (!synthesis) {
        return;
    }
    for (ExpansionSound* chip : Expansions()) {
        chip->RunTo(cycle);
    }
    if (samples.size() > MaxPendingSamples - 8192) {
        samples.clear();
    }
    synth.EndFrame(static_cast<std::uint32_t>(cycle - synthStart), samples);
    synthStart = cycle;
}

} // namespace Halvo::Nes
