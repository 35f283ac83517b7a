#pragma once

#include <cstdint>

#include <SDL.h>

#include "ref/Object.h"

namespace Halvo::Gfx {

// The driver's SDL renderer, shared with the canvas, font and console renderer made for it. SDL
// destroys every texture of a renderer together with the renderer, and the driver may replace its
// renderer (another display, a render device reset) while those objects live on: each object notes the
// generation its textures were made under and treats them as gone once the generation has moved on.
class SdlDevice : public Ref::Object {
public:
    SdlDevice() = default;
    ~SdlDevice() override { Destroy(); }

    SdlDevice(const SdlDevice&) = delete;
    SdlDevice& operator=(const SdlDevice&) = delete;

    // A new renderer for the window (accelerated if SDL has one, else software); false with SDL's
    // error set when none can be made. Any previous renderer is destroyed first: SDL allows one
    // renderer per window.
    bool Create(SDL_Window* window);
    // Destroys the renderer and with it all its textures.
    void Destroy();

    // Whether textures made under `textureGeneration` still exist.
    bool Owns(std::uint32_t textureGeneration) const {
        return renderer != nullptr && textureGeneration == generation;
    }

    SDL_Renderer* renderer = nullptr;
    // Advances whenever a renderer is made or destroyed.
    std::uint32_t generation = 0;
};

} // namespace Halvo::Gfx
