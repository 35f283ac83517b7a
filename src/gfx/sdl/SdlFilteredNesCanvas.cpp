#include "gfx/sdl/SdlFilteredNesCanvas.h"

#include "gfx/ScreenRect.h"
#include "gfx/sdl/SdlError.h"

namespace Halvo::Gfx {

SdlFilteredNesCanvas::SdlFilteredNesCanvas(Ref::Ptr<SdlDevice> device, std::shared_ptr<PictureFilter> filter)
    : NesCanvas(PixelFormat::R5G6B5), device(std::move(device)), filter(std::move(filter)),
      indices(IndexPitch * 256, 0x0F) {}

SdlFilteredNesCanvas::~SdlFilteredNesCanvas() {
    if (IsFrameOpen()) {
        EndFrame();
    }
    if (HasTexture()) {
        SDL_DestroyTexture(texture);
    }
}

bool SdlFilteredNesCanvas::Reset() {
    if (HasTexture()) {
        return true;
    }
    texture = SDL_CreateTexture(device->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                static_cast<int>(filter->width), static_cast<int>(240 * filter->rowsPerLine));
    if (!texture) {
        ReportSdlError("Halvo::Gfx::SdlFilteredNesCanvas::Reset", __LINE__,
                       "Could not create texture object.");
        return false;
    }
    textureGeneration = device->generation;
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    return true;
}

void SdlFilteredNesCanvas::Invalidate() {
    if (!HasTexture()) {
        texture = nullptr;
    }
}

void SdlFilteredNesCanvas::Draw(const ScreenRect& rect) {
    if (!HasTexture()) {
        return;
    }
    // Rows 8-231 of the picture, as many output rows each as the filter makes.
    const auto rows = static_cast<int>(filter->rowsPerLine);
    const SDL_Rect shown{0, 8 * rows, static_cast<int>(filter->width), 224 * rows};
    const SDL_Rect target{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    SDL_RenderCopy(device->renderer, texture, &shown, &target);
}

Ref::Ptr<NesRenderer> SdlFilteredNesCanvas::BeginFrame() {
    if (IsFrameOpen()) {
        return nullptr;
    }
    return OpenFrame(reinterpret_cast<std::uint8_t*>(indices.data()), IndexPitch * sizeof(std::uint16_t));
}

void SdlFilteredNesCanvas::EndFrame() {
    if (!CloseFrame() || !HasTexture()) {
        return;
    }
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &pixels, &pitch) != 0) {
        return;
    }
    filter->Apply(indices.data(), IndexPitch, static_cast<std::uint32_t*>(pixels),
                  static_cast<std::uint32_t>(pitch) / 4, frames++);
    SDL_UnlockTexture(texture);
}

} // namespace Halvo::Gfx
