#pragma once

#include "gfx/LinearNesCanvas.h"
#include "gfx/sdl/SdlNesCanvasBase.h"

namespace Halvo::Gfx {

// The complete SDL canvas for pixel type T and storage code N: the renderer writes straight into the
// locked texture.
template <class T, int N>
class SdlNesCanvas final : public LinearNesCanvas<T, N>, public SdlNesCanvasBase {
public:
    SdlNesCanvas(PixelFormat format, Ref::Ptr<SdlDevice> device, Uint32 textureFormat)
        : NesCanvas(format), LinearNesCanvas<T, N>(format),
          SdlNesCanvasBase(format, std::move(device), textureFormat) {}

    ~SdlNesCanvas() override {
        // A frame left open keeps the texture locked; give it back before the texture goes.
        if (this->IsFrameOpen()) {
            EndFrame();
        }
    }

    Ref::Ptr<NesRenderer> BeginFrame() override {
        // A second lock of a locked texture is refused, like the device's own.
        if (this->IsFrameOpen()) {
            return nullptr;
        }
        std::int32_t pitch = 0;
        std::uint8_t* pixels = LockTexture(pitch);
        if (!pixels) {
            return nullptr;
        }
        return this->OpenFrame(pixels, pitch);
    }

    void EndFrame() override {
        const bool alive = HasTexture();
        if (!alive) {
            // The texture went with its renderer while the frame was open: its memory is gone too.
            this->renderer->pixels = nullptr;
        }
        if (this->CloseFrame() && alive) {
            UnlockTexture();
        }
    }
};

} // namespace Halvo::Gfx
