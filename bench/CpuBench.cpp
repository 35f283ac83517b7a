// The interpreter on a CPU-bound program, driven like the machine drives it: a line's worth of dots at a
// time, or in the 8-dot slices of a rendered line. Reports emulated instructions and CPU cycles per
// second of host time.
#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <vector>

#include <benchmark/benchmark.h>

#include "nes/Cpu.h"
#include "nes/Process.h"

namespace Halvo {
namespace {

// clang-format off
// Fills a table with a running sum, adds it up through a (zp),Y pointer, copies it shifted to work RAM
// with abs,X loads and stores, touches (zp,X), calls a subroutine and starts over with a new seed.
const std::uint8_t Program[] = {
    0xA2, 0xFF,        // 8000 LDX #$FF
    0x9A,              // 8002 TXS
    0xA9, 0x00,        // 8003 LDA #$00      ($20) = $0300
    0x85, 0x20,        // 8005 STA $20
    0xA9, 0x03,        // 8007 LDA #$03
    0x85, 0x21,        // 8009 STA $21
    0xA9, 0x00,        // 800B LDA #$00      ($40) = $6000
    0x85, 0x40,        // 800D STA $40
    0xA9, 0x60,        // 800F LDA #$60
    0x85, 0x41,        // 8011 STA $41
    0xA0, 0x00,        // 8013 main: LDY #$00
    0xA5, 0x10,        // 8015 LDA $10
    0x18,              // 8017 fill: CLC
    0x69, 0x1D,        // 8018 ADC #$1D
    0x99, 0x00, 0x03,  // 801A STA $0300,Y
    0x45, 0x11,        // 801D EOR $11
    0x85, 0x11,        // 801F STA $11
    0xC8,              // 8021 INY
    0xD0, 0xF3,        // 8022 BNE fill
    0xA9, 0x00,        // 8024 LDA #$00
    0x85, 0x30,        // 8026 STA $30
    0x85, 0x31,        // 8028 STA $31
    0xA0, 0x00,        // 802A LDY #$00
    0xB1, 0x20,        // 802C sum: LDA ($20),Y
    0x18,              // 802E CLC
    0x65, 0x30,        // 802F ADC $30
    0x85, 0x30,        // 8031 STA $30
    0x90, 0x02,        // 8033 BCC +2
    0xE6, 0x31,        // 8035 INC $31
    0xC8,              // 8037 INY
    0xD0, 0xF2,        // 8038 BNE sum
    0xA2, 0x00,        // 803A LDX #$00
    0xBD, 0x00, 0x03,  // 803C copy: LDA $0300,X
    0x4A,              // 803F LSR A
    0x9D, 0x00, 0x60,  // 8040 STA $6000,X
    0xCA,              // 8043 DEX
    0xD0, 0xF6,        // 8044 BNE copy
    0xA2, 0x00,        // 8046 LDX #$00
    0xA1, 0x40,        // 8048 LDA ($40,X)
    0x6D, 0x01, 0x60,  // 804A ADC $6001
    0x8D, 0x02, 0x60,  // 804D STA $6002
    0xE6, 0x10,        // 8050 INC $10
    0x20, 0x58, 0x80,  // 8052 JSR sub
    0x4C, 0x13, 0x80,  // 8055 JMP main
    0xA5, 0x31,        // 8058 sub: LDA $31
    0xC9, 0x80,        // 805A CMP #$80
    0x2A,              // 805C ROL A
    0x85, 0x12,        // 805D STA $12
    0x60,              // 805F RTS
};
// clang-format on

constexpr std::int32_t DotsPerLine = 341;
constexpr int LinesPerFrame = 262;
// The slices of a rendered line: 32 tiles, 8 sprite fetches, the two prefetches.
const std::vector<std::int32_t> LineSlices = {341};
const std::vector<std::int32_t> RenderedSlices = [] {
    std::vector<std::int32_t> slices(40, 8);
    slices.push_back(8);
    slices.push_back(13);
    return slices;
}();

// A machine with the program in read-only PRG pages at $8000, 8 KiB of work RAM at $6000 and the
// internal RAM; the other pages answer through the unmapped handlers.
class Machine {
public:
    Machine() : process(Ref::New<Nes::Process>(nullptr)) {
        process->SetCpu(Nes::Cpu::Create("Static", process.Get()));
        prg.fill(0xEA);
        std::copy(std::begin(Program), std::end(Program), prg.begin());
        prg[0x7FFC] = 0x00;
        prg[0x7FFD] = 0x80;
        for (std::uint32_t page = 0; page < 16; ++page) {
            process->MapCpuPage(16 + page, prg.data() + page * Nes::Process::PageSize, nullptr);
        }
        for (std::uint32_t page = 0; page < 4; ++page) {
            std::uint8_t* data = wram.data() + page * Nes::Process::PageSize;
            process->MapCpuPage(12 + page, data, data);
        }
    }

    void Reset() {
        process->Ram().fill(0);
        process->GetCpu().Reset(true);
    }

    void RunFrame(const std::vector<std::int32_t>& slices) {
        Nes::Cpu& cpu = process->GetCpu();
        for (int line = 0; line < LinesPerFrame; ++line) {
            cpu.counter += DotsPerLine;
            cpu.target = DotsPerLine;
            cpu.lineStart = cpu.counter;
            for (std::int32_t dots : slices) {
                cpu.Execute(dots);
            }
        }
    }

    // The instructions one frame runs, counted by stepping a frame the way Execute would run it.
    std::int64_t CountFrameInstructions() {
        Nes::Cpu& cpu = process->GetCpu();
        std::int64_t count = 0;
        for (int line = 0; line < LinesPerFrame; ++line) {
            cpu.counter += DotsPerLine;
            cpu.target = 0;
            while (cpu.counter > cpu.target) {
                cpu.Step();
                ++count;
            }
        }
        return count;
    }

    Ref::Ptr<Nes::Process> process;
    std::array<std::uint8_t, 0x8000> prg{};
    std::array<std::uint8_t, 0x2000> wram{};
};

void RunFrames(benchmark::State& state, const std::vector<std::int32_t>& slices) {
    Machine calibration;
    calibration.Reset();
    const std::int64_t instructions = calibration.CountFrameInstructions();
    const std::int32_t cycles = (LinesPerFrame * DotsPerLine - calibration.process->GetCpu().counter) / 3;

    Machine machine;
    for (auto _ : state) {
        machine.Reset();
        machine.RunFrame(slices);
        benchmark::DoNotOptimize(machine.process->Ram()[0x12]);
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["instructions/s"] = benchmark::Counter(frames * instructions, benchmark::Counter::kIsRate);
    state.counters["cycles/s"] = benchmark::Counter(frames * cycles, benchmark::Counter::kIsRate);
    state.counters["executes/frame"] = static_cast<double>(slices.size() * LinesPerFrame);
}

void BM_CpuFrameInLineBudgets(benchmark::State& state) {
    RunFrames(state, LineSlices);
}
void BM_CpuFrameInRenderedSlices(benchmark::State& state) {
    RunFrames(state, RenderedSlices);
}

BENCHMARK(BM_CpuFrameInLineBudgets);
BENCHMARK(BM_CpuFrameInRenderedSlices);

} // namespace
} // namespace Halvo
