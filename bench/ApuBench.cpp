// The sound unit's cost per frame with all five channels playing, as a busy music engine drives them:
// new notes on every channel each frame, a short noise period, a looping DMC sample. "Synth" makes the
// sound as a player hears it; "Silent" runs only what the processor can observe, as the headless runner
// does without --wav.
#include <array>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "nes/Apu.h"
#include "nes/Process.h"
#include "nes/rom/RomImage.h"

namespace Halvo {
namespace {

constexpr std::uint64_t FrameCycles = 29781;

void RunMusic(benchmark::State& state, bool synthesis) {
    Nes::RomImage image;
    Nes::Process process(&image);
    std::array<std::uint8_t, 0x4000> sample{};
    for (std::size_t i = 0; i < sample.size(); ++i) {
        sample[i] = static_cast<std::uint8_t>(i * 37 + (i >> 3));
    }
    for (std::uint32_t page = 0; page < 8; ++page) {
        process.MapCpuPage(24 + page, sample.data() + page * Nes::Process::PageSize, nullptr);
    }
    Ref::Ptr<Nes::Apu> apu(Ref::New<Nes::Apu>(&process));
    std::uint64_t now = 16;
    apu->Reset(true, now);
    apu->SetSynthesis(synthesis);
    const auto write = [&](std::uint32_t address, std::uint8_t value) {
        apu->WriteRegister(address, value, now);
    };
    write(0x4015, 0x1F);
    write(0x4000, 0xBF);
    write(0x4004, 0x7F);
    write(0x4008, 0xFF);
    write(0x400C, 0x3F);
    write(0x400E, 0x03);
    write(0x4010, 0x4E); // loop, rate 14
    write(0x4012, 0x00);
    write(0x4013, 0xFF);
    write(0x4015, 0x1F);
    std::uint32_t frame = 0;
    for (auto _ : state) {
        const std::uint8_t note = static_cast<std::uint8_t>(0x40 + (frame * 7) % 0xC0);
        write(0x4002, note);
        write(0x4003, 0x08 | (frame & 1));
        write(0x4006, static_cast<std::uint8_t>(note ^ 0x55));
        write(0x4007, 0x08);
        write(0x400A, static_cast<std::uint8_t>(note >> 1));
        write(0x400B, 0x08);
        write(0x400F, 0x08);
        now += FrameCycles;
        apu->RunTo(now);
        apu->FlushSamples();
        apu->TakeStall();
        benchmark::DoNotOptimize(apu->samples.data());
        apu->samples.clear();
        ++frame;
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void ApuFrameSynth(benchmark::State& state) {
    RunMusic(state, true);
}
void ApuFrameSilent(benchmark::State& state) {
    RunMusic(state, false);
}

BENCHMARK(ApuFrameSynth)->Unit(benchmark::kMicrosecond);
BENCHMARK(ApuFrameSilent)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace Halvo
