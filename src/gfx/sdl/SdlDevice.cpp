#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

bool SdlDevice::Create(SDL_Window* window) {
    Destroy();
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) {
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!renderer) {
        return false;
    }
    ++generation;
    return true;
}

void SdlDevice::Destroy() {
    if (renderer) {
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
        ++generation;
    }
}

} // namespace Halvo::Gfx
