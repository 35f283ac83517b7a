#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "gfx/PictureFilters.h"

namespace Halvo::Gfx {
namespace {

// A busy frame: every pixel a different colour from its neighbours, some with emphasis.
std::vector<std::uint16_t> BusyFrame() {
    std::vector<std::uint16_t> indices(256 * 240);
    std::uint32_t seed = 777;
    for (std::uint16_t& index : indices) {
        seed = seed * 1664525u + 1013904223u;
        index = static_cast<std::uint16_t>(seed >> 23);
    }
    return indices;
}

// The NTSC filter for a 1080-line display: the picture in its 8:7 shape is 1234 pixels wide, and the
// 1920-pixel case decodes a column for every pixel of the screen's width.
void NtscFrame(benchmark::State& state) {
    const std::vector<std::uint16_t> indices = BusyFrame();
    NtscFilter filter(NtscSignal(0.0f, 1.0f), static_cast<std::uint32_t>(state.range(0)));
    std::vector<std::uint32_t> out(static_cast<std::size_t>(filter.width) * 240);
    std::uint64_t frame = 0;
    for (auto _ : state) {
        filter.Apply(indices.data(), 256, out.data(), filter.width, frame++);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(NtscFrame)->Arg(1234)->Arg(1920)->Unit(benchmark::kMillisecond);

void ScanlineFrame(benchmark::State& state) {
    const std::vector<std::uint16_t> indices = BusyFrame();
    ScanlineFilter filter(NtscSignal(0.0f, 1.0f).Palette());
    std::vector<std::uint32_t> out(512 * 480);
    for (auto _ : state) {
        filter.Apply(indices.data(), 256, out.data(), 512, 0);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(ScanlineFrame)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace Halvo::Gfx
