#include "app/sdl/SdlTimer.h"

#include <SDL.h>

namespace Halvo::App {

SdlTimer::SdlTimer() : ticksPerSecond(static_cast<float>(SDL_GetPerformanceFrequency())) {}

void SdlTimer::Update() {
    const std::uint64_t now = SDL_GetPerformanceCounter();
    if (lastTicks == NoTicks) {
        lastTicks = now;
    }
    // Unsigned subtraction gives the true difference even across a wrap of the counter.
    const std::uint64_t delta = now - lastTicks;
    lastTicks = now;
    frameTime = static_cast<float>(delta) / ticksPerSecond;
}

} // namespace Halvo::App
