#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "gfx/MemoryNesCanvasBase.h"
#include "nes/Cartridges.h"
#include "nes/Process.h"
#include "nes/mmc/MmcManager.h"
#include "nes/rom/RomImageIOManager.h"
#include "nes/state/RewindBuffer.h"
#include "nes/state/SaveState.h"

namespace Halvo::Nes {
namespace {

// Games of the test programs beside the repository: an MMC3 game with work RAM and a UNROM one with
// CHR-RAM, the two kinds of cartridge whose states are largest.
const char* const Games[] = {"smwstomp.nes", "240pee.nes"};

// One game running into a 32-bit canvas in memory, 300 frames into its attract mode.
struct Game {
    explicit Game(const char* file, const char* cpuKind = "Static") {
        Ref::Ptr<RomImageIOManager> formats = RomImageIOManager::Instance();
        Ref::Ptr<MmcManager> boards = MmcManager::Instance();
        RegisterCartridgeSupport(*formats, *boards);
        image =
            formats->LoadImageFile((std::filesystem::path(HALVO_TESTROMS_DIR) / "games" / file).string(), "");
        if (!image) {
            return;
        }
        process = Process::Create(cpuKind, image.get());
        canvas = Gfx::MemoryNesCanvasBase::Create(Gfx::PixelFormat::X8R8G8B8);
        process->GetPpu().SetCanvas(Ref::Ptr<Gfx::NesCanvas>(canvas.Get()));
        process->Reset(true);
        process->GetApu().SetSynthesis(true);
        for (int frame = 0; frame < 300; ++frame) {
            Frame();
        }
    }
    ~Game() { process.Reset(); }

    void Frame() {
        process->RunFrame(true);
        process->GetApu().samples.clear();
    }

    std::unique_ptr<RomImage> image;
    Ref::Ptr<Process> process;
    Ref::Ptr<Gfx::MemoryNesCanvasBase> canvas;
};

constexpr double FramesPerSecond = 60.0988;

// One frame of a game, with (argument 1) or without (0) recording it for rewind. Counters: the time
// the recording itself takes, the memory the recorded past takes per second of play, and the size of
// one whole state.
void BM_GameFrame(benchmark::State& state) {
    Game game(Games[state.range(0)]);
    if (!game.process) {
        state.SkipWithError("the test programs of ../shared/testroms are needed");
        return;
    }
    const bool recording = state.range(1) != 0;
    RewindBuffer past;
    past.SetLimits(1800, std::size_t{64} << 20);
    past.Record(*game.process);
    const std::size_t startBytes = past.Bytes();
    std::size_t frames = 0;
    std::chrono::steady_clock::duration recordTime{};
    for (auto _ : state) {
        game.Frame();
        if (recording) {
            const auto start = std::chrono::steady_clock::now();
            past.Record(*game.process);
            recordTime += std::chrono::steady_clock::now() - start;
        }
        ++frames;
    }
    if (recording) {
        const double seconds = static_cast<double>(std::min<std::size_t>(frames, 1800)) / FramesPerSecond;
        state.counters["rewind_bytes_per_s"] = static_cast<double>(past.Bytes() - startBytes) / seconds;
        state.counters["rewind_frames_kept"] = static_cast<double>(past.Frames());
        state.counters["record_ns_per_frame"] =
            std::chrono::duration<double, std::nano>(recordTime).count() / static_cast<double>(frames);
    }
    state.counters["state_bytes"] = static_cast<double>(SaveState::Write(*game.process).size());
}
BENCHMARK(BM_GameFrame)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"game", "recording"});

// One frame of a game with its sound in each timing model (0 line, 1 exact).
void BM_TimingModelFrame(benchmark::State& state) {
    Game game(Games[state.range(0)], state.range(1) ? "Exact" : "Static");
    if (!game.process) {
        state.SkipWithError("the test programs of ../shared/testroms are needed");
        return;
    }
    for (auto _ : state) {
        game.Frame();
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TimingModelFrame)->ArgsProduct({{0, 1}, {0, 1}})->ArgNames({"game", "exact"});

// One frame back while the rewind is held: two differences undone, the frame run again and drawn,
// two states loaded.
void BM_StepBack(benchmark::State& state) {
    Game game(Games[state.range(0)]);
    if (!game.process) {
        state.SkipWithError("the test programs of ../shared/testroms are needed");
        return;
    }
    RewindBuffer past;
    past.SetLimits(1800, std::size_t{64} << 20);
    for (auto _ : state) {
        state.PauseTiming();
        if (past.Frames() < 2) {
            for (int frame = 0; frame < 600; ++frame) {
                game.Frame();
                past.Record(*game.process);
            }
        }
        state.ResumeTiming();
        past.StepBack(*game.process, true);
    }
}
BENCHMARK(BM_StepBack)->Arg(0)->Arg(1)->ArgName("game");

} // namespace
} // namespace Halvo::Nes
