#include "gfx/sdl/SdlNesCanvasBase.h"

#include "console/System.h"
#include "gfx/ScreenRect.h"
#include "gfx/sdl/SdlError.h"

namespace Halvo::Gfx {

namespace {

constexpr int TextureSize = 256;
// The PPU draws rows 0-239; a television shows rows 8-231.
constexpr SDL_Rect ShownRows{0, 8, 256, 224};

} // namespace

SdlNesCanvasBase::SdlNesCanvasBase(PixelFormat format, Ref::Ptr<SdlDevice> device, Uint32 textureFormat)
    : NesCanvas(format), device(std::move(device)), textureFormat(textureFormat) {}

SdlNesCanvasBase::~SdlNesCanvasBase() {
    if (HasTexture()) {
        SDL_DestroyTexture(texture);
    }
}

bool SdlNesCanvasBase::Reset() {
    if (HasTexture()) {
        return true;
    }
    texture = nullptr;
    texture = SDL_CreateTexture(device->renderer, textureFormat, SDL_TEXTUREACCESS_STREAMING, TextureSize,
                                TextureSize);
    if (!texture) {
        ReportSdlError("Halvo::Gfx::SdlNesCanvasBase::Reset", __LINE__, "Could not create texture object.");
        return false;
    }
    textureGeneration = device->generation;
    // The picture is stretched to the window: filter it, and copy it as it is, without blending.
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    return true;
}

void SdlNesCanvasBase::Invalidate() {
    if (!HasTexture()) {
        texture = nullptr;
    }
}

void SdlNesCanvasBase::Draw(const ScreenRect& rect) {
    if (!HasTexture()) {
        return;
    }
    const SDL_Rect target{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    SDL_RenderCopy(device->renderer, texture, &ShownRows, &target);
}

std::uint8_t* SdlNesCanvasBase::LockTexture(std::int32_t& pitch) {
    if (!HasTexture()) {
        return nullptr;
    }
    void* pixels = nullptr;
    int lockedPitch = 0;
    if (SDL_LockTexture(texture, nullptr, &pixels, &lockedPitch) != 0) {
        return nullptr;
    }
    pitch = lockedPitch;
    return static_cast<std::uint8_t*>(pixels);
}

void SdlNesCanvasBase::UnlockTexture() {
    SDL_UnlockTexture(texture);
}

} // namespace Halvo::Gfx
