#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>

#include <benchmark/benchmark.h>

#include "gfx/MemoryNesCanvas.h"
#include "nes/Cpu.h"
#include "nes/Ppu.h"
#include "nes/Process.h"
#include "nes/mmc/Mmc.h"
#include "nes/rom/RomImage.h"

namespace Halvo::Nes {
namespace {

// A whole machine on a busy frame: the processor loops over RAM arithmetic, its NMI handler copies 64
// sprites in by DMA and scrolls; background and sprites are rendered into a 32-bit canvas with the
// left column clipped. One iteration is one frame of processor, PPU and renderer.
struct BenchMachine {
    BenchMachine() : image(std::make_unique<RomImage>()) {
        image->prgBankCount = 1;
        image->prgRom = std::make_unique<std::uint8_t[]>(RomImage::PrgBankSize);
        image->hasChrRam = true;
        // clang-format off
        Program(0x8000, {
            0x78, 0xA2, 0xFF, 0x9A,             // SEI; LDX #$FF; TXS
            0xA9, 0x1C, 0x8D, 0x01, 0x20,       // LDA #$1C; STA $2001
            0xA9, 0x80, 0x8D, 0x00, 0x20,       // LDA #$80; STA $2000
            0xE6, 0x10, 0xA5, 0x10, 0x65, 0x11, // loop: INC $10; LDA $10; ADC $11
            0x9D, 0x00, 0x03, 0xE8,             // STA $0300,X; INX
            0x4C, 0x0E, 0x80,                   // JMP loop
        });
        Program(0x9000, {
            0xA9, 0x02, 0x8D, 0x14, 0x40,       // LDA #$02; STA $4014
            0xAD, 0x02, 0x20, 0xE6, 0x12,       // LDA $2002; INC $12
            0xA5, 0x12, 0x8D, 0x05, 0x20,       // LDA $12; STA $2005
            0xA9, 0x00, 0x8D, 0x05, 0x20,       // LDA #0; STA $2005
            0x40,                               // RTI
        });
        // clang-format on
        Program(0xFFFA, {0x00, 0x90, 0x00, 0x80, 0x00, 0x90});

        process = Ref::New<Process>(image.get());
        Process& p = *process;
        p.SetCpu(Cpu::Create("Static", &p));
        p.SetPpu(Ppu::Create(&p));
        p.SetMmc(Ref::New<Mmc>(&p));
        for (std::uint32_t page = 4; page < 8; ++page) {
            p.SetCpuReadHandler(page,
                                [](Process* q, std::uint32_t a) { return q->GetPpu().ReadRegister(a); });
            p.SetCpuWriteHandler(
                page, [](Process* q, std::uint32_t a, std::uint8_t v) { q->GetPpu().WriteRegister(a, v); });
        }
        p.SetCpuWriteHandler(8, [](Process* q, std::uint32_t a, std::uint8_t v) {
            if (a == 0x4014) {
                q->GetCpu().counter -= q->GetPpu().SpriteDma(v);
            }
        });
        p.GetPpu().Reset(true);
        p.GetMmc().Reset(true);
        for (std::uint32_t slot = 4; slot < 8; ++slot) {
            p.GetMmc().MapPrg8k(slot, slot);
        }
        p.GetMmc().SetNameTableMirroring(MirrorVertical);

        // Varied patterns, name tables, attributes and palette; 64 sprites spread over the picture.
        Ppu& ppu = p.GetPpu();
        std::uint32_t seed = 12345;
        for (std::uint32_t address = 0; address < 0x3000; ++address) {
            seed = seed * 1664525u + 1013904223u;
            ppu.WriteVram(address, static_cast<std::uint8_t>(seed >> 24));
        }
        for (std::uint32_t sprite = 0; sprite < 64; ++sprite) {
            std::uint8_t* entry = &p.Ram()[0x200 + 4 * sprite];
            entry[0] = static_cast<std::uint8_t>((sprite * 29) % 232);
            entry[1] = static_cast<std::uint8_t>(sprite * 3);
            entry[2] = static_cast<std::uint8_t>(sprite & 0x63);
            entry[3] = static_cast<std::uint8_t>((sprite * 37) % 256);
        }
        canvas = Ref::New<Gfx::MemoryNesCanvas<unsigned, 3>>(Gfx::PixelFormat::X8R8G8B8);
        ppu.SetCanvas(canvas);
        ppu.WriteRegister(0x2006, 0x3F);
        ppu.WriteRegister(0x2006, 0x00);
        for (std::uint32_t entry = 0; entry < 32; ++entry) {
            ppu.WriteRegister(0x2007, static_cast<std::uint8_t>(entry * 7));
        }
        p.GetCpu().Reset(true);
    }

    ~BenchMachine() { process->GetPpu().SetCanvas(nullptr); }

    void Program(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        std::memcpy(image->prgRom.get() + (address & 0x3FFF), bytes.begin(), bytes.size());
    }

    std::unique_ptr<RomImage> image;
    Ref::Ptr<Process> process;
    Ref::Ptr<Gfx::NesCanvas> canvas;
};

void RunFrame(benchmark::State& state) {
    BenchMachine machine;
    Ppu& ppu = machine.process->GetPpu();
    const bool render = state.range(0) != 0;
    for (auto _ : state) {
        ppu.RunFrame(render);
    }
    benchmark::DoNotOptimize(machine.process->Ram()[0x10]);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(RunFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace Halvo::Nes
