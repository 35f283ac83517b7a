// What the VRC7's FM synthesis adds to a game's frame: a plain game (the NROM puzzle of the test
// programs, drawing into a canvas in memory, with sound) alone, and with a VRC7 sound chip attached to
// its sound unit, all six channels keyed on with different instruments and notes changing every frame,
// as a VRC7 game's music engine drives them.
#include <array>
#include <filesystem>
#include <memory>

#include <benchmark/benchmark.h>

#include "gfx/MemoryNesCanvasBase.h"
#include "nes/Cartridges.h"
#include "nes/Process.h"
#include "nes/Vrc7Sound.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImageIOManager.h"

namespace Halvo::Nes {
namespace {

struct Game {
    Game() {
        Ref::Ptr<RomImageIOManager> formats = RomImageIOManager::Instance();
        Ref::Ptr<MmcManager> boards = MmcManager::Instance();
        RegisterCartridgeSupport(*formats, *boards);
        image = formats->LoadImageFile(
            (std::filesystem::path(HALVO_TESTROMS_DIR) / "games" / "nes15-NTSC.nes").string(), "");
        if (!image) {
            return;
        }
        process = Process::Create("Static", image.get());
        canvas = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
        process->GetPpu().SetCanvas(Ref::Ptr<Gfx::NesCanvas>(canvas.Get()));
        process->Reset(true);
        process->GetApu().SetSynthesis(true);
    }
    ~Game() {
        if (process) {
            process->GetApu().AttachExpansion(nullptr);
        }
        process.Reset();
    }
    std::unique_ptr<RomImage> image;
    Ref::Ptr<Process> process;
    Ref::Ptr<Gfx::MemoryNesCanvasBase> canvas;
};

void RunFrames(benchmark::State& state, bool fm) {
    Vrc7Sound chip; // outlives the game, which lets go of it
    Game game;
    if (!game.process) {
        state.SkipWithError("nes15-NTSC.nes not found beside the repository");
        return;
    }
    const auto set = [&](std::uint8_t reg, std::uint8_t value) {
        chip.Select(reg);
        chip.Write(value);
    };
    if (fm) {
        chip.Reset();
        game.process->GetApu().AttachExpansion(&chip);
        for (std::uint8_t channel = 0; channel < 6; ++channel) {
            set(0x30 + channel, static_cast<std::uint8_t>((channel * 2 + 1) << 4));
            set(0x10 + channel, static_cast<std::uint8_t>(100 + 20 * channel));
            set(0x20 + channel, static_cast<std::uint8_t>(0x30 | (3 + channel % 3) << 1));
        }
    }
    std::uint32_t frame = 0;
    for (auto _ : state) {
        if (fm) {
            // A new note on one channel each frame, the others sustaining.
            const auto channel = static_cast<std::uint8_t>(frame % 6);
            set(0x10 + channel, static_cast<std::uint8_t>(frame * 37));
            set(0x20 + channel, static_cast<std::uint8_t>(0x30 | (3 + frame % 3) << 1));
        }
        game.process->RunFrame(true);
        benchmark::DoNotOptimize(game.process->GetApu().samples.data());
        game.process->GetApu().samples.clear();
        ++frame;
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void PlainGameFrame(benchmark::State& state) {
    RunFrames(state, false);
}
void Vrc7GameFrame(benchmark::State& state) {
    RunFrames(state, true);
}

BENCHMARK(PlainGameFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(Vrc7GameFrame)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace Halvo::Nes
