#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "gfx/MemoryNesCanvas.h"
#include "gfx/NesColors.h"

namespace Halvo::Gfx {
namespace {

// One frame as the PPU hands it over: per visible line 34 background rows (fine scroll 3) in one call,
// the hidden left column, then the line's sprite rows; 64 sprites of 8 rows over the frame.
struct FrameRecords {
    std::vector<TileRecord> tiles;
    std::vector<std::vector<TileRecord>> spriteRows;
};

FrameRecords MakeFrame() {
    FrameRecords frame;
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (std::uint32_t y = 0; y < 240; ++y) {
        for (std::int32_t column = 0; column < 34; ++column) {
            frame.tiles.push_back({column * 8 - 3, y, next() & 3, next() & 0xFFFF});
        }
    }
    frame.spriteRows.resize(240);
    for (std::uint32_t sprite = 0; sprite < 64; ++sprite) {
        const std::uint32_t top = (sprite * 29) % 232;
        const auto x = static_cast<std::int32_t>((sprite * 37) % 256);
        const std::uint32_t attribute = next() & 0x63;
        for (std::uint32_t row = 0; row < 8; ++row) {
            frame.spriteRows[top + row].push_back({x, top + row, attribute, next() & 0xFFFF});
        }
    }
    return frame;
}

template <class T, int N>
void RenderFrame(benchmark::State& state, PixelFormat format) {
    const Ref::Ptr<MemoryNesCanvas<T, N>> canvas = Ref::New<MemoryNesCanvas<T, N>>(format);
    canvas->emphasis = 0;
    GenerateNesColors(*canvas);
    for (std::uint32_t entry = 0; entry < 32; ++entry) {
        canvas->SetPaletteEntry(entry, (entry * 7) & 63);
    }
    canvas->bgClipWidth = 8;
    const FrameRecords frame = MakeFrame();

    for (auto _ : state) {
        const Ref::Ptr<NesRenderer> held = canvas->BeginFrame();
        // Called through the interface, as the PPU does, without letting the compiler see the type.
        NesRenderer* renderer = held.Get();
        benchmark::DoNotOptimize(renderer);
        const TileRecord* tile = frame.tiles.data();
        for (std::uint32_t y = 0; y < 240; ++y) {
            renderer->DrawTiles(tile, 34);
            tile += 34;
            renderer->ClearLeftColumn(y);
            for (const TileRecord& sprite : frame.spriteRows[y]) {
                renderer->DrawSprite(sprite);
            }
        }
        canvas->EndFrame();
        benchmark::ClobberMemory();
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void RenderFrame16(benchmark::State& state) {
    RenderFrame<unsigned short, 1>(state, PixelFormat::R5G6B5);
}
void RenderFrame24(benchmark::State& state) {
    RenderFrame<unsigned int, 2>(state, PixelFormat::R8G8B8);
}
void RenderFrame32(benchmark::State& state) {
    RenderFrame<unsigned int, 3>(state, PixelFormat::X8R8G8B8);
}

BENCHMARK(RenderFrame16)->Unit(benchmark::kMicrosecond);
BENCHMARK(RenderFrame24)->Unit(benchmark::kMicrosecond);
BENCHMARK(RenderFrame32)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace Halvo::Gfx
