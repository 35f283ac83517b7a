#pragma once

#include <SDL.h>

#include "gfx/NesCanvas.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// The SDL half of a NES canvas: a 256 x 256 streaming texture the renderer writes through a lock, drawn
// with linear filtering. The picture occupies rows 0-239; rows 8-231 are shown.
class SdlNesCanvasBase : public virtual NesCanvas {
public:
    ~SdlNesCanvasBase() override;

    // Makes the texture if there is none (or the renderer it belonged to is gone).
    bool Reset() override;
    // An SDL texture survives anything but the loss of its renderer, so there is nothing to drop here
    // beyond forgetting a texture that went with an old renderer.
    void Invalidate() override;
    void Draw(const ScreenRect& rect) override;

    SDL_Texture* GetTexture() const { return HasTexture() ? texture : nullptr; }
    Uint32 GetTextureFormat() const { return textureFormat; }

protected:
    SdlNesCanvasBase(PixelFormat format, Ref::Ptr<SdlDevice> device, Uint32 textureFormat);

    bool HasTexture() const { return texture && device->Owns(textureGeneration); }
    // Locks the whole texture for writing; null when it cannot be had.
    std::uint8_t* LockTexture(std::int32_t& pitch);
    void UnlockTexture();

private:
    Ref::Ptr<SdlDevice> device;
    SDL_Texture* texture = nullptr;
    std::uint32_t textureGeneration = 0;
    Uint32 textureFormat;
};

} // namespace Halvo::Gfx
