#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Halvo {

// The figures of the "stats" command: frames emulated and shown per second, averaged over the last
// five seconds in which the game ran (time with the game paused does not count), the audio buffer
// and the underruns since start.
class PlayStats {
public:
    static constexpr double Window = 5.0;

    // One turn of the main loop while the game ran: `seconds` of play, the frames emulated and shown.
    void Add(double seconds, std::uint32_t emulated, std::uint32_t shown);
    double EmulatedPerSecond() const;
    double ShownPerSecond() const;
    // "Emulated 60.10 frames per second, shown 59.94, audio buffer 48 ms, 0 underruns."
    std::string Line(std::uint32_t audioMilliseconds, std::uint32_t underruns) const;

private:
    // The window in slices of a tenth of a second; `slices[current]` fills now.
    static constexpr std::size_t SliceCount = 50;
    struct Slice {
        double seconds = 0;
        std::uint64_t emulated = 0;
        std::uint64_t shown = 0;
    };
    Slice Total() const;

    std::array<Slice, SliceCount> slices{};
    std::size_t current = 0;
};

} // namespace Halvo
