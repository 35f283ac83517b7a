#pragma once

#include <memory>
#include <vector>

#include <SDL.h>

#include "gfx/IndexNesCanvas.h"
#include "gfx/PictureFilters.h"
#include "gfx/sdl/SdlDevice.h"

namespace Halvo::Gfx {

// A canvas whose picture passes through a picture filter: the PPU draws colour indices into memory,
// and each finished frame is filtered into a streaming texture of the filter's size (32-bit ARGB),
// drawn with linear filtering like the plain canvas.
class SdlFilteredNesCanvas final : public IndexNesCanvas {
public:
    SdlFilteredNesCanvas(Ref::Ptr<SdlDevice> device, std::shared_ptr<PictureFilter> filter);
    ~SdlFilteredNesCanvas() override;

    bool Reset() override;
    void Invalidate() override;
    void Draw(const ScreenRect& rect) override;
    Ref::Ptr<NesRenderer> BeginFrame() override;
    void EndFrame() override;

private:
    static constexpr std::uint32_t IndexPitch = 256;

    bool HasTexture() const { return texture && device->Owns(textureGeneration); }

    Ref::Ptr<SdlDevice> device;
    std::shared_ptr<PictureFilter> filter;
    std::vector<std::uint16_t> indices;
    SDL_Texture* texture = nullptr;
    std::uint32_t textureGeneration = 0;
    std::uint64_t frames = 0;
};

} // namespace Halvo::Gfx
