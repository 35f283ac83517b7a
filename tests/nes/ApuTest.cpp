#include "nes/Apu.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "nes/Process.h"
#include "nes/mmc/Boards.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImage.h"
#include "support/Machine.h"

namespace Halvo {
namespace {

using Nes::Apu;

// An APU on a bare machine whose $C000-$FFFF reads come from `rom`, for the DMC's fetches.
class ApuUnit : public ::testing::Test {
protected:
    ApuUnit() : process(&image), apu(Ref::New<Apu>(&process)) {
        for (std::uint32_t page = 0; page < 8; ++page) {
            process.MapCpuPage(24 + page, rom.data() + page * Nes::Process::PageSize, nullptr);
        }
        apu->Reset(true, now);
    }

    void Write(std::uint32_t address, std::uint8_t value) { apu->WriteRegister(address, value, now); }
    std::uint8_t Status() { return apu->ReadStatus(now); }
    // Pulse 1 set to count clocks: each quarter frame lowers its envelope by one (from 15 after the
    // first), each half frame its length counter by one (from 254).
    void CountClocks() {
        Write(0x4015, 0x01);
        Write(0x4000, 0x00);
        Write(0x4003, 0x08);
    }
    int Quarters() const { return apu->pulse1.envelope.start ? 0 : 16 - apu->pulse1.envelope.decay; }
    int Halves() const { return 254 - apu->pulse1.length.value; }

    Nes::RomImage image;
    Nes::Process process;
    std::array<std::uint8_t, 0x4000> rom{};
    std::uint64_t now = 100;
    Ref::Ptr<Apu> apu;
};

// Envelope: decays by one every period + 1 quarter frames from 15 and stops at 0, or loops to 15.
TEST_F(ApuUnit, EnvelopeDecayAndLoop) {
    for (const bool loop : {false, true}) {
        Nes::Envelope envelope;
        envelope.Write(loop ? 0x21 : 0x01); // period 1: each level lasts two clocks
        envelope.start = true;
        std::vector<int> volumes;
        for (int clock = 0; clock < 34; ++clock, envelope.Clock()) {
            volumes.push_back(envelope.Volume());
        }
        EXPECT_EQ((std::vector<int>{volumes[1], volumes[3], volumes[31], volumes[33]}),
                  (std::vector<int>{15, 14, 0, loop ? 15 : 0}));
    }
    Nes::Envelope constant;
    constant.Write(0x17);
    EXPECT_EQ(constant.Volume(), 7);
}

// Sweep: the target adds or subtracts period >> shift (the first pulse subtracts one more); a period
// under 8 or a target over $7FF silences the channel even when the sweep is off.
TEST_F(ApuUnit, SweepTargetsAndMuting) {
    struct Case {
        bool first;
        std::uint8_t sweep;
        std::uint32_t period, target;
        bool muted;
    };
    const Case cases[] = {
        {true, 0x81, 0x100, 0x180, false}, {true, 0x89, 0x100, 0x7F, false},
        {false, 0x89, 0x100, 0x80, false}, {false, 0x01, 0x600, 0x900, true},
        {false, 0x00, 0x400, 0x800, true}, {false, 0x00, 0x3FF, 0x7FE, false},
        {true, 0x00, 7, 14, true},         {true, 0x8F, 0x008, 0x007, false},
    };
    for (const Case& c : cases) {
        Nes::PulseChannel pulse(c.first);
        pulse.Write(1, c.sweep);
        pulse.period = c.period;
        EXPECT_EQ(pulse.SweepTarget(), c.target) << std::hex << c.period;
        EXPECT_EQ(pulse.Muted(), c.muted) << std::hex << c.period;
    }
    // An enabled sweep moves the period at a half frame when its divider is at zero.
    Nes::PulseChannel pulse(false);
    pulse.Write(1, 0x81);
    pulse.period = 0x100;
    pulse.HalfFrame();
    EXPECT_EQ(pulse.period, 0x180u);
}

// Triangle: the linear counter reloads while the reload flag is up, which the control bit keeps up;
// the channel steps only while both counters are non-zero and the period is 2 or more.
TEST_F(ApuUnit, TriangleLinearCounter) {
    Nes::TriangleChannel triangle;
    triangle.length.SetEnabled(true);
    triangle.Write(0, 0x03);
    triangle.Write(3, 0x08);
    triangle.Write(2, 0x10);
    triangle.QuarterFrame();
    EXPECT_EQ(triangle.linear, 3);
    triangle.QuarterFrame();
    triangle.QuarterFrame();
    EXPECT_EQ(triangle.linear, 1);
    EXPECT_TRUE(triangle.Stepping());
    triangle.QuarterFrame();
    EXPECT_FALSE(triangle.Stepping());
    triangle.Write(0, 0x83);
    triangle.Write(3, 0x08);
    for (int clock = 0; clock < 5; ++clock) {
        triangle.QuarterFrame();
    }
    EXPECT_EQ(triangle.linear, 3);
    triangle.Write(2, 0x01);
    triangle.Write(3, 0x00);
    EXPECT_FALSE(triangle.Stepping());
}

// Noise: the long mode repeats after 32767 steps, the short mode after 93 (or 31 from some states).
TEST_F(ApuUnit, NoiseSequenceLengths) {
    for (const auto& [mode, length] : {std::pair{0x00, 32767}, std::pair{0x80, 93}}) {
        Nes::NoiseChannel noise;
        noise.Write(2, static_cast<std::uint8_t>(mode));
        const std::uint16_t first = noise.shift;
        int steps = 0;
        do {
            noise.Step();
            ++steps;
        } while (noise.shift != first && steps < 40000);
        EXPECT_EQ(steps, length);
    }
}

// The mixer at known points: silence, full pulses, full triangle/noise/DMC.
TEST_F(ApuUnit, MixerValues) {
    EXPECT_DOUBLE_EQ(Nes::ApuSynth::Mix(0, 0, 0, 0, 0), 0.0);
    EXPECT_NEAR(Nes::ApuSynth::Mix(15, 15, 0, 0, 0), 0.2585, 1e-4);
    EXPECT_NEAR(Nes::ApuSynth::Mix(15, 0, 0, 0, 0), 0.1494, 1e-4);
    EXPECT_NEAR(Nes::ApuSynth::Mix(0, 0, 15, 15, 127), 0.7415, 1e-4);
}

// Sound that starts (at power-up, at the reset button, when it is turned back on) starts from
// silence, though the channels hold levels when stopped: the triangle the step it stopped on, 15
// after power-up.
TEST_F(ApuUnit, SoundStartsWithoutAClick) {
    const auto peak = [&](double seconds) {
        now += static_cast<std::uint64_t>(seconds * 1789773);
        apu->RunTo(now);
        apu->FlushSamples();
        float high = 0;
        for (const float sample : apu->samples) {
            high = std::max(high, std::abs(sample));
        }
        apu->samples.clear();
        return high;
    };
    apu->SetSynthesis(true);
    EXPECT_LT(peak(0.1), 1e-4f) << "power-up";
    apu->Reset(true, now);
    EXPECT_LT(peak(0.1), 1e-4f) << "reset";
    // A triangle tone, stopped part-way up its sequence by its length counter.
    Write(0x4015, 0x04);
    Write(0x4008, 0x7F);
    Write(0x400A, 0x37);
    Write(0x400B, 0x00);
    EXPECT_GT(peak(0.2), 0.05f);
    EXPECT_NE(apu->triangle.Output(), 0);
    apu->SetSynthesis(false);
    apu->SetSynthesis(true);
    EXPECT_LT(peak(0.1), 1e-4f) << "sound turned back on";
}

// A whole machine running a program that enables the sound unit's interrupts.
class ApuInMachine : public ::testing::Test {
protected:
    ApuInMachine() : boards(Nes::MmcManager::Instance()), image(TestSupport::MakeImage(2, 1)) {
        Nes::RegisterBoards(*boards);
        std::memset(image->prgRom.get(), 0xEA, 0x8000);     // NOP
        Code(0xFFFA, {0x10, 0x90, 0x00, 0x80, 0x00, 0x90}); // NMI $9010, reset $8000, IRQ $9000
        Code(0x9000, {0xE6, 0x10, 0xAD, 0x15, 0x40, 0x40}); // IRQ: INC $10, LDA $4015, RTI
        Code(0x9010, {0x40});                               // NMI: RTI
    }

    void Code(std::uint16_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), image->prgRom.get() + (at - 0x8000));
    }
    Ref::Ptr<Nes::Process> Run(std::uint32_t frames) {
        Ref::Ptr<Nes::Process> process = Nes::Process::Create("Static", image.get());
        process->Reset(true);
        for (std::uint32_t frame = 0; frame < frames; ++frame) {
            process->RunFrame(false);
        }
        return process;
    }

    Ref::Ptr<Nes::MmcManager> boards;
    std::unique_ptr<Nes::RomImage> image;
};

// The frame interrupt reaches the processor once per sequence while I is clear, and not at all
// while it is set.
TEST_F(ApuInMachine, FrameInterruptReachesTheProcessor) {
    // LDA #$00, STA $4017, CLI, JMP *
    Code(0x8000, {0xA9, 0x00, 0x8D, 0x17, 0x40, 0x58, 0x4C, 0x06, 0x80});
    const int frames = 60;
    EXPECT_NEAR(Run(frames)->Ram()[0x10], frames * 29780.5 / 29830, 1.0);
    Code(0x8005, {0x78}); // SEI
    EXPECT_EQ(Run(frames)->Ram()[0x10], 0);
}

// Each DMC fetch takes 4 cycles from the processor: a counting loop gets about 0.9% fewer turns
// while a sample plays at the fastest rate (a fetch every 432 cycles).
TEST_F(ApuInMachine, DmcFetchesStealProcessorCycles) {
    // LDA #$0F, STA $4010, LDA #$FF, STA $4013, LDA #$10, STA $4015; loop: INC $20, BNE loop,
    // INC $21, JMP loop
    Code(0x8000, {0xA9, 0x0F, 0x8D, 0x10, 0x40, 0xA9, 0xFF, 0x8D, 0x13, 0x40, 0xA9, 0x10,
                  0x8D, 0x15, 0x40, 0xE6, 0x20, 0xD0, 0xFC, 0xE6, 0x21, 0x4C, 0x0F, 0x80});
    const auto turns = [&] {
        const Ref::Ptr<Nes::Process> process = Run(6);
        return process->Ram()[0x20] + 256.0 * process->Ram()[0x21];
    };
    const double playing = turns();
    Code(0x800C, {0xEA, 0xEA, 0xEA}); // no STA $4015
    const double silent = turns();
    EXPECT_NEAR(1 - playing / silent, 4.0 / 432, 0.003);
}

} // namespace
} // namespace Halvo
