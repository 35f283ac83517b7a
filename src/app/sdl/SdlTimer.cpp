#include "app/sdl/SdlTimer.h"

#include <SDL.h>

namespace Halvo::App {

SdlTimer::SdlTimer() : ticksPerSecond(static_cast<float>(SDL_GetPerformanceFrequency())) {}

void SdlTimer::Update() {
    const std::uint64_t now = SDL_GetPerformanceCounter();
    if (lastTicks == NoTicks) {
        lastTicks = now;
        firstTicks = now;
        // On Linux SDL's counter is CLOCK_MONOTONIC_RAW.
        origin = static_cast<double>(now) / ticksPerSecond;
    }
    // Unsigned subtraction gives the true difference even across a wrap of the counter.
    const std::uint64_t delta = now - lastTicks;
    lastTicks = now;
    frameTime = static_cast<float>(delta) / ticksPerSecond;
    absoluteTime = static_cast<double>(now - firstTicks) / ticksPerSecond;
}

double SdlTimer::Now() {
    if (lastTicks == NoTicks) {
        return 0;
    }
    return static_cast<double>(SDL_GetPerformanceCounter() - firstTicks) / ticksPerSecond;
}

void SdlTimer::Sleep(double seconds) {
    if (seconds > 0) {
        SDL_Delay(static_cast<Uint32>(seconds * 1000));
    }
}

} // namespace Halvo::App
