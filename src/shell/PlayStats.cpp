#include "shell/PlayStats.h"

#include <cstdio>

namespace Halvo {

void PlayStats::Add(double seconds, std::uint32_t emulated, std::uint32_t shown) {
    constexpr double SliceSeconds = Window / SliceCount;
    if (slices[current].seconds >= SliceSeconds) {
        current = (current + 1) % SliceCount;
        slices[current] = Slice{};
    }
    slices[current].seconds += seconds;
    slices[current].emulated += emulated;
    slices[current].shown += shown;
}

PlayStats::Slice PlayStats::Total() const {
    Slice total;
    for (const Slice& slice : slices) {
        total.seconds += slice.seconds;
        total.emulated += slice.emulated;
        total.shown += slice.shown;
    }
    return total;
}

double PlayStats::EmulatedPerSecond() const {
    const Slice total = Total();
    return total.seconds > 0 ? static_cast<double>(total.emulated) / total.seconds : 0;
}

double PlayStats::ShownPerSecond() const {
    const Slice total = Total();
    return total.seconds > 0 ? static_cast<double>(total.shown) / total.seconds : 0;
}

std::string PlayStats::Line(std::uint32_t audioMilliseconds, std::uint32_t underruns) const {
    char line[160];
    std::snprintf(
        line, sizeof line, "Emulated %.2f frames per second, shown %.2f, audio buffer %u ms, %u underrun%s.",
        EmulatedPerSecond(), ShownPerSecond(), audioMilliseconds, underruns, underruns == 1 ? "" : "s");
    return line;
}

} // namespace Halvo
