#pragma once

#include <array>
#include <cstdint>

namespace Halvo::App {

// Reads the joypad as late as the frame allows. Presenting with vertical sync returns at a refresh;
// the frame after it is shown at the next one. Handling the keys and emulating the frame right away
// would leave the keys a whole refresh old when they are shown; waiting first, for as long as the
// frame's work (the slowest of the last frames, twice over) and a margin leave room for, shows keys
// pressed during the wait on the same refresh.
class FrameDelay {
public:
    static constexpr double Margin = 0.004;   // seconds kept free before the refresh
    static constexpr std::uint32_t Kept = 32; // frames whose work is remembered

    // The work of one frame (handling the keys, emulating, drawing) up to its present, and the time
    // from the previous present's end to this one's.
    void Record(double workSeconds, double presentInterval);
    // How long to wait after a present before the next frame, on a display of `refreshPeriod`
    // seconds (0 when the platform does not say: the shortest recent interval between presents is
    // the refresh then); 0 when the work leaves no room, or before enough frames were seen.
    double Wait(double refreshPeriod) const;
    // Forgets the work (a new game, another display): the next frames start without a wait.
    void Forget() { count = 0; }

private:
    std::array<double, Kept> work{};
    std::array<double, Kept> intervals{};
    std::uint32_t next = 0;
    std::uint32_t count = 0;
};

} // namespace Halvo::App
